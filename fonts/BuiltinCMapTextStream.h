#pragma once
// Turns a packed built-in CMap back into CMap text, a few hundred bytes at
// a time, as a block source that the CMap parser reads like any CMap file.
//
// The packed form is a bit stream (most significant bit first). In literal
// mode a 2-bit command says: 0 end; 1 an 8-bit count and that many bytes;
// 2 a 6-bit index of a word of kCMapWords (written after a blank, the
// mapping section words followed by line feeds); 3 a table of records
// (1 bit hex destinations, 1 bit range ends, 8 bits record count). Each
// record may change the field widths, then carries the code delta, the
// destination delta (or a long destination string) and the range length,
// and is written as "<code><code2>destination" on a line of its own.
#include <cstdint>

#include "streams/BlockSource.h"
#include "streams/DataStream.h"

namespace fonts {

inline constexpr uint32_t kCMapWordCount = 64;
extern const char* const kCMapWords[kCMapWordCount];

class BuiltinCMapTextStream final : public streams::BlockSource {
 public:
  static constexpr uint32_t kChunkBytes = 263;

  BuiltinCMapTextStream(runtime::LibraryContext* context, const uint8_t* data, uint32_t length);

  // The next chunk of text; an empty block at the end.
  streams::BlockRef FetchBlock() override;
  // Only the start is supported: anything else raises (runtime, 5).
  void Restart(uint64_t position) override;
  bool AtEnd() const override { return finished_; }
  uint32_t MemorySize() const override { return sizeof(BuiltinCMapTextStream); }

  // A data stream over the text of a packed table.
  static streams::DataStreamRef Open(runtime::LibraryContext* context, const uint8_t* data,
                                     uint32_t length);

 private:
  uint32_t Bits(uint32_t count);
  // Expands commands until the chunk holds at least one byte or the data
  // ends.
  void ExpandChunk();
  void Record();
  void Put(const char* text, uint32_t length);
  void PutHex(uint32_t value, uint32_t digits);

  const uint8_t* data_;
  uint32_t length_;
  uint64_t bitPosition_ = 0;
  char chunk_[kChunkBytes + 64];
  uint32_t chunkLength_ = 0;
  bool finished_ = false;
  uint8_t recordsLeft_ = 0;
  uint8_t destinationIsHex_ = 0;
  uint8_t hasRangeEnd_ = 0;
  uint32_t code_ = 0;
  uint8_t codeBytes_ = 0;
  uint8_t codeDeltaBits_ = 0;
  uint8_t rangeBits_ = 0;
  uint32_t destination_ = 0;
  uint8_t destinationBytes_ = 0;
  uint8_t destinationDeltaBits_ = 0;
  uint8_t string_[32] = {};
};

}  // namespace fonts
