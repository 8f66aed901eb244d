#include "runtime/ByteBuffer.h"

#include <cstring>
#include <utility>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {

ByteBuffer::ByteBuffer(LibraryContext* context, void* owner, uint32_t n)
    : owner_(owner), context_(context) {
  node_.Register(context, &Cleanup);
  if (n != 0) begin_ = static_cast<uint8_t*>(AllocOrThrow(context, n));
  cursor_ = begin_;
  end_ = begin_ != nullptr ? begin_ + n : nullptr;
}

void ByteBuffer::MakeFull(uint32_t n) {
  ByteBuffer fresh(context_, owner_, n);
  fresh.cursor_ = fresh.end_;
  Swap(fresh);  // the temporary takes the old storage and frees it
}

void ByteBuffer::Write(const void* bytes, uint32_t n) {
  if (n > static_cast<uint32_t>(end_ - cursor_)) ThrowRuntime(kOverflow);
  if (n == 0) return;
  std::memcpy(cursor_, bytes, n);
  cursor_ += n;
}

void ByteBuffer::Cleanup(CleanupNode* node) { reinterpret_cast<ByteBuffer*>(node)->Release(); }

void ByteBuffer::Release() {
  if (begin_ != nullptr) {
    LibraryContext* context = context_ != nullptr ? context_ : GetDefaultContext();
    context->memory.Free(begin_);
  }
  begin_ = cursor_ = end_ = nullptr;
  node_.Unlink();
}

void ByteBuffer::Swap(ByteBuffer& other) {
  std::swap(begin_, other.begin_);
  std::swap(cursor_, other.cursor_);
  std::swap(end_, other.end_);
}

}  // namespace runtime
