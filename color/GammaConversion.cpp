#include "color/GammaConversion.h"

#include <array>

#include "color/BasicStages.h"
#include "color/ColorConverter.h"
#include "color/FixedPow.h"

namespace color {

namespace {

std::array<uint8_t, 256> BuildGammaByteTable(Fixed gamma) {
  std::array<uint8_t, 256> table{};
  for (uint32_t b = 0; b < 256; ++b) table[b] = ClampedFixedToByte(FixedPow(ByteToFixed(b), gamma));
  return table;
}

void RaiseFixedValues(Fixed gamma, Fixed* destination, int32_t destinationStep, const Fixed* source,
                      int32_t sourceStep, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    *destination = ClampUnit(FixedPow(ClampUnit(*source), gamma));
    destination += destinationStep;
    source += sourceStep;
  }
}

void MapBytes(uint8_t (*map)(uint8_t), uint8_t* destination, int32_t destinationStep, const uint8_t* source,
              int32_t sourceStep, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    *destination = map(*source);
    destination += destinationStep;
    source += sourceStep;
  }
}

}  // namespace

uint8_t DecodeGammaByte(uint8_t b) {
  static const std::array<uint8_t, 256> table = BuildGammaByteTable(kGamma22);
  return table[b];
}

uint8_t EncodeGammaByte(uint8_t b) {
  static const std::array<uint8_t, 256> table = BuildGammaByteTable(kGammaInverse22);
  return table[b];
}

void EncodeGammaFixed(Fixed* destination, int32_t destinationStep, const Fixed* source, int32_t sourceStep,
                      uint32_t count) {
  RaiseFixedValues(kGammaInverse22, destination, destinationStep, source, sourceStep, count);
}

void DecodeGammaFixed(Fixed* destination, int32_t destinationStep, const Fixed* source, int32_t sourceStep,
                      uint32_t count) {
  RaiseFixedValues(kGamma22, destination, destinationStep, source, sourceStep, count);
}

void EncodeGamma(uint8_t* destination, int32_t destinationStep, const uint8_t* source, int32_t sourceStep,
                 uint32_t count) {
  MapBytes(EncodeGammaByte, destination, destinationStep, source, sourceStep, count);
}

void DecodeGamma(uint8_t* destination, int32_t destinationStep, const uint8_t* source, int32_t sourceStep,
                 uint32_t count) {
  MapBytes(DecodeGammaByte, destination, destinationStep, source, sourceStep, count);
}

}  // namespace color
