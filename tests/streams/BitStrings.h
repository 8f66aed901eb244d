#pragma once
// Test support: bit strings written as text.
#include <cstdint>
#include <string>
#include <vector>

namespace streams_test {

// Packs a string of '0' and '1' (other characters ignored) into bytes, most
// significant bit first, padding the last byte with 0 bits.
inline std::vector<uint8_t> Bits(const std::string& text) {
  std::vector<uint8_t> out;
  int count = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (count % 8 == 0) out.push_back(0);
    if (c == '1') out.back() |= static_cast<uint8_t>(0x80 >> (count % 8));
    ++count;
  }
  return out;
}

}  // namespace streams_test
