#pragma once
// "ASCIIHexDecode": pairs of hexadecimal digits, white space skipped; ">"
// or any other byte ends the data, and an odd last digit is padded with 0.
#include "streams/FilterBase.h"

namespace streams {

class AsciiHexFilter final : public FilterBase {
 public:
  using FilterBase::FilterBase;
  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  // A digit held from before the restart belongs to the old pass.
  void Restart(uint64_t position) override {
    FilterBase::Restart(position);
    pending_ = kNoNibble;
  }
  uint32_t MemorySize() const override { return FilterBase::MemorySize() + 4; }

 private:
  static constexpr uint8_t kNoNibble = 255;
  uint8_t pending_ = kNoNibble;
};

}  // namespace streams
