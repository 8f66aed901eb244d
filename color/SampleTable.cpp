#include "color/SampleTable.h"

#include <algorithm>

#include "color/IccReads.h"
#include "runtime/ErrorTrap.h"
#include "streams/SubRangeStream.h"

namespace color {

void SampleTable::Read(runtime::LibraryContext* context, streams::DataStream& stream,
                       const streams::DataStoreRef& source, uint32_t count, uint32_t sampleSize,
                       uint32_t capacity) {
  if (sampleSize != 1 && sampleSize != 2) runtime::ThrowRuntime(runtime::kMalformed);
  context_ = context;
  count_ = count;
  sampleSize_ = static_cast<uint8_t>(sampleSize);
  if (count > capacity && source) {
    samples_.Free();
    deferred_ = true;
    source_ = source;
    position_ = stream.Position();
    stream.Seek(position_ + uint64_t{count} * sampleSize);
    return;
  }
  deferred_ = false;
  ReadNow(context, stream);
}

void SampleTable::Assign(runtime::LibraryContext* context, const Fixed* samples, uint32_t count) {
  samples_.CopyFrom(context, samples, count);
  count_ = count;
  deferred_ = false;
  source_.Reset();
}

void SampleTable::ReadNow(runtime::LibraryContext* context, streams::DataStream& stream) {
  samples_.Allocate(context, count_);
  Fixed* out = samples_.Data();
  uint32_t remaining = count_;
  while (remaining != 0) {
    uint32_t take = std::min<uint32_t>(remaining, 2048);
    const uint8_t* p = stream.RequireContiguous(take * sampleSize_);
    if (sampleSize_ == 1) {
      for (uint32_t i = 0; i < take; ++i) *out++ = Sample8ToFixed(p[i]);
    } else {
      for (uint32_t i = 0; i < take; ++i) *out++ = Sample16ToFixed((uint32_t{p[2 * i]} << 8) | p[2 * i + 1]);
    }
    stream.Advance(uint64_t{take} * sampleSize_);
    remaining -= take;
  }
}

const Fixed* SampleTable::Samples() {
  if (deferred_) {
    auto stream = streams::MakeRef<streams::SubRangeStream>(context_, source_, position_);
    ReadNow(context_, *stream);
    source_.Reset();
    deferred_ = false;
  }
  return samples_.Data();
}

}  // namespace color
