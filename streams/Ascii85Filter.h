#pragma once
// "ASCII85Decode": groups of five base-85 digits ("!" to "u") make four
// bytes, "z" makes four zero bytes, "~" ends the data.
#include "streams/FilterBase.h"

namespace streams {

class Ascii85Filter final : public FilterBase {
 public:
  using FilterBase::FilterBase;
  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  void Restart(uint64_t position) override;
  uint32_t MemorySize() const override { return FilterBase::MemorySize() + 12; }

 private:
  uint32_t FlushPartialGroup(uint8_t* out);

  uint8_t digits_[5] = {};
  uint32_t digitCount_ = 0;
  // "~" was the last byte of its block: the data ends at the next refill.
  bool endPending_ = false;
};

}  // namespace streams
