#pragma once
// The zoom dialog's preset percentages and the arithmetic between the
// page view's zoom factor and the percentages the dialog shows.
#include <cstdint>

#include "runtime/Fixed.h"

namespace viewer {

inline constexpr uint32_t kZoomPresetCount = 20;
inline constexpr int32_t kZoomPresets[kZoomPresetCount] = {
    8, 16, 25, 33, 50, 75, 100, 125, 150, 200, 250, 300, 350, 400, 500, 600, 700, 800, 900, 1000};
// The percentages a user can choose: 1 % up to the largest preset.
inline constexpr int32_t kMinZoomPercent = 1;
inline constexpr int32_t kMaxZoomPercent = 1000;

// The zoom factor as a whole percentage, rounded to the nearest; 32768 for
// a factor too large to show, at least 1.
int32_t ZoomPercent(runtime::Fixed zoom);
// The preset to select for `percent`: the nearest one, the larger when two
// are equally near; the last when `percent` is above every preset.
uint32_t SelectZoomPreset(int32_t percent);
// The factor for a chosen percentage, taken within 1..1000 so that the
// conversion cannot overflow.
runtime::Fixed ZoomFromPercent(int32_t percent);

}  // namespace viewer
