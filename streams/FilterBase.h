#pragma once
// The common part of every decode filter: pulling source blocks, producing
// output blocks of up to 4096 bytes, restarting, end of data and memory
// accounting. A filter implements Decode over the source cursor.
//
// Writing a filter:
//   class MyFilter final : public FilterBase {
//     uint32_t Decode(uint8_t* out, uint32_t capacity) override {
//       // read bytes at sourceCursor_..sourceEnd_, calling RefillSource()
//       // when they run out (false: the source has ended); write at most
//       // `capacity` bytes and set end_ when the decoded data ends.
//     }
//   };
// and register a factory in DecodeFilterRegistry.
#include <cstdint>

#include "streams/BlockSource.h"

namespace streams {

class FilterBase : public BlockSource {
 public:
  FilterBase(LibraryContext* context, StreamRef source);

  BlockRef FetchBlock() override { return FillBlock(); }
  // Until its data ends, a filter keeps the last decoded byte back, so it
  // never returns an empty block before the end; the block that comes with
  // the end carries everything left, and later calls return empty blocks.
  virtual BlockRef FillBlock();
  void Restart(uint64_t position) override;
  bool AtEnd() const override { return end_; }
  uint32_t MemorySize() const override;
  // Writes up to `capacity` decoded bytes and returns how many; sets the
  // end flag when the data ends.
  virtual uint32_t Decode(uint8_t* buffer, uint32_t capacity) = 0;
  // Whether FillBlock stops calling Decode once the end flag is set.
  virtual bool StopAtEnd() const { return true; }

 protected:
  // Makes the source's next block current; false once the source has
  // ended (the decoder then decides whether its data ends too).
  bool RefillSource();
  bool SourceAvailable() { return sourceCursor_ < sourceEnd_ || RefillSource(); }

  StreamRef source_;
  BlockRef sourceBlock_;
  const uint8_t* sourceCursor_ = nullptr;
  const uint8_t* sourceEnd_ = nullptr;
  bool end_ = false;
  bool sourceDone_ = false;

 private:
  int32_t heldBack_ = -1;
};

}  // namespace streams
