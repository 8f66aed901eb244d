#pragma once
// Gouraud-shaded triangles painted into a mesh source's planes: the
// triangle is walked row by row between its two side edges, each row's
// span covers every pixel the triangle touches in that row, and the colour
// values are interpolated along the edges and then along the span (one
// division per span, per-component deltas per pixel). Patch meshes use the
// same fill with a 16-bit depth buffer for folded patches.
#include <cstdint>

#include "color/MeshInput.h"
#include "color/ShadingColour.h"
#include "raster/ShadingSource.h"
#include "runtime/ArenaAllocator.h"

namespace color {

struct TriangleVertex {
  Fixed x = 0;
  Fixed y = 0;
  Fixed depth = 0;  // 0 .. 1.0
  Fixed values[kMaxMeshValues] = {};
};

// 16-bit depths over a device rectangle; a pixel is painted when the stored
// depth is at most its own, which it then stores.
class DepthBuffer {
 public:
  explicit DepthBuffer(runtime::ArenaAllocator& arena) : arena_(arena) {}
  // Covers `rect` (allocating only when the held buffer is too small) and
  // zeroes every entry.
  void Reset(const runtime::IntRect& rect);
  // The entry of (x, y), or null outside the rectangle.
  uint16_t* At(int32_t x, int32_t y) const {
    if (x < rect_.x0 || x >= rect_.x1 || y < rect_.y0 || y >= rect_.y1) return nullptr;
    return data_ + static_cast<int64_t>(rect_.x1 - rect_.x0) * (y - rect_.y0) + (x - rect_.x0);
  }

 private:
  runtime::ArenaAllocator& arena_;
  runtime::IntRect rect_;
  uint16_t* data_ = nullptr;
  uint64_t capacity_ = 0;
};

class GouraudTriangle {
 public:
  GouraudTriangle(raster::MeshShadingSource& target, ShadingColour& colour, int32_t values)
      : target_(target), colour_(colour), values_(values) {}

  // The depth buffer the fill tests against, or null for none.
  void SetDepthBuffer(DepthBuffer* depth) { depth_ = depth; }
  // One triangle; with `transform` its points are mapped by `matrix` first.
  void Add(const TriangleVertex& a, const TriangleVertex& b, const TriangleVertex& c, bool transform,
           const runtime::Matrix& matrix);
  // The triangles (p, q, r) and (r, s, p), already in device space.
  void AddQuad(const TriangleVertex& p, const TriangleVertex& q, const TriangleVertex& r,
               const TriangleVertex& s);
  uint64_t Count() const { return count_; }

 private:
  struct EdgeWalker;

  // Rows [first, end) between the two edges (left, right).
  void WalkRows(int32_t first, int32_t end, const TriangleVertex& leftTop, const TriangleVertex& leftBottom,
                const TriangleVertex& rightTop, const TriangleVertex& rightBottom);
  void FillSpan(int32_t y, const TriangleVertex& left, const TriangleVertex& right);

  raster::MeshShadingSource& target_;
  ShadingColour& colour_;
  int32_t values_;
  DepthBuffer* depth_ = nullptr;
  uint64_t count_ = 0;
};

// A point mapped by a matrix in 64-bit arithmetic, saturated to the 16.16
// range (far-away points clamp instead of wrapping).
void TransformSaturating(const runtime::Matrix& m, Fixed& x, Fixed& y);

}  // namespace color
