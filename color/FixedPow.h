#pragma once
// x^y in 16.16 fixed point: the one power function of the colour code
// (gamma curves, parametric curves, Lab conversion, PDF functions).
#include "runtime/Fixed.h"

namespace color {

using runtime::Fixed;

// x^y for a Fixed base and exponent, by a base-2 logarithm and exponential
// of short polynomials; no floating point and no table. A negative base
// takes the exponent's integer part only. Results of 2^15 or more saturate
// to 0x7FFFFFFF; results below 2^-16 are 0.
Fixed FixedPow(Fixed x, Fixed y);

// log2(x) in 16.16 for x > 0, by the polynomial FixedPow uses; 0 for x <= 0
// (callers refuse such operands first).
Fixed FixedLog2(Fixed x);

}  // namespace color
