#include "streams/Ascii85Filter.h"

#include <array>

#include "runtime/ErrorTrap.h"

namespace streams {
namespace {

constexpr uint8_t kWhite = 85;
constexpr uint8_t kZero = 86;
constexpr uint8_t kTilde = 87;
constexpr uint8_t kOther = 88;

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> classes{};
  for (int i = 0; i < 256; ++i) classes[i] = kOther;
  for (int i = '!'; i <= 'u'; ++i) classes[i] = static_cast<uint8_t>(i - '!');
  for (int white : {8, 9, 10, 11, 12, 13, 32}) classes[white] = kWhite;
  classes['z'] = kZero;
  classes['~'] = kTilde;
  return classes;
}

constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

uint64_t GroupValue(const uint8_t* digits, uint32_t count) {
  uint64_t value = 0;
  for (uint32_t i = 0; i < count; ++i) value = value * 85 + digits[i];
  return value;
}

void WriteWord(uint8_t* out, uint32_t word, uint32_t bytes) {
  for (uint32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(word >> (24 - 8 * i));
}

}  // namespace

void Ascii85Filter::Restart(uint64_t position) {
  FilterBase::Restart(position);
  digitCount_ = 0;
  endPending_ = false;
}

uint32_t Ascii85Filter::FlushPartialGroup(uint8_t* out) {
  uint32_t count = digitCount_;
  digitCount_ = 0;
  if (count < 2) return 0;
  uint64_t scale = 1;
  for (uint32_t i = count; i < 5; ++i) scale *= 85;
  uint64_t value = (GroupValue(digits_, count) + 1) * scale;
  if (value > UINT32_MAX) runtime::ThrowRuntime(runtime::kMalformed);
  WriteWord(out, static_cast<uint32_t>(value), count - 1);
  return count - 1;
}

uint32_t Ascii85Filter::Decode(uint8_t* buffer, uint32_t capacity) {
  uint32_t written = 0;
  while (!end_ && capacity - written >= 4) {
    if (sourceCursor_ == sourceEnd_) {
      if (endPending_) {
        endPending_ = false;
        end_ = true;
        break;
      }
      if (!RefillSource()) {
        // A partial group at the very end of the source is dropped.
        digitCount_ = 0;
        end_ = true;
        break;
      }
    }
    uint8_t kind = kClasses[*sourceCursor_++];
    if (kind < 85) {
      digits_[digitCount_++] = kind;
      if (digitCount_ == 5) {
        uint64_t value = GroupValue(digits_, 5);
        if (value > UINT32_MAX) runtime::ThrowRuntime(runtime::kMalformed);
        WriteWord(buffer + written, static_cast<uint32_t>(value), 4);
        written += 4;
        digitCount_ = 0;
      }
    } else if (kind == kZero) {
      if (digitCount_ != 0) runtime::ThrowRuntime(runtime::kMalformed);
      WriteWord(buffer + written, 0, 4);
      written += 4;
    } else if (kind != kWhite) {
      // "~" or a byte outside the alphabet ends the data; what follows it
      // in the block is not examined.
      written += FlushPartialGroup(buffer + written);
      if (sourceCursor_ < sourceEnd_) {
        sourceCursor_ = sourceEnd_;
        end_ = true;
      } else {
        endPending_ = true;
      }
    }
  }
  return written;
}

}  // namespace streams
