#pragma once
// Rows of finished device pixels (4 bytes: blue, green, red, unused) written
// into a host bitmap of any pixel kind: RGB565 through the 2×2 ordered
// dither, 24 and 32 bits as they are. The dither phase follows a position
// of the writer's choosing (the pixel's place in the page), so that parts
// of one picture written at different times dither as one.
#include <cstdint>

#include "raster/HostSpanConverter.h"
#include "raster/OutputConverter565.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/HostBitmap.h"

namespace raster {

class HostRowWriter {
 public:
  // The converter of `kind` comes from `arena`, which must outlive the
  // writer. A kind outside 1 to 5 writes nothing.
  HostRowWriter(runtime::ArenaAllocator& arena, int32_t kind);

  bool Writes() const { return to565_ != nullptr || to888_ != nullptr; }

  // Writes `count` rows of `width` pixels (row k at first + k × rowStep)
  // to (x, y) of `layout`, cut to the layout. Source pixel (i, k) dithers
  // as position (phaseX + i, phaseY + k).
  void Write(const runtime::HostPixelLayout& layout, int32_t x, int32_t y, int32_t width, int32_t count,
             const uint8_t* first, int64_t rowStep, int32_t phaseX, int32_t phaseY) const;

 private:
  int32_t kind_;
  const OutputConverter565* to565_ = nullptr;
  const HostSpanConverter* to888_ = nullptr;
};

}  // namespace raster
