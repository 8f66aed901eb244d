#include "streams/DataBlock.h"

#include <algorithm>

#include "runtime/MemoryContext.h"

namespace streams {

HeapDataBlock::HeapDataBlock(LibraryContext* context, uint32_t size)
    : DataBlock(context, nullptr, 0),
      buffer_(static_cast<uint8_t*>(runtime::AllocOrThrow(context, size))),
      size_(size) {
  data_ = buffer_;
  count_ = size;
}

HeapDataBlock::~HeapDataBlock() {
  LibraryContext* owner = Context() != nullptr ? Context() : runtime::GetDefaultContext();
  owner->memory.Free(buffer_);
}

WindowBlock::WindowBlock(LibraryContext* context, BlockRef viewed, uint32_t offset,
                         uint32_t count)
    : DataBlock(context, viewed->Data() + offset, count), viewed_(std::move(viewed)) {}

BlockRef MakeEmptyBlock(LibraryContext* context) {
  return MakeRef<PlainBlock>(context, nullptr, 0u);
}

BlockRef MakePlainBlock(LibraryContext* context, const uint8_t* data, uint32_t count) {
  return MakeRef<PlainBlock>(context, data, count);
}

BlockRef MakeWindow(LibraryContext* context, const BlockRef& block, uint32_t offset,
                    uint64_t limit) {
  uint32_t count = CountOf(block);
  if (offset >= count || limit == 0) return MakeEmptyBlock(context);
  uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(count - offset, limit));
  if (offset == 0 && size == count) return block;
  return MakeRef<WindowBlock>(context, block, offset, size);
}

}  // namespace streams
