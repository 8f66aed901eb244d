#pragma once
// ICC four-character signatures as the big-endian words the profile holds,
// and the channel count of a colour-space signature.
#include <cstdint>

namespace color {

constexpr uint32_t IccSig(const char (&s)[5]) {
  return (uint32_t{static_cast<uint8_t>(s[0])} << 24) | (uint32_t{static_cast<uint8_t>(s[1])} << 16) |
         (uint32_t{static_cast<uint8_t>(s[2])} << 8) | uint32_t{static_cast<uint8_t>(s[3])};
}

// Channels of a data colour space: 1 to 4; 5- to 8-colour spaces are
// unsupported (runtime, 5); any other signature is malformed (runtime, 2).
int32_t IccSpaceChannelCount(uint32_t signature);

}  // namespace color
