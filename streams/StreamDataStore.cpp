#include "streams/StreamDataStore.h"

#include <algorithm>
#include <cstring>

namespace streams {

StreamDataStore::StreamDataStore(LibraryContext* context, StreamRef source)
    : DataSource(context), source_(std::move(source)), pages_(context) {}

void StreamDataStore::RestartSource() {
  source_->Restart(0);
  ++restarts_;
  nextPage_ = 0;
  carry_ = BlockRef();
  carryStart_ = 0;
  sourceEnded_ = false;
}

BlockRef StreamDataStore::AssemblePage() {
  if (sourceEnded_ && CountOf(carry_) <= carryStart_) return MakeEmptyBlock(Context());
  // The common case: a whole source block that is exactly the page is
  // kept as it is, without a copy.
  if (CountOf(carry_) <= carryStart_) {
    BlockRef block = source_->FetchBlock();
    const uint32_t count = CountOf(block);
    if (count == 0) {
      sourceEnded_ = true;
      return MakeEmptyBlock(Context());
    }
    if (count == kPageSize) {
      nextPage_ += kPageSize;
      return block;
    }
    carry_ = std::move(block);
    carryStart_ = 0;
  }
  Ref<HeapDataBlock> page = MakeRef<HeapDataBlock>(Context(), kPageSize);
  uint32_t filled = 0;
  while (filled < kPageSize) {
    if (CountOf(carry_) <= carryStart_) {
      if (sourceEnded_) break;
      carry_ = source_->FetchBlock();
      carryStart_ = 0;
      if (CountOf(carry_) == 0) {
        sourceEnded_ = true;
        break;
      }
    }
    const uint32_t take = std::min(kPageSize - filled, carry_->Count() - carryStart_);
    std::memcpy(page->Bytes() + filled, carry_->Data() + carryStart_, take);
    filled += take;
    carryStart_ += take;
  }
  if (filled == 0) return MakeEmptyBlock(Context());
  page->SetCount(filled);
  nextPage_ += filled;
  return page;
}

BlockRef StreamDataStore::GetBlock(uint64_t offset) {
  const uint64_t pageOffset = offset & ~uint64_t{kPageSize - 1};
  const uint32_t within = static_cast<uint32_t>(offset - pageOffset);
  if (PageCache::Ref cached = pages_.FindRef(pageOffset)) {
    if (within >= cached->Count()) return MakeEmptyBlock(Context());
    return MakeWindow(Context(), BlockRef(cached.Get()), within);
  }
  if (lengthKnown_ && offset >= length_) return MakeEmptyBlock(Context());
  if (pageOffset < nextPage_) RestartSource();
  for (;;) {
    const uint64_t at = nextPage_;
    // Pages on the way are kept too: the next read is likely among them.
    PageCache::Ref page = pages_.Get(at, [&] {
      BlockRef built = AssemblePage();
      if (CountOf(built) == 0) return PageCache::Built{};
      return PageCache::Built{PageCache::Ref::Adopt(Context(), built.Detach()), kPageCost};
    });
    if (!page) {
      if (!lengthKnown_) {
        length_ = at;
        lengthKnown_ = true;
      }
      return MakeEmptyBlock(Context());
    }
    if (at == pageOffset) {
      if (within >= page->Count()) return MakeEmptyBlock(Context());
      return MakeWindow(Context(), BlockRef(page.Get()), within);
    }
    // A page found already cached on the way was not decoded again: skip
    // its bytes in the source.
    if (nextPage_ == at) {
      const uint64_t skipTo = at + page->Count();
      while (nextPage_ < skipTo) {
        if (CountOf(AssemblePage()) == 0) break;
      }
    }
  }
}

uint64_t StreamDataStore::Length() {
  if (!lengthKnown_) {
    // Count from where decoding stands, then go back for later reads.
    for (;;) {
      const uint64_t before = nextPage_;
      if (CountOf(AssemblePage()) == 0 || nextPage_ == before) break;
    }
    length_ = nextPage_;
    lengthKnown_ = true;
  }
  return length_;
}

uint32_t StreamDataStore::MemorySize() const {
  const uint64_t size = 144 + static_cast<uint64_t>(source_->MemorySize());
  return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

}  // namespace streams
