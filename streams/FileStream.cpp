#include "streams/FileStream.h"

#include <algorithm>
#include <cstring>

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
  Context()->memory.Free(run_);
}

void FileStream::EnsureUsable() {
  // A handle that no longer answers (the card was removed and reinserted,
  // for instance) is replaced by a fresh one on the same path.
  if (file_ != nullptr && platform::fseek(file_, 0, platform::kSeekCur) == 0) return;
  if (file_ != nullptr) platform::fclose(file_);
  filePosition_ = kUnknownPosition;
  file_ = platform::_wfopen(path_.c_str(), u"rb");
  if (file_ == nullptr) runtime::ThrowRuntime(runtime::kOverflow);
}

size_t FileStream::ReadRun(uint64_t pageOffset) {
  if (run_ == nullptr) run_ = static_cast<uint8_t*>(runtime::AllocOrThrow(Context(), kRunPages * kPageSize));
  const uint64_t room = std::min<uint64_t>(kRunPages * kPageSize, kReadLimit - pageOffset);
  if (filePosition_ != pageOffset) {
    filePosition_ = kUnknownPosition;
    ++seeks_;
    if (platform::fseek(file_, static_cast<int64_t>(pageOffset), platform::kSeekSet) != 0) {
      runtime::ThrowRuntime(runtime::kOverflow);
    }
  }
  ++fileReads_;
  const size_t got = platform::fread(run_, 1, static_cast<size_t>(room), file_);
  if (got < room && platform::ferror(file_) && !platform::feof(file_)) {
    filePosition_ = kUnknownPosition;
    runtime::ThrowRuntime(runtime::kOverflow);
  }
  // At the end of the file the position is only known while nothing failed.
  filePosition_ = got == room ? pageOffset + got : kUnknownPosition;
  return got;
}

Ref<HeapDataBlock> FileStream::PageFromRun(uint32_t index, size_t runBytes) {
  const size_t start = size_t{index} * kPageSize;
  const size_t count = runBytes > start ? std::min<size_t>(kPageSize, runBytes - start) : 0;
  Ref<HeapDataBlock> block = MakeRef<HeapDataBlock>(Context(), kPageSize);
  std::memcpy(block->Bytes(), run_ + start, count);
  block->SetCount(static_cast<uint32_t>(count));
  ++pageReads_;
  return block;
}

BlockRef FileStream::LoadPage(uint64_t pageOffset) {
  if (PageCache::Ref cached = pages_.FindRef(pageOffset)) return BlockRef(cached.Get());
  // The handle is checked only when the file is to be read.
  EnsureUsable();
  size_t runBytes = 0;
  PageCache::Ref page = pages_.Get(pageOffset, [&] {
    runBytes = ReadRun(pageOffset);
    Ref<HeapDataBlock> block = PageFromRun(0, runBytes);
    return PageCache::Built{PageCache::Ref::Adopt(Context(), block.Detach()), kPageCost};
  });
  // The pages after it that the run read and the cache lacks.
  for (uint32_t i = 1; size_t{i} * kPageSize < runBytes; ++i) {
    const uint64_t offset = pageOffset + uint64_t{i} * kPageSize;
    if (pages_.FindRef(offset)) continue;
    pages_.Get(offset, [&] {
      Ref<HeapDataBlock> block = PageFromRun(i, runBytes);
      return PageCache::Built{PageCache::Ref::Adopt(Context(), block.Detach()), kPageCost};
    });
  }
  return BlockRef(page.Get());
}

BlockRef FileStream::GetBlock(uint64_t offset) {
  if (offset >= kReadLimit) return MakeEmptyBlock(Context());
  uint64_t pageOffset = offset & ~uint64_t{kPageSize - 1};
  BlockRef page;
  // The C runtime's file calls are made on the main thread's stack, which
  // cooperative threads' small stacks hand them to.
  if (PageCache::Ref cached = pages_.FindRef(pageOffset)) {
    page = BlockRef(cached.Get());
  } else {
    runtime::RunOnMainStack(Context(), [&] { page = LoadPage(pageOffset); });
  }
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
  return 144 + pages_.Cache().Count() * kPageCost + (run_ != nullptr ? kRunPages * kPageSize : 0);
}

}  // namespace streams
