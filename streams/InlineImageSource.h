#pragma once
// The raw bytes of an inline image: the content stream read in place after
// the "ID" operator. Every block after the first starts with the "E" that
// ended the one before, so a reader looking for the closing "EI" finds its
// "E" at a block start.
#include "streams/BlockSource.h"
#include "streams/DataStream.h"

namespace streams {

class InlineImageSource final : public BlockSource {
 public:
  InlineImageSource(LibraryContext* context, DataStreamRef content)
      : BlockSource(context), content_(std::move(content)) {}

  BlockRef FetchBlock() override;
  // The content stream cannot go back: a restart does nothing.
  void Restart(uint64_t) override {}
  bool AtEnd() const override;
  uint32_t MemorySize() const override { return 48; }

 private:
  DataStreamRef content_;
  // Bytes handed out by the previous fetch, consumed at the next one.
  uint32_t handedOut_ = 0;
};

}  // namespace streams
