#pragma once
// What the page view asks of the render machinery: a new set of render
// requests after the view changed, and a full redraw after a turn. The
// render side answers it; tests count the calls.
#include <cstdint>

namespace viewer {

class PageLayout;

class RenderScheduling {
 public:
  // The view was laid out anew: the requests follow the new layout.
  virtual void UpdateRenderRequests(const PageLayout& layout) = 0;
  // Everything shown is stale (a rotation).
  virtual void InvalidateAll() = 0;

 protected:
  ~RenderScheduling() = default;
};

}  // namespace viewer
