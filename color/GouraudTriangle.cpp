#include "color/GouraudTriangle.h"

#include <algorithm>
#include <cstring>

#include "runtime/Scheduler.h"

namespace color {
namespace {

// Edges shorter than this (1/8 pixel) are stretched to it, so that a
// triangle flattened onto one row still paints that row.
constexpr int64_t kMinEdgeHeight = 8192;
// Work units per painted pixel after the first of a span.
constexpr int32_t kSpanPixelCost = 200;

Fixed Saturate(int64_t v) { return static_cast<Fixed>(std::clamp<int64_t>(v, runtime::kFixedMin, runtime::kFixedMax)); }

// a + (b - a) t for t in 16.16, without overflow.
Fixed Lerp(Fixed a, Fixed b, int64_t t) {
  return Saturate(a + ((static_cast<int64_t>(b) - a) * t >> 16));
}

int64_t Floor16(int64_t v) { return v >> 16; }
int64_t Ceil16(int64_t v) { return (v + 0xFFFF) >> 16; }

// The 16-bit form of a depth in 0 .. 1.0.
int32_t Depth16(Fixed depth) {
  const Fixed d = std::clamp(depth, 0, runtime::kFixedOne);
  return d >= 0x8000 ? d - 1 : d;
}

}  // namespace

void TransformSaturating(const runtime::Matrix& m, Fixed& x, Fixed& y) {
  // Each product fits in 62 bits; shifted before they are summed.
  const int64_t px = x, py = y;
  const int64_t nx = ((m.a * px) >> 16) + ((m.c * py) >> 16) + m.e;
  const int64_t ny = ((m.b * px) >> 16) + ((m.d * py) >> 16) + m.f;
  x = Saturate(nx);
  y = Saturate(ny);
}

// ---- DepthBuffer ----

void DepthBuffer::Reset(const runtime::IntRect& rect) {
  rect_ = rect.IsEmpty() ? runtime::IntRect{} : rect;
  const uint64_t count = static_cast<uint64_t>(rect_.x1 - rect_.x0) * static_cast<uint64_t>(rect_.y1 - rect_.y0);
  if (count > capacity_) {
    data_ = static_cast<uint16_t*>(arena_.Alloc(static_cast<size_t>(count) * sizeof(uint16_t)));
    capacity_ = count;
  }
  if (count != 0) std::memset(data_, 0, static_cast<size_t>(count) * sizeof(uint16_t));
}

// ---- Edge walking ----

struct GouraudTriangle::EdgeWalker {
  const TriangleVertex* a = nullptr;  // top end
  const TriangleVertex* b = nullptr;  // bottom end
  int64_t ay = 0, by = 0;             // the ends' y, stretched when too close
  int32_t values = 0;
  TriangleVertex top, bottom;         // where the edge crosses the row's top and bottom

  EdgeWalker(const TriangleVertex& from, const TriangleVertex& to, int32_t count)
      : a(&from), b(&to), ay(from.y), by(to.y), values(count) {
    if (by - ay < kMinEdgeHeight) {
      const int64_t ceilA = Ceil16(ay) << 16;
      if ((ay & 0xFFFF) + kMinEdgeHeight >= 0x10000 && Floor16(ay) == Floor16(by)) {
        ay = ceilA - kMinEdgeHeight;
        by = ceilA;
      } else {
        by = ay + kMinEdgeHeight;
      }
    }
  }

  // The edge's point at device y (16.16); before the top end the top
  // vertex stands in, past the bottom end the bottom vertex.
  void Crossing(TriangleVertex& out, int64_t y) const {
    const int64_t t = ((y - ay) << 16) / (by - ay);
    if (t <= 0) {
      Copy(out, *a);
    } else if (t >= 0x10000) {
      Copy(out, *b);
    } else {
      out.x = Lerp(a->x, b->x, t);
      out.depth = Lerp(a->depth, b->depth, t);
      for (int32_t c = 0; c < values; ++c) out.values[c] = Lerp(a->values[c], b->values[c], t);
    }
  }
  void Copy(TriangleVertex& out, const TriangleVertex& from) const {
    out.x = from.x;
    out.depth = from.depth;
    std::copy(from.values, from.values + values, out.values);
  }
  void Start(int32_t row) {
    Crossing(top, static_cast<int64_t>(row) << 16);
    Crossing(bottom, (static_cast<int64_t>(row) + 1) << 16);
  }
  void Advance(int32_t row) {
    Copy(top, bottom);
    Crossing(bottom, (static_cast<int64_t>(row) + 2) << 16);
  }
  const TriangleVertex& Smaller() const { return bottom.x < top.x ? bottom : top; }
  const TriangleVertex& Larger() const { return bottom.x > top.x ? bottom : top; }
};

// ---- GouraudTriangle ----

void GouraudTriangle::Add(const TriangleVertex& a, const TriangleVertex& b, const TriangleVertex& c, bool transform,
                          const runtime::Matrix& matrix) {
  ++count_;
  TriangleVertex v[3] = {a, b, c};
  if (transform)
    for (TriangleVertex& vertex : v) TransformSaturating(matrix, vertex.x, vertex.y);
  // Ordered by y; ties keep the earlier vertex first.
  const TriangleVertex* order[3] = {&v[0], &v[1], &v[2]};
  std::stable_sort(order, order + 3, [](const TriangleVertex* p, const TriangleVertex* q) { return p->y < q->y; });
  const TriangleVertex& top = *order[0];
  const TriangleVertex& middle = *order[1];
  const TriangleVertex& bottom = *order[2];

  const int32_t ytop = static_cast<int32_t>(Floor16(top.y));
  const int32_t ymid = static_cast<int32_t>(std::min<int64_t>((static_cast<int64_t>(middle.y) + 0x8000) >> 16, 32768));
  // Rows reach at least as far as the stretched edges do, so a triangle
  // flat on a whole-pixel line still paints the row below it.
  const int64_t lowest = std::max<int64_t>(bottom.y, static_cast<int64_t>(top.y) + kMinEdgeHeight);
  const int32_t ybot = static_cast<int32_t>(std::min<int64_t>(Ceil16(lowest), 32767));
  const int64_t side = (static_cast<int64_t>(middle.x) - top.x) * (static_cast<int64_t>(bottom.y) - top.y) -
                       (static_cast<int64_t>(middle.y) - top.y) * (static_cast<int64_t>(bottom.x) - top.x);
  if (side >= 0) {
    // The middle vertex lies right of the long edge: the long edge is left.
    WalkRows(ytop, ymid, top, bottom, top, middle);
    WalkRows(ymid, ybot, top, bottom, middle, bottom);
  } else {
    WalkRows(ytop, ymid, top, middle, top, bottom);
    WalkRows(ymid, ybot, middle, bottom, top, bottom);
  }
}

void GouraudTriangle::AddQuad(const TriangleVertex& p, const TriangleVertex& q, const TriangleVertex& r,
                              const TriangleVertex& s) {
  Add(p, q, r, false, runtime::kIdentityMatrix);
  Add(r, s, p, false, runtime::kIdentityMatrix);
}

void GouraudTriangle::WalkRows(int32_t first, int32_t end, const TriangleVertex& leftTop,
                               const TriangleVertex& leftBottom, const TriangleVertex& rightTop,
                               const TriangleVertex& rightBottom) {
  const runtime::IntRect& region = target_.Setup().region;
  first = std::max(first, region.y0);
  end = std::min(end, region.y1);
  if (first >= end) return;
  EdgeWalker left(leftTop, leftBottom, values_);
  EdgeWalker right(rightTop, rightBottom, values_);
  left.Start(first);
  right.Start(first);
  for (int32_t y = first; y < end; ++y) {
    // The span runs between the outermost crossings of both edges. For a
    // proper triangle these are the left edge's smaller and the right
    // edge's larger x; for one squashed flat, where the edges' order in a
    // row is not their order in the triangle, the outermost crossings
    // still cover the whole row.
    const TriangleVertex& leftmost =
        right.Smaller().x < left.Smaller().x ? right.Smaller() : left.Smaller();
    const TriangleVertex& rightmost = left.Larger().x > right.Larger().x ? left.Larger() : right.Larger();
    FillSpan(y, leftmost, rightmost);
    if (y + 1 < end) {
      left.Advance(y);
      right.Advance(y);
    }
  }
}

void GouraudTriangle::FillSpan(int32_t y, const TriangleVertex& left, const TriangleVertex& right) {
  const runtime::IntRect& region = target_.Setup().region;
  const int64_t xs = Floor16(left.x);
  const int64_t ceilRight = Ceil16(right.x);
  const int64_t xe = ceilRight <= xs ? xs : ceilRight - 1;
  const int64_t start = std::max<int64_t>(xs, region.x0);
  const int64_t stop = std::min<int64_t>(xe, region.x1 - 1);
  if (start > stop) return;
  const int64_t n = xe - xs;

  int64_t current[kMaxMeshValues];
  int64_t delta[kMaxMeshValues];
  int32_t depth = 0, depthStep = 0;
  const int32_t leftDepth = Depth16(left.depth), rightDepth = Depth16(right.depth);
  for (int32_t c = 0; c < values_; ++c) {
    const int64_t l = left.values[c], r = right.values[c];
    if (n == 0) {
      current[c] = (l + r) / 2;
      delta[c] = 0;
    } else if (n == 1) {
      current[c] = start == xs ? l : r;
      delta[c] = r - l;
    } else {
      delta[c] = (r - l) / n;
      current[c] = start == xs ? l : l + (r - l) * (start - xs) / n;
    }
  }
  if (n == 0) {
    depth = (leftDepth + rightDepth) / 2;
  } else {
    // Only a span with two distinct ends (n >= 1) has a depth step.
    depthStep = static_cast<int16_t>((rightDepth - leftDepth) / n);
    depth = static_cast<int32_t>(leftDepth + (start - xs) * depthStep);
  }

  const int32_t step = target_.ComponentStep(), pixelStep = target_.PixelStep();
  uint8_t* pixel = target_.ColourAt(static_cast<int32_t>(start), y);
  Fixed values[kMaxMeshValues];
  for (int64_t x = start; x <= stop; ++x, pixel += pixelStep) {
    bool paint = true;
    if (depth_ != nullptr) {
      if (uint16_t* stored = depth_->At(static_cast<int32_t>(x), y)) {
        const uint16_t mine = static_cast<uint16_t>(std::clamp(depth, 0, 0xFFFF));
        paint = *stored <= mine;
        if (paint) *stored = mine;
      }
    }
    if (paint) {
      for (int32_t c = 0; c < values_; ++c) values[c] = Saturate(current[c]);
      colour_.WritePixel(pixel, step, values);
      pixel[target_.CoverageOffset()] = 255;
    }
    for (int32_t c = 0; c < values_; ++c) current[c] += delta[c];
    depth += depthStep;
  }
  const int64_t pixels = stop - start;
  runtime::ChargeWork(target_.Setup().context,
                      static_cast<int32_t>(std::min<int64_t>(pixels * kSpanPixelCost, INT32_MAX)));
}

}  // namespace color
