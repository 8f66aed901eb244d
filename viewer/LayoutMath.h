#pragma once
// Small 64-bit and rotation routines of the page layout.
#include <cstdint>

#include "runtime/Rect.h"

namespace viewer {

struct LayoutMath {
  // a × b / c, truncated toward zero, with no overflow of the intermediate
  // product; a quotient beyond 64 bits saturates and a zero divisor gives
  // 0 (there is nothing to extrapolate over).
  static int64_t MulDiv64(int64_t a, int64_t b, int64_t c);
  // lo when value < lo; otherwise hi when value > hi; otherwise value. The
  // lower bound is tested first, so lo wins when the bounds cross.
  static int64_t Median3Clamp(int64_t lo, int64_t value, int64_t hi);
  // (-angle) mod 360, in 0..359.
  static int32_t InverseRotation(int32_t angle);
  // (a + b) mod 360, in 0..359.
  static int32_t AddRotations(int32_t a, int32_t b);
  // Width and height of a box, exchanged for a rotation of 90 or 270.
  static void RotatedBoxSize(const runtime::Rect& box, int32_t rotation, runtime::Fixed& width,
                             runtime::Fixed& height);
};

}  // namespace viewer
