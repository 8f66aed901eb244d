#pragma once
// "FlateDecode" over zlib's inflate. zlib's memory comes from the memory
// context and is counted per filter, so that caches holding a decoder see
// its state. Corrupt or truncated data ends the data quietly where it
// went wrong; only exhausted memory is an error.
#include <zlib.h>

#include "streams/FilterBase.h"

namespace streams {

class FlateFilter final : public FilterBase {
 public:
  // Throws (runtime, 0) when zlib runs out of memory while starting and
  // (runtime, 1) when it refuses to start for any other reason.
  FlateFilter(LibraryContext* context, StreamRef source);
  ~FlateFilter() override;

  uint32_t Decode(uint8_t* buffer, uint32_t capacity) override;
  void Restart(uint64_t position) override;
  uint32_t MemorySize() const override;

 private:
  static voidpf ZlibAlloc(voidpf opaque, uInt items, uInt size);
  static void ZlibFree(voidpf opaque, voidpf address);

  z_stream stream_{};
  uint64_t zlibBytes_ = 0;
};

}  // namespace streams
