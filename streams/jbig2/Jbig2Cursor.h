#pragma once
// A bounds-checked reader over one byte range of JBIG2 data: big-endian
// integers and single bits, most significant first. Reading past the end
// throws (runtime, 1).
#include <cstddef>
#include <cstdint>

#include "runtime/ErrorTrap.h"

namespace streams {

struct Jbig2Cursor {
  const uint8_t* pos = nullptr;
  const uint8_t* end = nullptr;
  uint8_t curByte = 0;
  uint8_t bitPos = 0;  // 8: the next bit read fetches a new byte

  void Reset(const uint8_t* start, size_t length) {
    pos = start;
    end = start + length;
    bitPos = 0;
  }
  size_t Remaining() const { return static_cast<size_t>(end - pos); }

  uint8_t ReadByte() {
    if (pos >= end) runtime::ThrowRuntime(runtime::kOverflow);
    curByte = *pos++;
    return curByte;
  }
  // n = 0 to 4 bytes, big-endian.
  uint32_t ReadUInt(int n) {
    if (Remaining() < static_cast<size_t>(n)) runtime::ThrowRuntime(runtime::kOverflow);
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = (value << 8) | *pos++;
    return value;
  }
  int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt(4)); }
  int8_t ReadSignedByte() { return static_cast<int8_t>(ReadByte()); }
  void Skip(size_t n) {
    if (Remaining() < n) runtime::ThrowRuntime(runtime::kOverflow);
    pos += n;
    bitPos = 0;
  }
  uint8_t PeekByte(size_t i) const {
    if (Remaining() <= i) runtime::ThrowRuntime(runtime::kOverflow);
    return pos[i];
  }
  uint32_t ReadBit() {
    if (bitPos >= 8) {
      ReadByte();
      bitPos = 0;
    }
    return (curByte >> (7 - bitPos++)) & 1u;
  }
  uint32_t ReadBits(int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = (value << 1) | ReadBit();
    return value;
  }
  // Starts bit reading at the next byte boundary.
  void AlignToByte() { bitPos = 8; }
};

}  // namespace streams
