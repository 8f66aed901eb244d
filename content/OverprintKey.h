#pragma once
// What identifies a string drawn again over itself (fake bold): its glyph
// count, its first codes, where it starts and its direction. A match marks
// the second drawing as a repeat, which text consumers skip.
#include <cstdint>

#include "runtime/Fixed.h"

namespace content {

class TextRun;

struct OverprintKey {
  static constexpr uint32_t kCodes = 16;

  uint32_t glyphCount = 0;
  uint32_t codes[kCodes] = {};
  runtime::FixedPoint start;
  runtime::Fixed cos = runtime::kFixedOne;
  runtime::Fixed sin = 0;
  // A quarter of the length of the run's ascent vector.
  runtime::Fixed tolerance = 0;

  static OverprintKey Build(const TextRun& run);
  // `next` repeats `previous`: same non-zero count and first codes, the
  // same direction within 0.01 and a start within the previous tolerance.
  static bool Matches(const OverprintKey& previous, const OverprintKey& next);
};

}  // namespace content
