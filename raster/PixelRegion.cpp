#include "raster/PixelRegion.h"

#include <algorithm>

namespace raster {

IntRect CollapseEmpty(const IntRect& r) {
  IntRect out = r;
  if (!(r.x0 < r.x1 && r.y0 < r.y1)) out.y1 = out.y0;
  return out;
}

IntRect IntersectRects(const IntRect& a, const IntRect& b) {
  return CollapseEmpty({std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)});
}

IntRect UnionRects(const IntRect& a, const IntRect& b) {
  if (a.IsEmpty()) return CollapseEmpty(b);
  if (b.IsEmpty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

bool ContainsRect(const IntRect& outer, const IntRect& inner) {
  return inner.IsEmpty() ||
         (outer.x0 <= inner.x0 && outer.y0 <= inner.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1);
}

PixelRegion* PixelRegion::FromRect(runtime::ArenaAllocator& arena, const IntRect& rect) {
  auto* region = runtime::NewInArena<PixelRegion>(arena, arena);
  region->bounds_ = CollapseEmpty(rect);
  if (!region->bounds_.IsEmpty()) {
    region->edges_.PushBack(region->bounds_.x0);
    region->edges_.PushBack(region->bounds_.x1);
  }
  return region;
}

std::span<const int32_t> PixelRegion::RowEdges(int32_t y) const {
  if (y < bounds_.y0 || y >= bounds_.y1 || edges_.IsEmpty()) return {};
  if (rectangular_) return {&edges_[0], 2};
  const uint32_t row = static_cast<uint32_t>(static_cast<int64_t>(y) - bounds_.y0);
  const uint32_t begin = rowStarts_[row], end = rowStarts_[row + 1];
  if (begin == end) return {};
  return {&edges_[begin], end - begin};
}

namespace {

// Where a row's inside intervals stand at x: the next edge after x and
// whether [x, next) is inside.
struct RowWalk {
  std::span<const int32_t> edges;
  size_t index = 0;

  bool InsideAt(int32_t x) {
    while (index < edges.size() && edges[index] <= x) ++index;
    return (index & 1) != 0;
  }
  int32_t NextEdge(int32_t limit) const { return index < edges.size() ? std::min(edges[index], limit) : limit; }
};

}  // namespace

PixelRegion* PixelRegion::Combine(runtime::ArenaAllocator& arena, RegionCombine op, const PixelRegion& a,
                                  const PixelRegion& b) {
  auto* region = runtime::NewInArena<PixelRegion>(arena, arena);
  const bool intersect = op == RegionCombine::kIntersection;
  region->bounds_ = intersect ? IntersectRects(a.bounds_, b.bounds_) : UnionRects(a.bounds_, b.bounds_);
  const IntRect& r = region->bounds_;
  if (intersect && a.rectangular_ && b.rectangular_) {
    if (!r.IsEmpty() && !a.IsEmpty() && !b.IsEmpty()) {
      region->edges_.PushBack(r.x0);
      region->edges_.PushBack(r.x1);
    }
    return region;
  }
  region->rectangular_ = false;
  if (r.IsEmpty()) return region;
  region->rowStarts_.Reserve(static_cast<uint32_t>(static_cast<int64_t>(r.y1) - r.y0 + 1));
  for (int32_t y = r.y0; y < r.y1; ++y) {
    region->rowStarts_.PushBack(region->edges_.Size());
    RowWalk wa{a.RowEdges(y)}, wb{b.RowEdges(y)};
    bool state = false;
    for (int32_t x = r.x0; x < r.x1;) {
      const bool ia = wa.InsideAt(x), ib = wb.InsideAt(x);
      const bool inside = intersect ? (ia && ib) : (ia || ib);
      if (inside != state) {
        region->edges_.PushBack(x);
        state = inside;
      }
      x = std::min(wa.NextEdge(r.x1), wb.NextEdge(r.x1));
    }
    if (state) region->edges_.PushBack(r.x1);
  }
  region->rowStarts_.PushBack(region->edges_.Size());
  return region;
}

}  // namespace raster
