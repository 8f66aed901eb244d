#pragma once
// A table of 16.16 samples read from profile data, now or on first use.
// A large table is only recorded (source, position, sample size) and the
// stream moves past it; Samples() reads it when first asked.
#include <cstdint>

#include "color/ContextArray.h"
#include "runtime/Fixed.h"
#include "streams/DataSource.h"
#include "streams/DataStream.h"

namespace color {

using runtime::Fixed;

class SampleTable {
 public:
  // Tables up to this many samples are read at once.
  static constexpr uint32_t kImmediateCapacity = 4096;

  // Reads `count` samples of `sampleSize` bytes (1 or 2) at the stream's
  // position, or defers them when the count exceeds `capacity` and a source
  // to read them from later is given. The stream ends after the samples.
  void Read(runtime::LibraryContext* context, streams::DataStream& stream, const streams::DataStoreRef& source,
            uint32_t count, uint32_t sampleSize, uint32_t capacity = kImmediateCapacity);
  // Takes samples already in 16.16.
  void Assign(runtime::LibraryContext* context, const Fixed* samples, uint32_t count);

  // The samples, read first when deferred.
  const Fixed* Samples();
  uint32_t Count() const { return count_; }
  bool IsDeferred() const { return deferred_; }
  uint32_t MemorySize() const { return 32 + count_ * 4; }

 private:
  void ReadNow(runtime::LibraryContext* context, streams::DataStream& stream);

  ContextArray<Fixed> samples_;
  uint32_t count_ = 0;
  bool deferred_ = false;
  uint8_t sampleSize_ = 2;
  runtime::LibraryContext* context_ = nullptr;
  streams::DataStoreRef source_;
  uint64_t position_ = 0;
};

}  // namespace color
