#pragma once
// A random-access byte store: asked for the bytes at an offset, it hands
// out one block that starts there (an empty block at or past the end).
#include <cstdint>
#include <span>

#include "streams/DataBlock.h"

namespace streams {

struct ByteRange {
  uint64_t start = 0;
  uint64_t end = 0;
};

class DataSource : public CountedObject {
 public:
  using CountedObject::CountedObject;

  virtual BlockRef GetBlock(uint64_t offset) = 0;
  virtual uint64_t Length() = 0;
  // A hint of the ranges that will be read next; the sources here only
  // drop it.
  virtual void RequestRanges(std::span<const ByteRange>) {}
  virtual uint32_t MemorySize() const = 0;
};

using DataStoreRef = Ref<DataSource>;

}  // namespace streams
