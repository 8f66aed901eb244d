#pragma once
// Small 64-bit and rotation routines of the page layout.
#include <cstdint>

#include "runtime/Rect.h"
#include "runtime/Rect64.h"

namespace viewer {

// 90% of the largest 16-bit pixel coordinate, in 16.16: no device
// coordinate of a page may go beyond it.
inline constexpr runtime::Fixed kDeviceRangeLimit = runtime::FixedMul(0x7FFF0000, 58982);

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
  // A point of a page turned with it inside the turned page of size
  // (w, h): 90 gives (w - y, x), 180 (w - x, h - y), 270 (y, h - x).
  static void RotateInPage(int32_t rotation, runtime::Fixed w, runtime::Fixed h, runtime::Fixed& x,
                           runtime::Fixed& y);
  // A direction turned by a quarter-turn rotation: 90 gives (-y, x), 180
  // (-x, -y), 270 (y, -x).
  static void RotateQuarter(int32_t rotation, runtime::Fixed& x, runtime::Fixed& y);
  // The page box clipped to what a zoom at `scaleX` and `scaleY` pixels per
  // point can show within 90% of the 16-bit pixel range.
  static runtime::Rect PageBoxSize(const runtime::Rect& box, runtime::Fixed zoom,
                                   runtime::Fixed scaleX, runtime::Fixed scaleY);
  // The centre of a rectangle, halved toward zero.
  static void Center(const runtime::Rect64& r, int64_t& x, int64_t& y);
};

}  // namespace viewer
