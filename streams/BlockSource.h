#pragma once
// A sequential producer of blocks: each fetch hands out the next block, and
// an empty block means the end. Once at its end a source keeps returning
// empty blocks until it is restarted.
#include <cstdint>

#include "streams/DataBlock.h"

namespace streams {

class BlockSource : public CountedObject {
 public:
  using CountedObject::CountedObject;

  virtual BlockRef FetchBlock() = 0;
  // Goes back to the start; filters pass the position on to their source.
  virtual void Restart(uint64_t position) = 0;
  virtual bool AtEnd() const = 0;
  virtual uint32_t MemorySize() const = 0;
};

using StreamRef = Ref<BlockSource>;

}  // namespace streams
