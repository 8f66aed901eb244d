#include "runtime/PackedPoint.h"

namespace runtime {

namespace {

// Drops the bits below 1/128. The lowest value marks unbounded edges and has
// no negation, so a point that would land on it is kept one step inside.
uint32_t Quantise(Fixed v) {
  const uint32_t bits = static_cast<uint32_t>(v) & ~0x1ffu;
  return bits == 0x80000000u ? 0x80000200u : bits;
}

Fixed Unpack(const uint8_t* integerPart, uint8_t fraction) {
  const uint32_t whole = integerPart[0] | (uint32_t{integerPart[1]} << 8);
  return static_cast<Fixed>((whole << 16) | (uint32_t{fraction & 0xfeu} << 8));
}

}  // namespace

void PackedPoint::Pack(PackedPoint& record, Fixed x, Fixed y, uint8_t kind) {
  const uint32_t qx = Quantise(x);
  const uint32_t qy = Quantise(y);
  record.bytes[0] = static_cast<uint8_t>(qx >> 16);
  record.bytes[1] = static_cast<uint8_t>(qx >> 24);
  record.bytes[2] = static_cast<uint8_t>(qy >> 16);
  record.bytes[3] = static_cast<uint8_t>(qy >> 24);
  record.bytes[4] = static_cast<uint8_t>(((qx >> 8) & 0xfe) | (kind & 1));
  record.bytes[5] = static_cast<uint8_t>(((qy >> 8) & 0xfe) | ((kind >> 1) & 1));
}

Fixed PackedPoint::X() const { return Unpack(&bytes[0], bytes[4]); }

Fixed PackedPoint::Y() const { return Unpack(&bytes[2], bytes[5]); }

}  // namespace runtime
