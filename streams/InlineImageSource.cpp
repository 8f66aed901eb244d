#include "streams/InlineImageSource.h"

#include <cstring>

namespace streams {

BlockRef InlineImageSource::FetchBlock() {
  content_->Advance(handedOut_);
  handedOut_ = 0;
  uint32_t available = content_->EnsureContiguous(2);
  if (available == 0) return MakeEmptyBlock(Context());
  const uint8_t* bytes = content_->Cursor();
  uint32_t count = available;
  if (available > 1) {
    // Cut before the first "E" from the second byte on.
    if (const void* found = std::memchr(bytes + 1, 'E', available - 1)) {
      count = static_cast<uint32_t>(static_cast<const uint8_t*>(found) - bytes);
    }
  }
  Ref<HeapDataBlock> block = MakeRef<HeapDataBlock>(Context(), count);
  std::memcpy(block->Bytes(), bytes, count);
  handedOut_ = count;
  return block;
}

bool InlineImageSource::AtEnd() const {
  // Anything past the bytes handed out so far?
  return content_->EnsureContiguous(handedOut_ + 1) <= handedOut_;
}

}  // namespace streams
