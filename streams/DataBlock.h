#pragma once
// The counted block of bytes through which all stream data passes. A block
// of count 0 means the end of the data. Blocks are never copied between
// layers: a window onto part of a block holds a reference to the block it
// views.
#include <cstdint>

#include "streams/CountedObject.h"

namespace streams {

// Filter output and file pages are handed out in blocks of at most this.
inline constexpr uint32_t kBlockCapacity = 4096;

class DataBlock : public CountedObject {
 public:
  const uint8_t* Data() const { return data_; }
  uint32_t Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  // Bytes the block accounts for, for the caches' cost accounting.
  virtual uint32_t MemorySize() const = 0;

 protected:
  DataBlock(LibraryContext* context, const uint8_t* data, uint32_t count)
      : CountedObject(context), data_(data), count_(count) {}

  const uint8_t* data_;
  uint32_t count_;
};

using BlockRef = Ref<DataBlock>;

// The count policy under which the cost caches hold blocks.
struct BlockCount {
  static void CountUp(DataBlock* block) { block->AddRef(); }
  static bool CountDown(DataBlock* block) { return block->DropRef(); }
  static uint32_t Count(const DataBlock* block) { return block->RefCount(); }
  static void Destroy(LibraryContext*, DataBlock* block) {
    runtime::DestroyAndFree(block->Context(), block);
  }
};

// A block over bytes that another owner keeps alive; with no bytes it is
// the empty block.
class PlainBlock final : public DataBlock {
 public:
  PlainBlock(LibraryContext* context, const uint8_t* data, uint32_t count)
      : DataBlock(context, data, count) {}
  uint32_t MemorySize() const override { return sizeof(PlainBlock); }
};

// Room for a full block in the same allocation as its header; filters
// decode straight into it.
class InlineBlock final : public DataBlock {
 public:
  explicit InlineBlock(LibraryContext* context) : DataBlock(context, bytes_, 0) {}
  uint8_t* Bytes() { return bytes_; }
  void SetCount(uint32_t count) { count_ = count; }
  uint32_t MemorySize() const override { return sizeof(InlineBlock); }

 private:
  uint8_t bytes_[kBlockCapacity];
};

// A block that owns a separately allocated buffer of `size` bytes.
class HeapDataBlock final : public DataBlock {
 public:
  HeapDataBlock(LibraryContext* context, uint32_t size);
  ~HeapDataBlock() override;
  uint8_t* Bytes() { return buffer_; }
  void SetCount(uint32_t count) { count_ = count; }
  uint32_t MemorySize() const override { return 60 + size_; }

 private:
  uint8_t* buffer_;
  uint32_t size_;
};

// A view of part of another block, which it keeps alive.
class WindowBlock final : public DataBlock {
 public:
  WindowBlock(LibraryContext* context, BlockRef viewed, uint32_t offset, uint32_t count);
  uint32_t MemorySize() const override { return sizeof(WindowBlock); }

 private:
  BlockRef viewed_;
};

// Every fetch at or past the end of data returns a fresh empty block.
BlockRef MakeEmptyBlock(LibraryContext* context);
// A block over borrowed bytes.
BlockRef MakePlainBlock(LibraryContext* context, const uint8_t* data, uint32_t count);
// A window of `block` from `offset` for at most `limit` bytes; an empty
// block when nothing is left.
BlockRef MakeWindow(LibraryContext* context, const BlockRef& block, uint32_t offset,
                    uint64_t limit = UINT64_MAX);

inline uint32_t CountOf(const BlockRef& block) { return block ? block->Count() : 0; }

}  // namespace streams
