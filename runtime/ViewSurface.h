#pragma once
// A drawing target over a host window, open while the window is painted:
// colour fills and bitmaps copied onto it. Rectangles are in the window's
// client coordinates, left, top, right, bottom, right and bottom exclusive.
#include <cstdint>

#include "runtime/HostBitmap.h"
#include "runtime/HostServices.h"

namespace runtime {

class ViewSurface {
 public:
  virtual void Fill(const HostRect& rect, uint8_t red, uint8_t green, uint8_t blue) = 0;
  // Copies `source` of `bitmap` onto `destination`, scaled as needed.
  virtual void DrawBitmap(HostBitmap& bitmap, const HostRect& source, const HostRect& destination) = 0;

 protected:
  ~ViewSurface() = default;
};

}  // namespace runtime
