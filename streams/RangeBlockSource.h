#pragma once
// Raw stream data: a block source over a data source from offset 0, at the
// bottom of every stream object's filter chain.
#include "streams/BlockSource.h"
#include "streams/DataSource.h"

namespace streams {

class RangeBlockSource final : public BlockSource {
 public:
  RangeBlockSource(LibraryContext* context, DataStoreRef source)
      : BlockSource(context), source_(std::move(source)) {}

  BlockRef FetchBlock() override {
    BlockRef block = source_->GetBlock(offset_);
    offset_ += CountOf(block);
    return block;
  }
  void Restart(uint64_t) override { offset_ = 0; }
  bool AtEnd() const override { return source_->Length() <= offset_; }
  uint32_t MemorySize() const override { return 56 + source_->MemorySize(); }

 private:
  DataStoreRef source_;
  uint64_t offset_ = 0;
};

}  // namespace streams
