#include "pdf/Rc4.h"

#include <utility>

namespace pdf {

void Rc4::SetKey(const uint8_t* key, uint32_t length) {
  if (length > kMaxKeyBytes) length = kMaxKeyBytes;
  for (uint32_t n = 0; n < 256; ++n) state_[n] = static_cast<uint8_t>(n);
  i_ = 0;
  j_ = 0;
  // An empty key leaves the identity permutation rather than dividing by 0.
  if (length == 0) return;
  uint8_t j = 0;
  for (uint32_t n = 0; n < 256; ++n) {
    j = static_cast<uint8_t>(j + state_[n] + key[n % length]);
    std::swap(state_[n], state_[j]);
  }
}

void Rc4::Process(const uint8_t* in, uint8_t* out, uint32_t count) {
  uint8_t i = i_;
  uint8_t j = j_;
  for (uint32_t n = 0; n < count; ++n) {
    i = static_cast<uint8_t>(i + 1);
    j = static_cast<uint8_t>(j + state_[i]);
    std::swap(state_[i], state_[j]);
    out[n] = in[n] ^ state_[static_cast<uint8_t>(state_[i] + state_[j])];
  }
  i_ = i;
  j_ = j;
}

void Rc4::Process(uint8_t* bytes, uint32_t count) { Process(bytes, bytes, count); }

}  // namespace pdf
