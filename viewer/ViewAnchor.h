#pragma once
// Where the next layout puts the view: a page, a point on it and the place
// in the view where that point must land.
#include <cstdint>

#include "runtime/Fixed.h"

namespace viewer {

// The anchor's point is in page space (points).
inline constexpr int32_t kAnchorPageSpace = 0;
// The anchor's point is an offset from the page's top-left corner in
// laid-out pixels.
inline constexpr int32_t kAnchorLayoutOffset = 1;

struct ViewAnchor {
  int32_t page = 0;
  int32_t kind = kAnchorLayoutOffset;
  runtime::Fixed x = 0, y = 0;
  // Relative to the visible window's top-left corner, in pixels.
  int32_t viewX = 0, viewY = 0;

  friend bool operator==(const ViewAnchor&, const ViewAnchor&) = default;
};

}  // namespace viewer
