#pragma once
// Random access into decoded data: a data source over a block source that
// keeps recently decoded blocks and re-decodes from the start when an
// offset before the decode position is asked for.
#include "streams/BlockSource.h"
#include "streams/DataSource.h"

namespace streams {

class StreamDataStore final : public DataSource {
 public:
  StreamDataStore(LibraryContext* context, StreamRef source);

  BlockRef GetBlock(uint64_t offset) override;
  uint64_t Length() override;
  uint32_t MemorySize() const override;

 private:
  // Decoded blocks kept for re-reading; the oldest goes first.
  static constexpr int kCachedBlocks = 16;
  struct CachedBlock {
    uint64_t offset = 0;
    BlockRef block;
  };

  void Remember(uint64_t offset, const BlockRef& block);

  StreamRef source_;
  uint64_t decodePosition_ = 0;
  bool lengthKnown_ = false;
  uint64_t length_ = 0;
  CachedBlock cache_[kCachedBlocks];
  int nextSlot_ = 0;
};

}  // namespace streams
