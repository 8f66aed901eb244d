#pragma once
// Small values the raster tests share: whole pixels in fixed point and the
// 32-bit BGRX pixel layout most host bitmaps use.
#include "runtime/Fixed.h"
#include "runtime/PixelBuffer.h"

namespace rastertest {

constexpr runtime::Fixed I(int v) { return v * runtime::kFixedOne; }

inline const runtime::PixelFormatDesc kBgrx{3, 2, -1, 4, 0, 1, 0};

}  // namespace rastertest
