#pragma once
// Random access into decoded data: a data source over a block source. The
// decoded data is kept as pages of kPageSize bytes at multiples of
// kPageSize, in a cost cache of the context, so that fonts and other
// readers that jump about re-decode only what memory pressure dropped; an
// offset whose page is gone and lies before the decode position restarts
// the source.
#include "runtime/ObjectCache.h"
#include "streams/BlockSource.h"
#include "streams/DataSource.h"

namespace streams {

class StreamDataStore final : public DataSource {
 public:
  static constexpr uint32_t kPageSize = 4096;
  // What a cached page costs: its bytes and its valid length.
  static constexpr uint32_t kPageCost = kPageSize + 8;

  StreamDataStore(LibraryContext* context, StreamRef source);

  BlockRef GetBlock(uint64_t offset) override;
  uint64_t Length() override;
  uint32_t MemorySize() const override;
  // Times the source was restarted (for tests).
  uint64_t Restarts() const { return restarts_; }

 private:
  using PageCache = runtime::ObjectCache<DataBlock, uint64_t, BlockCount>;

  void RestartSource();
  // Decodes the page at nextPage_ and advances past it; an empty block
  // once the data has ended.
  BlockRef AssemblePage();

  StreamRef source_;
  PageCache pages_;
  // The decoded offset of the next page to assemble, and the part of the
  // last source block that belongs to it.
  uint64_t nextPage_ = 0;
  BlockRef carry_;
  uint32_t carryStart_ = 0;
  bool sourceEnded_ = false;
  bool lengthKnown_ = false;
  uint64_t length_ = 0;
  uint64_t restarts_ = 0;
};

}  // namespace streams
