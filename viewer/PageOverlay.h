#pragma once
// What is marked over a page's drawn pixels (the selection): after each
// area of a page is drawn into its bitmap, the overlay marks its part of
// that area. The overlay tells the render region which page pixels to draw
// again when its marks move (RenderRegion::RedrawPageArea).
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace content {
class ReflowModel;
}

namespace viewer {

class HostBitmap;

class PageOverlay {
 public:
  // `area` (page pixels, within the bitmap) of `page` was just drawn with
  // `toPixels` (page space to page pixels); `bitmap` holds page pixels
  // from (originX, originY).
  virtual void PaintOver(int32_t page, const runtime::Matrix& toPixels, const runtime::IntRect& area,
                         HostBitmap& bitmap, int32_t originX, int32_t originY) = 0;
  // The same over a page shown reflowed (`model`): `toPixels` maps its
  // reflow space to page pixels. Marks that have no place on a reflowed
  // page are left out.
  virtual void PaintOverReflowed(int32_t, const content::ReflowModel&, const runtime::Matrix&,
                                 const runtime::IntRect&, HostBitmap&, int32_t, int32_t) {}
  // How a reflowed page is drawn at `dpi`: reflow space, in units of
  // `unit` points with y upwards from the column's top, to page pixels.
  static runtime::Matrix ReflowToPixels(double dpi, runtime::Fixed unit);

 protected:
  ~PageOverlay() = default;
};

}  // namespace viewer
