#pragma once
// The view's rotation frame over the page grid: a quarter-turn rotation
// and the 64-bit origin that brings the turned layout back to positive
// coordinates.
#include <cstdint>

#include "runtime/Rect64.h"

namespace viewer {

struct Point64 {
  int64_t x = 0, y = 0;
  friend bool operator==(const Point64&, const Point64&) = default;

  // 0 unchanged, 90 gives (-y, x), 180 (-x, -y), any other (270) (y, -x).
  // Negation saturates so that the lowest value does not wrap.
  static Point64 Rotate(int32_t rotation, const Point64& p);
};

struct ViewFrame {
  int32_t rotation = 0;
  Point64 origin;

  // A layout rectangle in the view: turned, then moved by the origin.
  static runtime::Rect64 MapRect(const ViewFrame& frame, const runtime::Rect64& r);
  // A layout point in the view: turned, then moved by the origin.
  static Point64 FromLocal(const ViewFrame& frame, const Point64& p);
};

}  // namespace viewer
