#include "fonts/GlyphCoverageRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fonts/GlyphOutline.h"
#include "runtime/Scheduler.h"

namespace fonts {

namespace {

struct CoveragePoint {
  double x;
  double y;
};

// The accumulation buffer: `stride` = width + 2 cells a row, so that a
// segment touching the right edge never writes past its row.
class AreaAccumulator {
 public:
  AreaAccumulator(float* cells, int32_t width, int32_t height)
      : cells_(cells), width_(width), height_(height), stride_(width + 2) {}

  void Line(CoveragePoint p0, CoveragePoint p1) {
    if (p0.y == p1.y) return;
    double dir = 1.0;
    if (p0.y > p1.y) {
      std::swap(p0, p1);
      dir = -1.0;
    }
    if (p1.y <= 0 || p0.y >= height_) return;
    const double dxdy = (p1.x - p0.x) / (p1.y - p0.y);
    double x = p0.x;
    if (p0.y < 0) x -= p0.y * dxdy;
    const int32_t yStart = static_cast<int32_t>(std::max(0.0, std::floor(p0.y)));
    const int32_t yEnd = static_cast<int32_t>(std::min<double>(height_, std::ceil(p1.y)));
    for (int32_t y = yStart; y < yEnd; ++y) {
      const double dy = std::min<double>(y + 1, p1.y) - std::max<double>(y, p0.y);
      const double xNext = x + dxdy * dy;
      Span(cells_ + static_cast<size_t>(y) * static_cast<size_t>(stride_), x, xNext, dy * dir);
      x = xNext;
    }
  }

 private:
  // Adds the area right of the segment piece from x to xNext, of height
  // d (signed), to the cells of one row.
  void Span(float* row, double xa, double xb, double d) {
    const double limit = static_cast<double>(width_);
    xa = std::clamp(xa, 0.0, limit);
    xb = std::clamp(xb, 0.0, limit);
    const double x0 = std::min(xa, xb);
    const double x1 = std::max(xa, xb);
    const double x0Floor = std::floor(x0);
    const int32_t x0i = static_cast<int32_t>(x0Floor);
    const double x1Ceil = std::ceil(x1);
    const int32_t x1i = static_cast<int32_t>(x1Ceil);
    if (x1i <= x0i + 1) {
      const double xm = 0.5 * (xa + xb) - x0Floor;
      row[x0i] += static_cast<float>(d - d * xm);
      row[x0i + 1] += static_cast<float>(d * xm);
      return;
    }
    const double s = 1.0 / (x1 - x0);
    const double x0f = x0 - x0Floor;
    const double a0 = 0.5 * s * (1.0 - x0f) * (1.0 - x0f);
    const double x1f = x1 - x1Ceil + 1.0;
    const double am = 0.5 * s * x1f * x1f;
    row[x0i] += static_cast<float>(d * a0);
    if (x1i == x0i + 2) {
      row[x0i + 1] += static_cast<float>(d * (1.0 - a0 - am));
    } else {
      const double a1 = s * (1.5 - x0f);
      row[x0i + 1] += static_cast<float>(d * (a1 - a0));
      for (int32_t xi = x0i + 2; xi < x1i - 1; ++xi) row[xi] += static_cast<float>(d * s);
      const double a2 = a1 + (x1i - x0i - 3) * s;
      row[x1i - 1] += static_cast<float>(d * (1.0 - a2 - am));
    }
    row[x1i] += static_cast<float>(d * am);
  }

  float* cells_;
  int32_t width_;
  int32_t height_;
  int32_t stride_;
};

}  // namespace

void GlyphCoverageRaster::Fill(runtime::LibraryContext* context,
                               const runtime::ArenaVector<runtime::FixedPoint>& points,
                               const runtime::Matrix& placement, const runtime::IntRect& box,
                               uint8_t* out, runtime::ArenaAllocator& scratch) {
  const int32_t width = box.x1 - box.x0;
  const int32_t height = box.y1 - box.y0;
  if (width <= 0 || height <= 0) return;
  const size_t stride = static_cast<size_t>(width) + 2;
  float* cells = static_cast<float*>(scratch.Alloc(stride * static_cast<size_t>(height) * sizeof(float)));
  std::memset(cells, 0, stride * static_cast<size_t>(height) * sizeof(float));
  AreaAccumulator area(cells, width, height);

  const double a = placement.a / 65536.0, b = placement.b / 65536.0;
  const double c = placement.c / 65536.0, d = placement.d / 65536.0;
  const double e = placement.e / 65536.0 - box.x0, f = placement.f / 65536.0 - box.y0;
  auto place = [&](runtime::FixedPoint p) {
    const double x = (p.x & ~1) / 65536.0, y = (p.y & ~1) / 65536.0;
    return CoveragePoint{x * a + y * c + e, x * b + y * d + f};
  };
  CoveragePoint start{}, current{};
  bool open = false;
  uint32_t segments = 0;
  const uint32_t count = points.Size();
  for (uint32_t i = 0; i < count; ++i) {
    const PointKind kind = GlyphOutline::KindOf(points[i]);
    if ((++segments & 255) == 0) runtime::ChargeWork(context, runtime::kWorkCostStep);
    if (kind == PointKind::kMove) {
      if (open) area.Line(current, start);
      start = current = place(points[i]);
      open = true;
    } else if (kind == PointKind::kClose) {
      if (open) area.Line(current, start);
      current = start;
      open = false;
    } else if (!open) {
      if (kind == PointKind::kCurve) i += 2;  // nothing to draw from
    } else if (kind == PointKind::kLine) {
      const CoveragePoint p = place(points[i]);
      area.Line(current, p);
      current = p;
    } else {
      if (i + 2 >= count) break;
      const CoveragePoint p1 = place(points[i]), p2 = place(points[i + 1]), p3 = place(points[i + 2]);
      i += 2;
      // Uniform steps: the flattening error is at most 3/4 of the largest
      // second difference over the square of the step count.
      const double ddx = std::max(std::fabs(current.x - 2 * p1.x + p2.x), std::fabs(p1.x - 2 * p2.x + p3.x));
      const double ddy = std::max(std::fabs(current.y - 2 * p1.y + p2.y), std::fabs(p1.y - 2 * p2.y + p3.y));
      const double dd = std::sqrt(ddx * ddx + ddy * ddy);
      const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(0.75 * dd / kFlatness))), 1, 256);
      const double step = 1.0 / n;
      CoveragePoint previous = current;
      for (int k = 1; k < n; ++k) {
        const double t = k * step, u = 1 - t;
        const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
        const CoveragePoint q{w0 * current.x + w1 * p1.x + w2 * p2.x + w3 * p3.x,
                              w0 * current.y + w1 * p1.y + w2 * p2.y + w3 * p3.y};
        area.Line(previous, q);
        previous = q;
      }
      area.Line(previous, p3);
      current = p3;
    }
  }
  if (open) area.Line(current, start);

  for (int32_t y = 0; y < height; ++y) {
    const float* row = cells + static_cast<size_t>(y) * stride;
    uint8_t* target = out + static_cast<size_t>(y) * static_cast<size_t>(width);
    float sum = 0;
    for (int32_t x = 0; x < width; ++x) {
      sum += row[x];
      const float v = std::min(std::fabs(sum), 1.0f);
      target[x] = static_cast<uint8_t>(v * 255.0f + 0.5f);
    }
  }
}

}  // namespace fonts
