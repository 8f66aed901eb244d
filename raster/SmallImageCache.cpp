#include "raster/SmallImageCache.h"

#include <algorithm>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "streams/DataBlock.h"

namespace raster {

SmallImageData::SmallImageData(runtime::LibraryContext* context, uint32_t size)
    : context_(context),
      bytes_(static_cast<uint8_t*>(runtime::AllocOrThrow(context, size == 0 ? 1 : size))),
      size_(size) {}

SmallImageData::~SmallImageData() { context_->memory.Free(bytes_); }

void SmallImageData::Load(streams::BlockSource& stream) {
  uint32_t copied = 0;
  while (copied < size_) {
    streams::BlockRef block = stream.FetchBlock();
    const uint32_t count = block ? block->Count() : 0;
    if (count == 0) runtime::ThrowRuntime(runtime::kMalformed);
    const uint32_t take = std::min(count, size_ - copied);
    std::memcpy(bytes_ + copied, block->Data(), take);
    copied += take;
  }
}

}  // namespace raster
