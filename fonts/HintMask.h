#pragma once
// Which stems a hint mask switches on: one bit per stem, most significant
// bit first, horizontal stems before vertical ones, 96 stems at most.
#include <cstdint>
#include <cstring>

#include "fonts/FontError.h"

namespace fonts {

struct HintMask {
  static constexpr uint32_t kMaxStems = 96;

  bool valid = false;
  uint32_t stemCount = 0;
  uint32_t byteCount = 0;
  uint8_t bits[12] = {};

  void SetSize(uint32_t n) {
    if (n > kMaxStems) ThrowMalformedFont();
    stemCount = n;
    byteCount = (n + 7) / 8;
    ClearTail();
  }
  void SetAll(uint32_t n) {
    SetSize(n);
    std::memset(bits, 0xFF, byteCount);
    ClearTail();
    valid = true;
  }
  // Copies the mask bytes at *position and advances it; reading past `end`
  // is malformed.
  void Read(const uint8_t*& position, const uint8_t* end, uint32_t n) {
    SetSize(n);
    if (static_cast<uint64_t>(end - position) < byteCount) ThrowMalformedFont();
    std::memcpy(bits, position, byteCount);
    position += byteCount;
    ClearTail();
    valid = true;
  }
  bool Test(uint32_t k) const { return k < stemCount && (bits[k >> 3] & (0x80 >> (k & 7))) != 0; }
  void Reset(uint32_t k) {
    if (k < kMaxStems) bits[k >> 3] &= static_cast<uint8_t>(~(0x80 >> (k & 7)));
  }

 private:
  void ClearTail() {
    if ((stemCount & 7) != 0) bits[byteCount - 1] &= static_cast<uint8_t>(0xFF00 >> (stemCount & 7));
    if (byteCount < 12) std::memset(bits + byteCount, 0, 12 - byteCount);
  }
};

}  // namespace fonts
