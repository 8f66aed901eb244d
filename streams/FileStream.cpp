#include "streams/FileStream.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace streams {

Ref<FileStream> FileStream::Open(LibraryContext* context, const char16_t* path) {
  platform::FileHandle* file = platform::_wfopen(path, u"rb");
  if (file == nullptr) runtime::ThrowRuntime(runtime::kOverflow);
  // The handle must not leak if building the stream object fails.
  struct HandleGuard {
    platform::FileHandle* file;
    ~HandleGuard() {
      if (file != nullptr) platform::fclose(file);
    }
  } guard{file};
  Ref<FileStream> stream = MakeRef<FileStream>(context, file, std::u16string(path));
  guard.file = nullptr;
  return stream;
}

FileStream::FileStream(LibraryContext* context, platform::FileHandle* file, std::u16string path)
    : DataSource(context), file_(file), path_(std::move(path)), pages_(context) {}

FileStream::~FileStream() {
  if (file_ != nullptr) platform::fclose(file_);
}

void FileStream::EnsureUsable() {
  // A handle that no longer answers (the card was removed and reinserted,
  // for instance) is replaced by a fresh one on the same path.
  if (file_ != nullptr && platform::fseek(file_, 0, platform::kSeekCur) == 0) return;
  if (file_ != nullptr) platform::fclose(file_);
  file_ = platform::_wfopen(path_.c_str(), u"rb");
  if (file_ == nullptr) runtime::ThrowRuntime(runtime::kOverflow);
}

BlockRef FileStream::LoadPage(uint64_t pageOffset) {
  PageCache::Ref page = pages_.Get(pageOffset, [&] {
    Ref<HeapDataBlock> block = MakeRef<HeapDataBlock>(Context(), kPageSize);
    if (platform::fseek(file_, static_cast<int64_t>(pageOffset), platform::kSeekSet) != 0) {
      runtime::ThrowRuntime(runtime::kOverflow);
    }
    size_t got = platform::fread(block->Bytes(), 1, kPageSize, file_);
    if (got < kPageSize && platform::ferror(file_) && !platform::feof(file_)) {
      runtime::ThrowRuntime(runtime::kOverflow);
    }
    ++pageReads_;
    block->SetCount(static_cast<uint32_t>(got));
    return PageCache::Built{PageCache::Ref::Adopt(Context(), block.Detach()), kPageCost};
  });
  return BlockRef(page.Get());
}

BlockRef FileStream::GetBlock(uint64_t offset) {
  if (offset >= kReadLimit) return MakeEmptyBlock(Context());
  uint64_t pageOffset = offset & ~uint64_t{kPageSize - 1};
  BlockRef page;
  // The C runtime's file calls are made on the main thread's stack, which
  // cooperative threads' small stacks hand them to.
  runtime::RunOnMainStack(Context(), [&] {
    EnsureUsable();
    page = LoadPage(pageOffset);
  });
  return MakeWindow(Context(), page, static_cast<uint32_t>(offset - pageOffset));
}

uint64_t FileStream::Length() {
  uint64_t size = 0;
  runtime::RunOnMainStack(Context(), [&] {
    EnsureUsable();
    if (!platform::GetFileSize64(file_, &size)) runtime::ThrowRuntime(runtime::kOverflow);
  });
  return std::min(size, kReadLimit);
}

uint32_t FileStream::MemorySize() const {
  return 144 + pages_.Cache().Count() * kPageCost;
}

}  // namespace streams
