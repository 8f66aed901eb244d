#pragma once
// The file on disk as a data source. Bytes are served from a cache of
// 4096-byte pages at multiples of 4096, so that re-reading cross-reference
// data and objects does not touch the file again. A miss reads a run of
// pages in one call into a buffer kept for the purpose, and seeks only when
// the file is not already where the run starts.
#include <string>

#include "platform/FileIo.h"
#include "runtime/ObjectCache.h"
#include "streams/DataBlock.h"
#include "streams/DataSource.h"

namespace streams {

class FileStream final : public DataSource {
 public:
  // Files are read below this offset only.
  static constexpr uint64_t kReadLimit = uint64_t{1} << 31;
  static constexpr uint32_t kPageSize = 4096;
  // What a cached page costs: its bytes and its valid length.
  static constexpr uint32_t kPageCost = kPageSize + 8;
  // Pages read by one call on a miss.
  static constexpr uint32_t kRunPages = 16;

  // Opens the file named by a device path; (runtime, 1) when it cannot.
  static Ref<FileStream> Open(LibraryContext* context, const char16_t* path);

  FileStream(LibraryContext* context, platform::FileHandle* file, std::u16string path);
  ~FileStream() override;

  BlockRef GetBlock(uint64_t offset) override;
  uint64_t Length() override;
  uint32_t MemorySize() const override;
  // Pages read from the file so far (for tests and the probe).
  uint64_t PageReads() const { return pageReads_; }
  // Calls that read the file (each reads a run of pages), and seeks.
  uint64_t FileReads() const { return fileReads_; }
  uint64_t Seeks() const { return seeks_; }

 private:
  // Pages by file offset, in a cost cache of the context, so that memory
  // pressure can drop them.
  using PageCache = runtime::ObjectCache<DataBlock, uint64_t, BlockCount>;

  void EnsureUsable();
  BlockRef LoadPage(uint64_t pageOffset);
  // Reads up to kRunPages pages from `pageOffset` into the run buffer;
  // the number of bytes read.
  size_t ReadRun(uint64_t pageOffset);
  Ref<HeapDataBlock> PageFromRun(uint32_t index, size_t runBytes);

  platform::FileHandle* file_;
  std::u16string path_;
  PageCache pages_;
  uint64_t pageReads_ = 0;
  uint64_t fileReads_ = 0;
  uint64_t seeks_ = 0;
  uint8_t* run_ = nullptr;  // kRunPages pages, from the context
  // Where the file handle stands; kUnknownPosition after a failure or a
  // reopen.
  static constexpr uint64_t kUnknownPosition = ~uint64_t{0};
  uint64_t filePosition_ = kUnknownPosition;
};

}  // namespace streams
