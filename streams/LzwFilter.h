#pragma once
// "LZWDecode": variable-width codes of 9 to 12 bits, most significant bit
// first, with clear (256) and end (257) codes. EarlyChange 1 widens the
// code one code before the table needs it, EarlyChange 0 when it does.
#include "streams/FilterBase.h"

namespace streams {

class LzwFilter final : public FilterBase {
 public:
  LzwFilter(LibraryContext* context, StreamRef source, bool earlyChange);

  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  void Restart(uint64_t position) override;
  uint32_t MemorySize() const override;

 private:
  static constexpr uint32_t kClear = 256;
  static constexpr uint32_t kEnd = 257;
  static constexpr uint32_t kFirstEntry = 258;
  static constexpr uint32_t kTableSize = 4096;

  void Clear();
  // The next code; kEnd when the source is exhausted.
  uint32_t ReadCode();
  uint32_t Width() const;
  void WriteString(uint32_t code, uint8_t* out) const;

  uint32_t earlyChange_;
  // Entries defined since the last clear; the newest one waits for its last
  // byte, which the following code supplies.
  uint32_t entryCount_ = 0;
  int32_t openEntry_ = -1;
  int32_t pendingCode_ = -1;
  uint32_t bitBuffer_ = 0;
  uint32_t bitCount_ = 0;
  uint16_t prefix_[kTableSize];
  uint16_t length_[kTableSize];
  uint8_t first_[kTableSize];
  uint8_t last_[kTableSize];
};

}  // namespace streams
