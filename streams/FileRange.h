#pragma once
// A window [start, end) of another data source; a stream object's raw data
// in the file is one.
#include "streams/DataSource.h"

namespace streams {

class FileRange final : public DataSource {
 public:
  FileRange(LibraryContext* context, DataStoreRef source, uint64_t start, uint64_t end)
      : DataSource(context), source_(std::move(source)), start_(start), end_(end < start ? start : end) {}

  BlockRef GetBlock(uint64_t offset) override {
    if (offset >= end_ - start_) return MakeEmptyBlock(Context());
    uint64_t absolute = start_ + offset;
    return MakeWindow(Context(), source_->GetBlock(absolute), 0, end_ - absolute);
  }
  uint64_t Length() override { return end_ - start_; }
  uint32_t MemorySize() const override { return 64; }

 private:
  DataStoreRef source_;
  uint64_t start_;
  uint64_t end_;
};

}  // namespace streams
