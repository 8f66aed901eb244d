#include "content/OverprintKey.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "content/TextRun.h"

namespace content {

namespace {

// Directions whose cross product stays within this (0.01) are the same.
constexpr int64_t kSameDirectionCross = 655;

}  // namespace

OverprintKey OverprintKey::Build(const TextRun& run) {
  OverprintKey key;
  key.glyphCount = run.GlyphCount();
  const uint32_t kept = std::min(key.glyphCount, kCodes);
  for (uint32_t i = 0; i < kept; ++i) key.codes[i] = run.Glyph(i).code;
  if (key.glyphCount == 0) return key;
  key.start = run.PointAtChar(0, false);
  const runtime::FixedPoint end = run.PointAtChar(key.glyphCount - 1, true);
  const double dx = runtime::FixedToDouble(end.x) - runtime::FixedToDouble(key.start.x);
  const double dy = runtime::FixedToDouble(end.y) - runtime::FixedToDouble(key.start.y);
  const double length = std::hypot(dx, dy);
  if (length > 0) {
    key.cos = runtime::FixedFromFloat(dx / length);
    key.sin = runtime::FixedFromFloat(dy / length);
  }
  const runtime::FixedPoint ascent = run.AscentVector();
  key.tolerance = runtime::FixedFromFloat(
      std::hypot(runtime::FixedToDouble(ascent.x), runtime::FixedToDouble(ascent.y)) / 4);
  return key;
}

bool OverprintKey::Matches(const OverprintKey& previous, const OverprintKey& next) {
  if (previous.glyphCount == 0 || previous.glyphCount != next.glyphCount) return false;
  const uint32_t kept = std::min(next.glyphCount, kCodes);
  for (uint32_t i = 0; i < kept; ++i) {
    if (previous.codes[i] != next.codes[i]) return false;
  }
  const int64_t cross =
      (static_cast<int64_t>(previous.cos) * next.sin - static_cast<int64_t>(previous.sin) * next.cos) >> 16;
  if (std::llabs(cross) > kSameDirectionCross) return false;
  const int64_t dx = static_cast<int64_t>(next.start.x) - previous.start.x;
  const int64_t dy = static_cast<int64_t>(next.start.y) - previous.start.y;
  return std::llabs(dx) <= previous.tolerance && std::llabs(dy) <= previous.tolerance;
}

}  // namespace content
