#pragma once
// Where a page is drawn under the current view rotation: its rotation,
// matrix and rectangle. A rendering keeps the placement it was made with,
// so that a later view can tell whether (and where) that rendering may
// still be shown.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace viewer {

class PageLayout;

struct PagePlacement {
  bool hasExtraMatrix = false;
  runtime::Matrix extraMatrix;
  // The page's rotation plus the view rotation, 0..359.
  int32_t rotation = 0;
  // The device scale along the view's x and y (exchanged for a view turned
  // by a quarter).
  runtime::Fixed scale[2] = {};
  uint32_t placementWord = 0;
  // Page space to the turned layout.
  runtime::Matrix matrix;
  // {0, 0, page width, page height} turned with the view.
  runtime::Rect rect;

  // The page's placement; false (and `out` reset) when the page is not laid
  // out in the grid.
  static bool Build(const PageLayout& layout, int32_t page, PagePlacement& out);
  // Where `rect`, a pixel rectangle of a rendering made with placement
  // `key`, lies in the view's window now; all zero when the rendering
  // cannot be placed or the result misses the window.
  static runtime::IntRect DeviceRect(const PageLayout& layout, int32_t page,
                                     const PagePlacement& key, const runtime::IntRect& rect);
  // The visible window in the page's own space. A page matrix without an
  // inverse raises (runtime, 2).
  static runtime::Rect WindowToPageRect(const PageLayout& layout, int32_t page);
};

}  // namespace viewer
