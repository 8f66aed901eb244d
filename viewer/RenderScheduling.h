#pragma once
// What the page view asks of the render machinery: a new set of render
// requests after the view changed, and a full redraw after a turn. The
// render side answers it; tests count the calls.
#include <cstdint>

#include "runtime/HostServices.h"

namespace runtime {
class ViewSurface;
}

namespace viewer {

class PageLayout;
class ReflowPages;

class RenderScheduling {
 public:
  // The view was laid out anew: the requests follow the new layout.
  virtual void UpdateRenderRequests(const PageLayout& layout) = 0;
  // Everything shown is stale (a rotation).
  virtual void InvalidateAll() = 0;
  // True while pages wait to be drawn or are being drawn.
  virtual bool HasPendingWork() const { return false; }
  // Repaints what the drawing made dirty in the window.
  virtual void FlushInvalidRect() {}
  // Paints the page cells over `clip`; false when there is nothing to
  // paint them from.
  virtual bool PaintVisibleCells(runtime::ViewSurface& /*surface*/, const runtime::HostRect& /*clip*/) {
    return false;
  }
  // The pages reflowed for the reflow modes; null when nothing reflows.
  virtual ReflowPages* Reflow() { return nullptr; }

 protected:
  ~RenderScheduling() = default;
};

}  // namespace viewer
