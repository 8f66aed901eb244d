#pragma once
// A glyph's coverage: one byte per device pixel over its device box, row
// by row from y0, 255 meaning full coverage.
#include <cstddef>
#include <cstdint>

namespace fonts {

struct CoverageRecord {
  uint32_t glyph = 0;
  uint32_t phase = 0;  // x phase in bits 0-7, y phase in bits 8-15
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  int32_t Width() const { return x1 - x0; }
  int32_t Height() const { return y1 - y0; }
  uint8_t* Coverage() { return reinterpret_cast<uint8_t*>(this + 1); }
  const uint8_t* Coverage() const { return reinterpret_cast<const uint8_t*>(this + 1); }
  uint8_t At(int32_t x, int32_t y) const {
    if (x < x0 || x >= x1 || y < y0 || y >= y1) return 0;
    return Coverage()[static_cast<size_t>(y - y0) * static_cast<size_t>(Width()) +
                      static_cast<size_t>(x - x0)];
  }
};

}  // namespace fonts
