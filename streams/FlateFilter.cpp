#include "streams/FlateFilter.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace streams {
namespace {

// zlib results as the filter sees them: 0 go on, 1 the data has ended.
int CheckZlibResult(int result) {
  if (result == Z_MEM_ERROR) runtime::ThrowRuntime(runtime::kOutOfMemory);
  if (result == Z_OK) return 0;
  // The end of the stream, a data error, a missing dictionary and a
  // stalled stream all end the data without an error.
  return 1;
}

void CheckStart(int result) {
  if (result == Z_OK) return;
  runtime::ThrowRuntime(result == Z_MEM_ERROR ? runtime::kOutOfMemory : runtime::kOverflow);
}

}  // namespace

voidpf FlateFilter::ZlibAlloc(voidpf opaque, uInt items, uInt size) {
  auto* filter = static_cast<FlateFilter*>(opaque);
  uint64_t bytes = uint64_t{items} * size;
  if (bytes > UINT32_MAX) return Z_NULL;
  void* block = filter->Context()->memory.Allocate(static_cast<size_t>(bytes));
  if (block != nullptr) filter->zlibBytes_ += runtime::MemoryContext::BlockSize(block);
  return block;
}

void FlateFilter::ZlibFree(voidpf opaque, voidpf address) {
  auto* filter = static_cast<FlateFilter*>(opaque);
  if (address == nullptr) return;
  filter->zlibBytes_ -= std::min<uint64_t>(filter->zlibBytes_, runtime::MemoryContext::BlockSize(address));
  filter->Context()->memory.Free(address);
}

FlateFilter::FlateFilter(LibraryContext* context, StreamRef source)
    : FilterBase(context, std::move(source)) {
  stream_.zalloc = &ZlibAlloc;
  stream_.zfree = &ZlibFree;
  stream_.opaque = this;
  stream_.next_in = Z_NULL;
  stream_.avail_in = 0;
  // The library's own macro passes the version and record size it was
  // built with.
  int result = inflateInit(&stream_);
  if (result != Z_OK) {
    inflateEnd(&stream_);
    CheckStart(result);
  }
}

FlateFilter::~FlateFilter() { inflateEnd(&stream_); }

void FlateFilter::Restart(uint64_t position) {
  FilterBase::Restart(position);
  CheckStart(inflateReset(&stream_));
}

uint32_t FlateFilter::MemorySize() const {
  uint64_t size = FilterBase::MemorySize() + sizeof(*this) - sizeof(FilterBase) + zlibBytes_;
  return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

uint32_t FlateFilter::Decode(uint8_t* buffer, uint32_t capacity) {
  stream_.next_out = buffer;
  stream_.avail_out = capacity;
  while (stream_.avail_out > 0) {
    if (sourceCursor_ == sourceEnd_) RefillSource();
    stream_.next_in = const_cast<Bytef*>(sourceCursor_);
    stream_.avail_in = static_cast<uInt>(sourceEnd_ - sourceCursor_);
    int result = inflate(&stream_, Z_SYNC_FLUSH);
    sourceCursor_ = stream_.next_in;
    if (CheckZlibResult(result) == 1) {
      end_ = true;
      break;
    }
  }
  return capacity - stream_.avail_out;
}

}  // namespace streams
