#pragma once
// The pixel box that path flattening clips against.
#include "runtime/Fixed.h"
#include "runtime/Rect.h"

namespace runtime {

struct ClipBox {
  enum Classification { kInside = 1, kOutside = 2, kPartly = 3 };

  IntRect box;
  bool clippingOff = false;

  // Classifies the whole-pixel bounds of four points (a curve's control
  // polygon) against the box: inside (or clipping off), outside or partly.
  Classification ClassifyPoints(FixedPoint p0, FixedPoint p1, FixedPoint p2,
                                FixedPoint p3) const;
};

}  // namespace runtime
