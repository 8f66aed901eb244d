#include "streams/InlineImageSource.h"

#include <cstring>

namespace streams {
namespace {

bool IsWhiteSpaceByte(uint8_t byte) {
  return byte == 0 || byte == 9 || byte == 10 || byte == 12 || byte == 13 || byte == 32;
}

bool IsTokenEndByte(uint8_t byte) {
  return IsWhiteSpaceByte(byte) || std::strchr("()<>[]{}/%", byte) != nullptr;
}

}  // namespace

InlineImageSource::~InlineImageSource() {
  // The bytes of the last block are buffered in the content stream, so
  // this only moves its cursor.
  content_->Advance(handedOut_);
}

bool InlineImageSource::AtEndKeyword() const {
  if (!IsWhiteSpaceByte(lastByte_)) return false;
  const uint32_t available = content_->EnsureContiguous(3);
  if (available < 2) return false;
  const uint8_t* bytes = content_->Cursor();
  return bytes[0] == 'E' && bytes[1] == 'I' && (available == 2 || IsTokenEndByte(bytes[2]));
}

BlockRef InlineImageSource::FetchBlock() {
  content_->Advance(handedOut_);
  handedOut_ = 0;
  if (remaining_ == 0 || (stopAtKeyword_ && AtEndKeyword())) return MakeEmptyBlock(Context());
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
  if (count > remaining_) count = static_cast<uint32_t>(remaining_);
  remaining_ -= count;
  Ref<HeapDataBlock> block = MakeRef<HeapDataBlock>(Context(), count);
  std::memcpy(block->Bytes(), bytes, count);
  handedOut_ = count;
  lastByte_ = bytes[count - 1];
  return block;
}

bool InlineImageSource::AtEnd() const {
  if (remaining_ == 0 || (stopAtKeyword_ && handedOut_ == 0 && AtEndKeyword())) return true;
  // Anything past the bytes handed out so far?
  return content_->EnsureContiguous(handedOut_ + 1) <= handedOut_;
}

}  // namespace streams
