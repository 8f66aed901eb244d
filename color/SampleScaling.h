#pragma once
// The two scalings between 8-bit colour components and 16.16 values that
// every converter and function evaluator shares: 255 is exactly 1.0 and
// comes back as 255.
#include <cstdint>

#include "runtime/Fixed.h"

namespace color {

// b x 257, plus 1 from 128 up, so that 255 gives exactly 1.0 (0x10000).
constexpr runtime::Fixed ByteToFixed(uint32_t b) {
  return static_cast<runtime::Fixed>(b * 257 + (b >= 128 ? 1 : 0));
}

// A value clamped to [0, 1.0], then (v - 1) >> 8 from 0.5 up, else v >> 8.
// Clamping first keeps an out-of-range result (a calculator program, an
// extrapolating exponential) from wrapping to the far end of the byte.
constexpr uint8_t ClampedFixedToByte(runtime::Fixed v) {
  if (v <= 0) return 0;
  if (v >= runtime::kFixedOne) return 255;
  return static_cast<uint8_t>((v >= 0x8000 ? v - 1 : v) >> 8);
}

}  // namespace color
