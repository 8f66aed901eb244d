#include "streams/FilterBase.h"

namespace streams {

FilterBase::FilterBase(LibraryContext* context, StreamRef source)
    : BlockSource(context), source_(std::move(source)) {}

bool FilterBase::RefillSource() {
  if (sourceDone_) return false;
  sourceBlock_ = source_->FetchBlock();
  uint32_t count = CountOf(sourceBlock_);
  if (count == 0) {
    sourceDone_ = true;
    sourceBlock_.Reset();
    sourceCursor_ = sourceEnd_ = nullptr;
    return false;
  }
  sourceCursor_ = sourceBlock_->Data();
  sourceEnd_ = sourceCursor_ + count;
  return true;
}

BlockRef FilterBase::FillBlock() {
  if (end_ && StopAtEnd()) return MakeEmptyBlock(Context());
  Ref<InlineBlock> block = MakeRef<InlineBlock>(Context());
  uint8_t* out = block->Bytes();
  uint32_t count = 0;
  for (;;) {
    if (heldBack_ >= 0) {
      out[0] = static_cast<uint8_t>(heldBack_);
      heldBack_ = -1;
      count = 1 + Decode(out + 1, kBlockCapacity - 1);
    } else {
      count = Decode(out, kBlockCapacity);
    }
    if (end_) break;
    if (count == 1) {
      heldBack_ = out[0];
      continue;
    }
    if (count > 1) break;
  }
  if (!end_) {
    --count;
    heldBack_ = out[count];
  }
  block->SetCount(count);
  return block;
}

void FilterBase::Restart(uint64_t position) {
  source_->Restart(position);
  sourceBlock_.Reset();
  sourceCursor_ = sourceEnd_ = nullptr;
  heldBack_ = -1;
  end_ = false;
  sourceDone_ = false;
}

uint32_t FilterBase::MemorySize() const {
  uint32_t size = 88 + source_->MemorySize();
  if (sourceBlock_) size += sourceBlock_->MemorySize();
  return size;
}

}  // namespace streams
