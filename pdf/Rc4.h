#pragma once
// The RC4 stream cipher. Decrypting and encrypting are the same XOR with
// the keystream, so one operation serves both.
#include <cstdint>

namespace pdf {

class Rc4 {
 public:
  // Longest key the schedule uses; longer keys are cut to it (per-object
  // keys never need more).
  static constexpr uint32_t kMaxKeyBytes = 16;

  Rc4() = default;
  Rc4(const uint8_t* key, uint32_t length) { SetKey(key, length); }
  void SetKey(const uint8_t* key, uint32_t length);
  // XORs `count` bytes in place with the next keystream bytes.
  void Process(uint8_t* bytes, uint32_t count);
  // As Process, from `in` to `out` (which may be the same).
  void Process(const uint8_t* in, uint8_t* out, uint32_t count);

 private:
  uint8_t state_[256] = {};
  uint8_t i_ = 0;
  uint8_t j_ = 0;
};

}  // namespace pdf
