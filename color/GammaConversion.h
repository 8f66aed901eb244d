#pragma once
// The display gamma: bytes and 16.16 values raised to the power 2.2
// (decode, to linear light) or 1/2.2 (encode, back to display values).
#include <cstdint>

#include "runtime/Fixed.h"

namespace color {

using runtime::Fixed;

// 2.2 and 1/2.2 in 16.16.
inline constexpr Fixed kGamma22 = 0x23333;
inline constexpr Fixed kGammaInverse22 = 0x745D;

// Byte to byte through the power 2.2 and 1/2.2 (tables built once).
uint8_t DecodeGammaByte(uint8_t b);
uint8_t EncodeGammaByte(uint8_t b);

// `count` values from `source` to `destination` (steps in values), each
// clamped to [0, 1.0], raised to the power and clamped again.
void EncodeGammaFixed(Fixed* destination, int32_t destinationStep, const Fixed* source, int32_t sourceStep,
                      uint32_t count);
void DecodeGammaFixed(Fixed* destination, int32_t destinationStep, const Fixed* source, int32_t sourceStep,
                      uint32_t count);

}  // namespace color
