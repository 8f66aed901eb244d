#pragma once
// A buffered stream over a data source from a start offset on. Stream
// positions are the source's offsets.
#include "streams/DataSource.h"
#include "streams/DataStream.h"

namespace streams {

class SubRangeStream final : public DataStream {
 public:
  SubRangeStream(LibraryContext* context, DataStoreRef source, uint64_t offset);

  BlockRef FetchBlock() override;
  uint64_t Skip(uint64_t count) override { return count; }

 private:
  DataStoreRef source_;
};

}  // namespace streams
