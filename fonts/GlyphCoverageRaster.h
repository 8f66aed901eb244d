#pragma once
// Anti-aliased coverage of a glyph outline by exact area: every line
// segment adds its signed area to the pixels it crosses, and a running sum
// along each row gives the covered fraction of every pixel. Coverage is
// the magnitude of the winding area clamped to one, so overlapping
// contours of the same direction stay solid (non-zero), and thin features
// keep their true weight instead of growing by a sub-pixel on each side.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace fonts {

class GlyphCoverageRaster {
 public:
  // Largest distance, in pixels, between a curve and its flattening: a
  // tenth of a pixel, about what common glyph rasterisers allow, so that
  // small round dots keep the weight readers are used to.
  static constexpr double kFlatness = 0.1;

  // Writes the coverage of `points` (glyph point list) placed by
  // `placement` into `out`, one byte per pixel of `box`, rows from the top.
  // Work memory comes from `scratch`; every segment charges the work budget.
  static void Fill(runtime::LibraryContext* context,
                   const runtime::ArenaVector<runtime::FixedPoint>& points,
                   const runtime::Matrix& placement, const runtime::IntRect& box, uint8_t* out,
                   runtime::ArenaAllocator& scratch);
};

}  // namespace fonts
