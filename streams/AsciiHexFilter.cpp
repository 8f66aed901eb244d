#include "streams/AsciiHexFilter.h"

#include <array>

namespace streams {
namespace {

constexpr uint8_t kHexWhite = 16;
constexpr uint8_t kEnd = 17;
constexpr uint8_t kHexOther = 18;

constexpr std::array<uint8_t, 256> MakeHexClasses() {
  std::array<uint8_t, 256> classes{};
  for (int i = 0; i < 256; ++i) classes[i] = kHexOther;
  for (int i = 0; i < 10; ++i) classes['0' + i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 6; ++i) {
    classes['A' + i] = static_cast<uint8_t>(10 + i);
    classes['a' + i] = static_cast<uint8_t>(10 + i);
  }
  for (int white : {0, 9, 10, 12, 13, 32}) classes[white] = kHexWhite;
  classes['>'] = kEnd;
  return classes;
}

constexpr std::array<uint8_t, 256> kHexClasses = MakeHexClasses();

}  // namespace

uint32_t AsciiHexFilter::Decode(uint8_t* buffer, uint32_t capacity) {
  uint32_t written = 0;
  while (written < capacity) {
    if (!SourceAvailable()) {
      end_ = true;
      break;
    }
    uint8_t kind = kHexClasses[*sourceCursor_++];
    if (kind < 16) {
      if (pending_ == kNoNibble) {
        pending_ = kind;
      } else {
        buffer[written++] = static_cast<uint8_t>(pending_ << 4 | kind);
        pending_ = kNoNibble;
      }
    } else if (kind != kHexWhite) {
      // ">" and every byte that is not a digit end the data; bad bytes are
      // not an error.
      end_ = true;
      break;
    }
  }
  if (end_ && pending_ != kNoNibble && written < capacity) {
    buffer[written++] = static_cast<uint8_t>(pending_ << 4);
    pending_ = kNoNibble;
  }
  return written;
}

}  // namespace streams
