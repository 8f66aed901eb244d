#include "streams/StreamDataStore.h"

#include <algorithm>

namespace streams {

StreamDataStore::StreamDataStore(LibraryContext* context, StreamRef source)
    : DataSource(context), source_(std::move(source)) {}

void StreamDataStore::Remember(uint64_t offset, const BlockRef& block) {
  cache_[nextSlot_].offset = offset;
  cache_[nextSlot_].block = block;
  nextSlot_ = (nextSlot_ + 1) % kCachedBlocks;
}

BlockRef StreamDataStore::GetBlock(uint64_t offset) {
  for (const CachedBlock& entry : cache_) {
    if (entry.block && offset >= entry.offset && offset - entry.offset < entry.block->Count()) {
      return MakeWindow(Context(), entry.block, static_cast<uint32_t>(offset - entry.offset));
    }
  }
  if (offset < decodePosition_) {
    source_->Restart(0);
    decodePosition_ = 0;
  }
  for (;;) {
    BlockRef block = source_->FetchBlock();
    uint32_t count = CountOf(block);
    if (count == 0) return MakeEmptyBlock(Context());
    uint64_t start = decodePosition_;
    decodePosition_ += count;
    if (offset < decodePosition_) {
      Remember(start, block);
      return MakeWindow(Context(), block, static_cast<uint32_t>(offset - start));
    }
  }
}

uint64_t StreamDataStore::Length() {
  if (!lengthKnown_) {
    source_->Restart(0);
    uint64_t total = 0;
    for (;;) {
      BlockRef block = source_->FetchBlock();
      if (CountOf(block) == 0) break;
      total += block->Count();
    }
    decodePosition_ = total;
    length_ = total;
    lengthKnown_ = true;
  }
  return length_;
}

uint32_t StreamDataStore::MemorySize() const {
  uint64_t size = 144 + static_cast<uint64_t>(source_->MemorySize());
  for (const CachedBlock& entry : cache_) {
    if (entry.block) size += entry.block->MemorySize();
  }
  return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

}  // namespace streams
