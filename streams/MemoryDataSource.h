#pragma once
// A data source over bytes already in memory (a built-in font program or
// profile, a buffer read whole). The bytes are borrowed: they must outlive
// the source and every block taken from it.
#include "streams/DataSource.h"

namespace streams {

class MemoryDataSource final : public DataSource {
 public:
  MemoryDataSource(LibraryContext* context, const uint8_t* data, uint32_t length)
      : DataSource(context), data_(data), length_(length) {}

  // Every block reaches from the offset to the end of the bytes.
  BlockRef GetBlock(uint64_t offset) override {
    if (offset >= length_) return MakeEmptyBlock(Context());
    return MakePlainBlock(Context(), data_ + offset, static_cast<uint32_t>(length_ - offset));
  }
  uint64_t Length() override { return length_; }
  // The borrowed bytes are not counted.
  uint32_t MemorySize() const override { return 32; }

 private:
  const uint8_t* data_;
  uint32_t length_;
};

}  // namespace streams
