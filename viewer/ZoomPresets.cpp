#include "viewer/ZoomPresets.h"

#include <algorithm>

namespace viewer {

int32_t ZoomPercent(runtime::Fixed zoom) {
  const int64_t product = int64_t{zoom} * 100;
  const int64_t percent = product < 0x7FFF8000 ? (product + 0x8000) >> 16 : 32768;
  return static_cast<int32_t>(std::max<int64_t>(percent, 1));
}

uint32_t SelectZoomPreset(int32_t percent) {
  uint32_t index = 0;
  while (index < kZoomPresetCount && kZoomPresets[index] < percent) ++index;
  if (index == kZoomPresetCount) return kZoomPresetCount - 1;
  if (index > 0 && kZoomPresets[index] - percent > percent - kZoomPresets[index - 1]) --index;
  return index;
}

runtime::Fixed ZoomFromPercent(int32_t percent) {
  const int32_t v = std::clamp(percent, kMinZoomPercent, kMaxZoomPercent);
  return runtime::FixedDiv(v << 16, 100 << 16);
}

}  // namespace viewer
