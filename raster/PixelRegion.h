#pragma once
// A region of device pixels that a paint operation is driven over: its
// bounds and either the whole rectangle or, row by row, the x positions
// where the region starts and stops ([e0, e1), [e2, e3), ... are inside).
#include <cstdint>
#include <span>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Rect.h"

namespace raster {

using runtime::IntRect;

// The rectangle, or, when it is empty, the rectangle with y1 = y0.
IntRect CollapseEmpty(const IntRect& r);
// Overlap of two rectangles, an empty result collapsed.
IntRect IntersectRects(const IntRect& a, const IntRect& b);
// Bounds of two rectangles; an empty one is ignored.
IntRect UnionRects(const IntRect& a, const IntRect& b);
// True when inner is empty or lies within outer.
bool ContainsRect(const IntRect& outer, const IntRect& inner);

enum class RegionCombine : uint8_t { kUnion = 0, kIntersection = 1 };

class PixelRegion {
 public:
  explicit PixelRegion(runtime::ArenaAllocator& arena) : rowStarts_(arena, 0), edges_(arena, 2) {}

  static PixelRegion* FromRect(runtime::ArenaAllocator& arena, const IntRect& rect);
  static PixelRegion* Combine(runtime::ArenaAllocator& arena, RegionCombine op, const PixelRegion& a,
                              const PixelRegion& b);

  const IntRect& Bounds() const { return bounds_; }
  bool IsRectangular() const { return rectangular_; }
  bool IsEmpty() const { return edges_.IsEmpty(); }
  // The edges of row y, in increasing x; none outside the bounds.
  std::span<const int32_t> RowEdges(int32_t y) const;

 private:
  IntRect bounds_;
  bool rectangular_ = true;
  runtime::ArenaVector<uint32_t> rowStarts_;  // one per row plus the end, when not rectangular
  runtime::ArenaVector<int32_t> edges_;
};

}  // namespace raster
