#include "streams/ConcatStream.h"

namespace streams {
namespace {

const uint8_t kSpace[1] = {0x20};

}  // namespace

ConcatStream::ConcatStream(LibraryContext* context, Ref<ConcatMembers> members, bool separator)
    : BlockSource(context), members_(std::move(members)), separator_(separator) {}

BlockRef ConcatStream::FetchBlock() {
  size_t count = members_->Count();
  while (index_ < count) {
    if (separatorDue_) {
      separatorDue_ = false;
      return MakePlainBlock(Context(), kSpace, 1);
    }
    if (!current_) current_ = members_->Open(index_);
    BlockRef block = current_->FetchBlock();
    if (CountOf(block) > 0) return block;
    // An empty block ends this member only; the next one follows.
    current_.Reset();
    ++index_;
    separatorDue_ = separator_ && index_ < count;
  }
  return MakeEmptyBlock(Context());
}

void ConcatStream::Restart(uint64_t) {
  current_.Reset();
  index_ = 0;
  separatorDue_ = false;
}

bool ConcatStream::AtEnd() const { return index_ >= members_->Count(); }

uint32_t ConcatStream::MemorySize() const {
  return 64 + (current_ ? current_->MemorySize() : 0);
}

}  // namespace streams
