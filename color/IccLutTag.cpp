#include "color/IccLutTag.h"

namespace color {

uint32_t ClutSampleCount(const uint32_t* grid, uint32_t inputs, uint32_t outputs, uint32_t sampleSize,
                         uint64_t bytesAvailable) {
  uint64_t count = outputs;
  for (uint32_t i = 0; i < inputs; ++i) {
    count *= grid[i];
    if (count > IccLutTag::kMaxClutSamples) runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (count * sampleSize > bytesAvailable) runtime::ThrowRuntime(runtime::kMalformed);
  return static_cast<uint32_t>(count);
}

}  // namespace color
