#include "runtime/ClipBox.h"

namespace runtime {

namespace {

Rect AsRect(const IntRect& r) { return {r.x0, r.y0, r.x1, r.y1}; }

}  // namespace

ClipBox::Classification ClipBox::ClassifyPoints(FixedPoint p0, FixedPoint p1, FixedPoint p2,
                                                FixedPoint p3) const {
  if (clippingOff) return kInside;
  Rect bounds{p0.x, p0.y, p0.x, p0.y};
  bounds.IncludePoint(p1.x, p1.y);
  bounds.IncludePoint(p2.x, p2.y);
  bounds.IncludePoint(p3.x, p3.y);
  // Whole-pixel rectangles compare word by word like any other rectangle.
  const Rect pixels = AsRect(Rect::ToPixelBounds(bounds));
  if (Rect::Contains(AsRect(box), pixels)) return kInside;
  return Rect::Intersect(AsRect(box), pixels).IsEmpty() ? kOutside : kPartly;
}

}  // namespace runtime
