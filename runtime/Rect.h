#pragma once
// Rectangles of 16.16 coordinates and of whole pixels.
#include <cstdint>

#include "runtime/Fixed.h"

namespace runtime {

// A rectangle of plain integers (pixels), laid out like `Rect`.
struct IntRect {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  bool IsEmpty() const { return x0 >= x1 || y0 >= y1; }
  friend bool operator==(const IntRect&, const IntRect&) = default;
};

// A rectangle of `Fixed` coordinates: left, top, right, bottom. Empty when
// x0 >= x1 or y0 >= y1.
struct Rect {
  Fixed x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  bool IsEmpty() const { return x0 >= x1 || y0 >= y1; }
  friend bool operator==(const Rect&, const Rect&) = default;

  // Overlap of r and s; a disjoint result collapses to zero width or height
  // at the larger minimum.
  static Rect Intersect(const Rect& r, const Rect& s);
  static Rect IntersectWith(const Rect& r, const Rect& s) { return Intersect(r, s); }
  void IntersectInPlace(const Rect& s) { *this = Intersect(*this, s); }
  // Strict overlap: false when either is empty, and rectangles that only
  // share an edge do not intersect.
  static bool Intersects(const Rect& a, const Rect& b);
  // The same test, counting a rectangle empty unless x0 < x1 and y0 < y1.
  static bool BothValidAndIntersect(const Rect& a, const Rect& b) { return Intersects(a, b); }
  // The intersection when `intersect` is set, else the union; an empty
  // result gets y1 = y0.
  static Rect Combine(bool intersect, const Rect& a, const Rect& b);
  // Bounds of both; an empty operand is ignored (r empty gives s whole).
  static Rect Union(const Rect& r, const Rect& s);
  static Rect Bounds(const Rect& r, const Rect& s) { return Union(r, s); }
  // True when inner is empty or lies within outer.
  static bool Contains(const Rect& outer, const Rect& inner);
  static bool Encloses(const Rect& outer, const Rect& inner) { return Contains(outer, inner); }
  // Half-open: the right and bottom edges are outside.
  bool ContainsPoint(Fixed x, Fixed y) const { return x0 <= x && x < x1 && y0 <= y && y < y1; }
  bool ContainsXY(Fixed x, Fixed y) const { return ContainsPoint(x, y); }
  // Grows the closed bounds to hold the point (no emptiness test).
  void IncludePoint(Fixed x, Fixed y);
  // Moved with saturation at 0x7fffffff and 0x80000001.
  static Rect Offset(const Rect& r, Fixed dx, Fixed dy);
  // Moved with saturation at 0x7fffffff and 0x80000000.
  static Rect OffsetSaturating(const Rect& r, Fixed dx, Fixed dy);
  // x0 + dx, y0 + dy, x1 - dx, y1 - dy, saturating (the far edges move by
  // the negated delta, so the lower limit is 0x80000001).
  static Rect InsetSaturated(const Rect& r, Fixed dx, Fixed dy);
  // The same shrink computed exactly and then clamped to the full 32-bit
  // range, 0x80000000 to 0x7fffffff; negative dx, dy grow the rectangle.
  static Rect Deflate(const Rect& r, Fixed dx, Fixed dy);
  // Pixels to 16.16; an empty integer rectangle gives all zeros.
  static Rect FromIntRect(const IntRect& ir);
  // The whole pixels that touch r: floor of the minima, ceiling of the
  // maxima (capped at 32767).
  static IntRect ToPixelBounds(const Rect& r);
  // Quarter turn about the origin by a page rotation of 0, 90, 180 or 270
  // degrees (any other value counts as 270).
  static Rect Rotate(int32_t rotation, const Rect& r);
  static Rect RotateByPageRotation(int32_t rotation, const Rect& r) { return Rotate(rotation, r); }
  static void SwapBounds(Rect& p, Rect& q);
  // Pixels a filter reads around r: with `add`, r plus the box component
  // by component (a kernel footprint of negative left and top extents);
  // without, every side moved outward by the box's inclusive size. Sums
  // clamp to the 32-bit range.
  static IntRect ExpandByBox(const IntRect& r, const IntRect& box, bool add);
};

inline bool RectEquals(const Rect& r, const Rect& s) { return r == s; }

// No limit, as most users write it.
inline constexpr Rect kUnboundedRect{kFixedLowest, kFixedLowest, kFixedMax, kFixedMax};
// No limit, as the inverse-bounds computation writes it.
inline constexpr Rect kUnboundedRectSymmetric{kFixedMin, kFixedMin, kFixedMax, kFixedMax};
// Start of a bounds accumulator: the first point or rectangle included
// replaces it.
inline constexpr Rect kEmptyBoundsStart{kFixedMax, kFixedMax, kFixedMin, kFixedMin};

// An object's accumulated bounds.
struct BoundsAccumulator {
  Rect bounds = kEmptyBoundsStart;
  void Add(const Rect& r) { bounds = Rect::Union(bounds, r); }
};

// A rectangle with two further x positions that move with it.
struct BoundsRecord {
  Rect rect;
  Fixed xa = 0, xb = 0;
  // The rectangle moves saturating, the two x values by plain (wrapping)
  // addition.
  static BoundsRecord Offset(const BoundsRecord& record, Fixed dx, Fixed dy);
};

}  // namespace runtime
