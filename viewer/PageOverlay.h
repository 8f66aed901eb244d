#pragma once
// What is marked over a page's drawn pixels (the selection): after each
// area of a page is drawn into its bitmap, the overlay marks its part of
// that area. The overlay tells the render region which page pixels to draw
// again when its marks move (RenderRegion::RedrawPageArea).
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace viewer {

class HostBitmap;

class PageOverlay {
 public:
  // `area` (page pixels, within the bitmap) of `page` was just drawn with
  // `toPixels` (page space to page pixels); `bitmap` holds page pixels
  // from (originX, originY).
  virtual void PaintOver(int32_t page, const runtime::Matrix& toPixels, const runtime::IntRect& area,
                         HostBitmap& bitmap, int32_t originX, int32_t originY) = 0;

 protected:
  ~PageOverlay() = default;
};

}  // namespace viewer
