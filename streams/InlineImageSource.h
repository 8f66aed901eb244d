#pragma once
// The raw bytes of an inline image: the content stream read in place after
// the "ID" operator. Every block after the first starts with the "E" that
// ended the one before, so a reader looking for the closing "EI" finds its
// "E" at a block start.
//
// A block handed out is consumed from the content stream only at the next
// fetch or when the source goes: afterwards the content stream stands just
// after the last block the image's filters took, normally at the "E" of
// "EI", whatever part of that block they used.
#include <cstdint>

#include "streams/BlockSource.h"
#include "streams/DataStream.h"

namespace streams {

class InlineImageSource final : public BlockSource {
 public:
  InlineImageSource(LibraryContext* context, DataStreamRef content)
      : BlockSource(context), content_(std::move(content)) {}
  // Moves the content stream past the block handed out last.
  ~InlineImageSource() override;

  BlockRef FetchBlock() override;
  // The content stream cannot go back: a restart does nothing.
  void Restart(uint64_t) override {}
  bool AtEnd() const override;
  uint32_t MemorySize() const override { return 32; }

  // From now on a block that would start with an "EI" keyword after white
  // space ends the data instead. Used to let a filter run to its own end
  // once the image's rows are all read, without ever reading past the
  // image's "EI" when the filter's data has no end of its own.
  void StopAtEndKeyword() { stopAtKeyword_ = true; }
  // Hands out no more than `count` bytes in all: unfiltered data have a
  // known length, and the content stream then stands exactly after them.
  void LimitTo(uint64_t count) { remaining_ = count; }

 private:
  bool AtEndKeyword() const;

  DataStreamRef content_;
  // Bytes handed out by the previous fetch, consumed at the next one.
  uint32_t handedOut_ = 0;
  // The last byte handed out (a space before the first block).
  uint8_t lastByte_ = ' ';
  bool stopAtKeyword_ = false;
  uint64_t remaining_ = UINT64_MAX;
};

}  // namespace streams
