#pragma once
// A glyph's coverage: one byte per device pixel over its device box, row
// by row from y0, 255 meaning full coverage. It is the glyph bitmap record
// the raster text side reads (origin 0: the box is relative to the glyph
// origin's whole pixel), so cached records go to it as they are.
#include <cstddef>
#include <cstdint>

#include "runtime/FontBase.h"

namespace fonts {

struct CoverageRecord : runtime::GlyphBitmapRecord {
  uint8_t At(int32_t x, int32_t y) const {
    if (x < x0 || x >= x1 || y < y0 || y >= y1) return 0;
    return Coverage()[static_cast<size_t>(y - y0) * static_cast<size_t>(Width()) +
                      static_cast<size_t>(x - x0)];
  }
};
static_assert(sizeof(CoverageRecord) == sizeof(runtime::GlyphBitmapRecord), "coverage follows the record");

}  // namespace fonts
