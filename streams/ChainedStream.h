#pragma once
// The buffered stream over a block source (decoded streams, images,
// fonts, content). Stream positions count from the source's first byte.
#include "streams/BlockSource.h"
#include "streams/DataStream.h"

namespace streams {

class ChainedStream final : public DataStream {
 public:
  ChainedStream(LibraryContext* context, StreamRef source);

  BlockRef FetchBlock() override;
  bool RestartPending() const { return restartPending_; }

 private:
  struct FetchGuard;

  StreamRef source_;
  // The offset of the next block the source will deliver.
  uint64_t sourcePosition_ = 0;
  // Set when an error interrupted a fetch: the source's position is then
  // unknown, so the next fetch restarts it.
  bool restartPending_ = false;
};

}  // namespace streams
