#include "viewer/StripFill.h"

#include <algorithm>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/HostBitmap.h"

namespace viewer {

using runtime::IntRect;

namespace {

IntRect Cut(const IntRect& a, const IntRect& b) {
  const IntRect r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
  return r.IsEmpty() ? IntRect{} : r;
}

// One pixel of grey `v` in the host's layout, as the window's own fills
// make it (16-bit pixels keep the high bits).
void WritePixel(const runtime::HostPixelLayout& layout, int32_t x, int32_t y, uint8_t v) {
  if (x < 0 || y < 0 || x >= layout.width || y >= layout.height || layout.firstRow == nullptr) return;
  const int32_t bytes = HostPixelBytes(layout.kind);
  if (bytes == 0) return;
  uint8_t* p = layout.firstRow + y * layout.rowStride + int64_t{x} * bytes;
  switch (layout.kind) {
    case runtime::kHostRgb565:
    case runtime::kHostRgb565Swapped: {
      const auto packed = static_cast<uint16_t>(((v >> 3) << 11) | ((v >> 2) << 5) | (v >> 3));
      const uint8_t lo = static_cast<uint8_t>(packed & 0xFF), hi = static_cast<uint8_t>(packed >> 8);
      p[0] = layout.kind == runtime::kHostRgb565 ? lo : hi;
      p[1] = layout.kind == runtime::kHostRgb565 ? hi : lo;
      break;
    }
    case runtime::kHostXrgb32:
      p[0] = 0;
      p[1] = p[2] = p[3] = v;
      break;
    default:
      std::memset(p, v, static_cast<size_t>(bytes));
      if (layout.kind == runtime::kHostBgrx32) p[3] = 0;
      break;
  }
}

// Calls `each(a, b, start)` for every repeat of a pattern `period` long,
// counted from `origin`, whose first `length` pixels meet [from, to): the
// part a..b-1 they cover and where the repeat starts.
template <class Each>
void ForEachRepeat(int32_t origin, int32_t from, int32_t to, int32_t period, int32_t length, Each&& each) {
  for (int64_t start = from - ((int64_t{from} - origin) % period); start < to; start += period) {
    const int32_t a = static_cast<int32_t>(std::max<int64_t>(start, from));
    const int32_t b = static_cast<int32_t>(std::min<int64_t>(start + length, to));
    if (a < b) each(a, b, static_cast<int32_t>(start));
  }
}

}  // namespace

StripFill::~StripFill() {
  for (HostBitmap*& strip : strips_) {
    if (strip != nullptr) runtime::DestroyAndFree(context_, strip);
    strip = nullptr;
  }
}

HostBitmap* StripFill::Strip(bool vertical) {
  const int index = vertical ? 1 : 0;
  if (strips_[index] != nullptr || refused_[index] || host_ == nullptr) return strips_[index];
  const int32_t width = vertical ? 1 : kStripLength, height = vertical ? kStripLength : 1;
  HostBitmap* strip = nullptr;
  // A host that gives no bitmap leaves the dashes to be filled; it is not
  // asked again.
  runtime::CatchAllExceptCancel(context_, [&] { strip = runtime::NewObject<HostBitmap>(context_, context_, host_, width, height); });
  if (strip == nullptr) {
    refused_[index] = true;
    return nullptr;
  }
  ++made_;
  runtime::HostBitmap& handle = strip->Handle();
  if (const runtime::HostPixelLayout* layout = handle.Begin(0)) {
    for (int32_t i = 0; i < kStripLength; ++i) {
      const uint8_t v = i % kDashPeriod < kDashLength ? kDashGrey : 255;
      WritePixel(*layout, vertical ? 0 : i, vertical ? i : 0, v);
    }
  }
  handle.End();
  strips_[index] = strip;
  return strip;
}

void StripFill::FillDashes(runtime::ViewSurface& surface, const IntRect& part, const IntRect& rect,
                           bool vertical) const {
  surface.Fill({part.x0, part.y0, part.x1, part.y1}, 255, 255, 255);
  const int32_t from = vertical ? part.y0 : part.x0;
  const int32_t to = vertical ? part.y1 : part.x1;
  const int32_t origin = vertical ? rect.y0 : rect.x0;
  ForEachRepeat(origin, from, to, kDashPeriod, kDashLength, [&](int32_t a, int32_t b, int32_t) {
    const IntRect dash = vertical ? IntRect{part.x0, a, part.x1, b} : IntRect{a, part.y0, b, part.y1};
    surface.Fill({dash.x0, dash.y0, dash.x1, dash.y1}, kDashGrey, kDashGrey, kDashGrey);
  });
}

void StripFill::Fill(runtime::ViewSurface& surface, const IntRect& clip, const IntRect& rect) {
  const IntRect part = Cut(rect, clip);
  if (part.IsEmpty()) return;
  const bool vertical = rect.x1 - rect.x0 < rect.y1 - rect.y0;
  HostBitmap* strip = Strip(vertical);
  if (strip == nullptr) {
    FillDashes(surface, part, rect, vertical);
    return;
  }
  // The strip repeated from the line's start, each copy stretched across
  // the line's width; only the copies that meet the clip are drawn.
  const int32_t origin = vertical ? rect.y0 : rect.x0;
  const int32_t from = vertical ? part.y0 : part.x0;
  const int32_t to = vertical ? part.y1 : part.x1;
  ForEachRepeat(origin, from, to, kStripLength, kStripLength, [&](int32_t a, int32_t b, int32_t start) {
    const int32_t s0 = a - start, s1 = b - start;
    if (vertical) {
      surface.DrawBitmap(strip->Handle(), {0, s0, 1, s1}, {part.x0, a, part.x1, b});
    } else {
      surface.DrawBitmap(strip->Handle(), {s0, 0, s1, 1}, {a, part.y0, b, part.y1});
    }
  });
}

}  // namespace viewer
