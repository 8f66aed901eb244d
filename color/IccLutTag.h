#pragma once
// Base of the lookup-table tags of a profile (A2Bn, B2An): the legacy
// "mft1"/"mft2" tables and the "mAB "/"mBA " element chains.
#include <cstdint>

#include "runtime/ErrorTrap.h"
#include "streams/CountedObject.h"
#include "streams/DataSource.h"
#include "streams/DataStream.h"

namespace color {

class IccLutTag : public streams::CountedObject {
 public:
  static constexpr uint32_t kMaxChannels = 4;
  // The most CLUT samples a tag may hold (16 MiB of 16.16 samples), far
  // beyond any real profile and well inside what the limits allow.
  static constexpr uint64_t kMaxClutSamples = uint64_t{1} << 22;

  using CountedObject::CountedObject;

  virtual bool IsLegacyLut() const = 0;
  virtual uint32_t MemorySize() const = 0;
  virtual bool IsLut8OrAToB() const = 0;

  uint64_t tagStart = 0;
  uint32_t inputs = 0;
  uint32_t outputs = 0;

 protected:
  // Reads the two channel counts (one byte each): 0 is malformed, more
  // than 4 unsupported.
  void ReadChannelCounts(streams::DataStream& stream) {
    tagStart = stream.Position() - 8;
    inputs = stream.ReadU8();
    outputs = stream.ReadU8();
    if (inputs == 0 || outputs == 0) runtime::ThrowRuntime(runtime::kMalformed);
    if (inputs > kMaxChannels || outputs > kMaxChannels) runtime::ThrowRuntime(runtime::kUnsupported);
  }
};

// outputs x product of the grid counts, counted in 64 bits; refused
// (runtime, 2) when the samples cannot fit in the tag's bytes or pass the
// cap, before anything is allocated.
uint32_t ClutSampleCount(const uint32_t* grid, uint32_t inputs, uint32_t outputs, uint32_t sampleSize,
                         uint64_t bytesAvailable);

}  // namespace color
