#pragma once
// The buffered stream the parsers read. It keeps a current block and at
// most one read-ahead block, a 64-bit read position and a cursor into the
// current buffer. Bytes are read in place; only a contiguous run that
// crosses a block boundary is copied, into the side buffer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "streams/DataBlock.h"

namespace streams {

class DataStream : public CountedObject {
 public:
  DataStream(LibraryContext* context, uint64_t start);
  ~DataStream() override;

  // Skips bytes without reading them; returns how many were skipped. The
  // base skips nothing, so the stream reads through the bytes instead.
  virtual uint64_t Skip(uint64_t count);
  // The next block, placed at NextFetchPosition(); empty at the end.
  virtual BlockRef FetchBlock() = 0;

  // Makes at least one byte available at the read position. When data is
  // required and none is left, throws (runtime, 2).
  bool Fill(bool required);
  uint8_t ReadU8() {
    if (cursor_ < bufferEnd_) {
      ++readPos_;
      return *cursor_++;
    }
    return ReadU8Slow();
  }
  uint16_t ReadU16BE();
  // A signed big-endian 16-bit value (the sfnt tables' short); fewer than
  // two bytes left throw (runtime, 2).
  int32_t ReadS16BE();
  // Reads `count` bytes, each zero-extended into the next word of `out`;
  // fewer bytes left throw (runtime, 2) before anything is consumed.
  void ReadBytesAsWords(uint32_t count, uint32_t* out);
  // Makes `count` bytes at the read position contiguous without advancing;
  // returns the contiguous bytes available there: at least `count` unless
  // the data ends first, 0 when none are left.
  uint32_t EnsureContiguous(uint32_t count);
  // As EnsureContiguous, but fewer than `count` bytes throw (runtime, 2).
  const uint8_t* RequireContiguous(uint32_t count);
  // The byte at the read position (valid after a successful Fill).
  const uint8_t* Cursor() const { return cursor_; }
  // Moves the read position forward by `count` bytes.
  void Advance(uint64_t count);
  // Copies up to `count` bytes out; returns how many were copied.
  size_t Read(uint8_t* out, size_t count);
  void Seek(uint64_t position);
  // Drops every buffered byte but keeps the read position, so that the next
  // read fetches fresh bytes from exactly there.
  void ResetBuffers();
  // Fetches one block ahead (once) to tell whether more data follows the
  // current buffer.
  bool HasReadAhead();
  bool AtEnd() { return !Fill(false); }
  uint64_t Position() const { return readPos_; }

  // True when a byte is left and it can start a number ("0"-"9", "+",
  // "-", "."); nothing is consumed.
  bool AtNumberStart();
  // Looks for `text` from the read position, trying at most `limit` start
  // positions' worth of bytes: true with the stream just past the match;
  // false (the stream after the positions tried) when the limit or the
  // data runs out first. An empty text matches at once.
  bool SkipPastString(std::string_view text, int64_t limit);
  // Consumes up to and including the next line end (CR, LF or CR LF).
  void SkipLineEnd();
  // Reads `count` big-endian fields of the given byte widths; a width of 0
  // yields 0 and reads nothing.
  void ReadFieldsBE(uint64_t* out, const int32_t* widths, size_t count);
  // An n-bit (n <= 32) big-endian value from the bit cursor.
  uint32_t ReadBits(uint32_t count);
  void AlignToByte() { bitCount_ = 0; }
  // A table of 16-bit samples from entries of `entrySize` (1 or 2) bytes.
  void ReadLutSamples16(uint16_t* out, size_t count, uint32_t entrySize);

 protected:
  // Where the next fetched block belongs in the stream.
  uint64_t NextFetchPosition() const { return nextFetchPosition_; }

 private:
  uint8_t ReadU8Slow();
  BlockRef FetchCounted();
  void LeaveSideBuffer();
  void GrowSideBuffer(uint32_t needed, uint32_t keep);
  void FreeSideBuffer();

  uint8_t* side_ = nullptr;
  uint32_t sideCapacity_ = 0;
  bool inSide_ = false;
  BlockRef current_;
  BlockRef readAhead_;
  uint64_t readPos_;
  uint64_t bufferEndPos_;
  uint64_t nextFetchPosition_;
  const uint8_t* bufferStart_ = nullptr;
  const uint8_t* cursor_ = nullptr;
  const uint8_t* bufferEnd_ = nullptr;
  // While the cursor runs in the side buffer: where the current block
  // resumes after it, and the block's end position.
  const uint8_t* blockResume_ = nullptr;
  const uint8_t* blockEnd_ = nullptr;
  uint64_t blockEndPos_ = 0;
  bool atEnd_ = false;
  uint64_t bitBuffer_ = 0;
  uint32_t bitCount_ = 0;
};

using DataStreamRef = Ref<DataStream>;

}  // namespace streams
