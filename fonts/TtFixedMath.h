#pragma once
// Fixed-point arithmetic of the TrueType scaler and bytecode interpreter:
// 26.6 device distances (64 = one pixel), 16.16 scales and 2.14 unit
// vectors (16384 = 1.0). Every operation is total: divisions by zero and
// results too large for 32 bits saturate instead of trapping.
#include <cstdint>

namespace fonts {

// Signed 32 x 32 -> 64-bit product.
int64_t Mul32To64(int32_t a, int32_t b);
// p / c rounded half away from zero, saturated to 0x7FFFFFFF or
// 0x80000000 by the quotient's sign; a divisor of 0 saturates by p's sign
// (0 / 0 is 0).
int32_t Div64By32Round(int32_t c, int64_t p);
// a x b / c with the 64-bit product and the rounded division.
int32_t FixedMulDiv(int32_t a, int32_t b, int32_t c);
// A distance times a 2.14 component: (a x b + 8192) >> 14.
int32_t MulF2Dot14(int32_t a, int32_t b);
// (a x b) >> 30 rounded, saturated; 0 when either operand is 0.
int32_t MulF2Dot30(int32_t a, int32_t b);
// 26.6 product: (a x b + 32) >> 6 on magnitudes, sign applied afterwards.
int32_t MulF26Dot6(int32_t a, int32_t b);
// Rounded integer square root of x; 0x80000000 for a negative x.
int32_t FixedSqrtFnt(int32_t x);
// The exponent when x is a power of two, else -1 (also for 0).
int Log2Exact(uint32_t x);

struct UnitVector {
  int16_t x = 16384;
  int16_t y = 0;
};
// The 2.14 unit vector along (dx, dy); (0, 0) gives the x axis.
UnitVector TtComputeUnitVector(int32_t dx, int32_t dy);

}  // namespace fonts
