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
// Either component type under one name, for code written for both: the
// byte forms map each byte through the tables above.
void EncodeGamma(uint8_t* destination, int32_t destinationStep, const uint8_t* source, int32_t sourceStep,
                 uint32_t count);
void DecodeGamma(uint8_t* destination, int32_t destinationStep, const uint8_t* source, int32_t sourceStep,
                 uint32_t count);
inline void EncodeGamma(Fixed* destination, int32_t destinationStep, const Fixed* source, int32_t sourceStep,
                        uint32_t count) {
  EncodeGammaFixed(destination, destinationStep, source, sourceStep, count);
}
inline void DecodeGamma(Fixed* destination, int32_t destinationStep, const Fixed* source, int32_t sourceStep,
                        uint32_t count) {
  DecodeGammaFixed(destination, destinationStep, source, sourceStep, count);
}

}  // namespace color
