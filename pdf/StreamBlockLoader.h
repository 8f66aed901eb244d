#pragma once
// Reads a byte range of a document's data into its arena, for the parts of
// a file that are read whole (hint tables, cross-reference sections, page
// objects of a progressive download).
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "streams/DataSource.h"
#include "streams/DataStream.h"

namespace pdf {

class StreamBlockLoader {
 public:
  explicit StreamBlockLoader(runtime::ArenaAllocator& arena) : arena_(arena) {}

  // Seeks `stream` to the range's start and reads the range into a block
  // of the arena whose size is the range's length rounded up to 8; what the
  // stream could not supply and the rounding are zero. `*read` (may be
  // null) is set to the bytes read. (runtime, 2) for a range that ends
  // before it starts, (runtime, 6) for one of 4 GB or more.
  const uint8_t* Load(streams::DataStream& stream, const streams::ByteRange& range,
                      uint32_t* read = nullptr);

 private:
  runtime::ArenaAllocator& arena_;
};

}  // namespace pdf
