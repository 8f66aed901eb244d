#include "runtime/Rect.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace runtime {

namespace {

// Saturating add whose negative limit is the lowest value, 0x80000000.
Fixed AddSatToLowest(Fixed start, Fixed delta) {
  const Fixed sum = WrapAdd(start, delta);
  if (delta < 0 && sum > start) return kFixedLowest;
  if (delta >= 0 && sum < start) return kFixedMax;
  return sum;
}

// start + delta (sign = 1) or start - delta (sign = -1), clamped to the
// 32-bit range.
Fixed ShiftClamped(Fixed start, Fixed delta, int sign) {
  const int64_t exact = static_cast<int64_t>(start) + sign * static_cast<int64_t>(delta);
  return static_cast<Fixed>(std::clamp<int64_t>(exact, INT32_MIN, INT32_MAX));
}

Fixed AddSat(Fixed start, Fixed delta) {
  Fixed out = 0;
  return FixedAddSatInto(out, start, delta);
}

}  // namespace

Rect Rect::Intersect(const Rect& r, const Rect& s) {
  Rect out{std::max(r.x0, s.x0), std::max(r.y0, s.y0), std::min(r.x1, s.x1),
           std::min(r.y1, s.y1)};
  if (out.x1 < out.x0) out.x1 = out.x0;
  if (out.y1 < out.y0) out.y1 = out.y0;
  return out;
}

bool Rect::Intersects(const Rect& a, const Rect& b) {
  if (a.IsEmpty() || b.IsEmpty()) return false;
  return b.x0 < a.x1 && b.x1 > a.x0 && b.y0 < a.y1 && b.y1 > a.y0;
}

Rect Rect::Combine(bool intersect, const Rect& a, const Rect& b) {
  Rect out = intersect ? Intersect(a, b) : Union(a, b);
  if (out.IsEmpty()) out.y1 = out.y0;
  return out;
}

Rect Rect::Union(const Rect& r, const Rect& s) {
  if (r.IsEmpty()) return s;
  if (s.IsEmpty()) return r;
  return {std::min(r.x0, s.x0), std::min(r.y0, s.y0), std::max(r.x1, s.x1),
          std::max(r.y1, s.y1)};
}

bool Rect::Contains(const Rect& outer, const Rect& inner) {
  if (inner.IsEmpty()) return true;
  return inner.x0 >= outer.x0 && inner.x1 <= outer.x1 && inner.y0 >= outer.y0 &&
         inner.y1 <= outer.y1;
}

void Rect::IncludePoint(Fixed x, Fixed y) {
  if (x < x0) x0 = x;
  if (x > x1) x1 = x;
  if (y < y0) y0 = y;
  if (y > y1) y1 = y;
}

Rect Rect::Offset(const Rect& r, Fixed dx, Fixed dy) {
  return {AddSat(r.x0, dx), AddSat(r.y0, dy), AddSat(r.x1, dx), AddSat(r.y1, dy)};
}

Rect Rect::OffsetSaturating(const Rect& r, Fixed dx, Fixed dy) {
  return {AddSatToLowest(r.x0, dx), AddSatToLowest(r.y0, dy), AddSatToLowest(r.x1, dx),
          AddSatToLowest(r.y1, dy)};
}

Rect Rect::InsetSaturated(const Rect& r, Fixed dx, Fixed dy) {
  // The far edges move by the negated inset; the lowest value negates to
  // the positive limit rather than to itself.
  return {AddSat(r.x0, dx), AddSat(r.y0, dy), AddSat(r.x1, NegateSat(dx)),
          AddSat(r.y1, NegateSat(dy))};
}

Rect Rect::Deflate(const Rect& r, Fixed dx, Fixed dy) {
  return {ShiftClamped(r.x0, dx, 1), ShiftClamped(r.y0, dy, 1), ShiftClamped(r.x1, dx, -1),
          ShiftClamped(r.y1, dy, -1)};
}

Rect Rect::FromIntRect(const IntRect& ir) {
  if (ir.IsEmpty()) return {};
  return {FixedFromInt(ir.x0), FixedFromInt(ir.y0), FixedFromInt(ir.x1), FixedFromInt(ir.y1)};
}

IntRect Rect::ToPixelBounds(const Rect& r) {
  auto ceiling = [](Fixed v) { return v > 0x7fff0000 ? 32767 : FixedToIntCeil(v); };
  return {FixedToIntFloor(r.x0), FixedToIntFloor(r.y0), ceiling(r.x1), ceiling(r.y1)};
}

Rect Rect::Rotate(int32_t rotation, const Rect& r) {
  // Negation saturates so that an unbounded rectangle stays unbounded
  // instead of turning inside out.
  switch (rotation) {
    case 0:
      return r;
    case 90:
      return {NegateSat(r.y1), r.x0, NegateSat(r.y0), r.x1};
    case 180:
      return {NegateSat(r.x1), NegateSat(r.y1), NegateSat(r.x0), NegateSat(r.y0)};
    default:
      return {r.y0, NegateSat(r.x1), r.y1, NegateSat(r.x0)};
  }
}

void Rect::SwapBounds(Rect& p, Rect& q) { std::swap(p, q); }

IntRect Rect::ExpandByBox(const IntRect& r, const IntRect& box, bool add) {
  auto clamp = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  if (add) {
    return {clamp(int64_t{r.x0} + box.x0), clamp(int64_t{r.y0} + box.y0),
            clamp(int64_t{r.x1} + box.x1), clamp(int64_t{r.y1} + box.y1)};
  }
  const int64_t width = int64_t{box.x1} - box.x0 + 1;
  const int64_t height = int64_t{box.y1} - box.y0 + 1;
  return {clamp(r.x0 - width), clamp(r.y0 - height), clamp(r.x1 + width), clamp(r.y1 + height)};
}

BoundsRecord BoundsRecord::Offset(const BoundsRecord& record, Fixed dx, Fixed dy) {
  return {Rect::OffsetSaturating(record.rect, dx, dy), WrapAdd(record.xa, dx),
          WrapAdd(record.xb, dx)};
}

}  // namespace runtime
