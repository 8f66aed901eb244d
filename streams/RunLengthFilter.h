#pragma once
// "RunLengthDecode": a length byte L; 0..127 copies L + 1 literal bytes,
// 129..255 repeats the next byte 257 - L times, 128 ends the data.
#include "streams/FilterBase.h"

namespace streams {

class RunLengthFilter final : public FilterBase {
 public:
  using FilterBase::FilterBase;
  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;

 private:
  uint32_t EndOfSource(uint32_t written);
};

}  // namespace streams
