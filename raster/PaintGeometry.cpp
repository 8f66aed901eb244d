#include "raster/PaintGeometry.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

// The thinnest line width in raw units, and the smallest width factor.
constexpr Fixed kThinnestLine = 6;
constexpr Fixed kMinWidthFactor = 92687;  // 1.4143

bool IsIdentity(const Matrix& m) { return Matrix::Equals(m, Matrix{}); }

int32_t SnappedUnits(Fixed v, int32_t cells) {
  const int64_t product = int64_t{cells} * (v & 0xffff);
  if (product >= 0x7fff8000) return 0x8000;
  return static_cast<int32_t>((product + 0x8000) >> 16);
}

}  // namespace

Fixed StrokeMargin::Margin() const {
  const Fixed w = lineWidth == 0 ? kThinnestLine : lineWidth;
  const Fixed f = std::max(widthFactor, kMinWidthFactor);
  int32_t overflow = 0;
  const Fixed product = runtime::FixedMulChecked(w, f, overflow);
  return overflow != 0 ? w : product >> 1;
}

bool IntersectsWithMargin(const StrokeMargin& state, const Rect& a, const Rect& b, bool grow) {
  if (!grow) return Rect::Intersects(b, a);
  const Fixed margin = state.Margin();
  return Rect::Intersects(Rect::InsetSaturated(b, runtime::NegateSat(margin), runtime::NegateSat(margin)), a);
}

void Quad::FromEdgeOffsets(FixedPoint p1, FixedPoint p2, Fixed* xs, Fixed* ys, FixedPoint a, FixedPoint b) {
  const FixedPoint corners[4] = {{p1.x + a.x, p1.y + a.y}, {p2.x + a.x, p2.y + a.y}, {p2.x + b.x, p2.y + b.y},
                                 {p1.x + b.x, p1.y + b.y}};
  for (int i = 0; i < 4; ++i) {
    xs[i] = corners[i].x;
    ys[i] = corners[i].y;
  }
}

bool PaintBounds::MayIntersect(const PaintBounds& object, const Matrix& m, const Rect& rect, bool grow) {
  if (!object.hasBounds || object.bounds.x0 == kNoBounds) return true;
  Matrix inverse;
  if (!Matrix::Invert(inverse, m)) runtime::ThrowRuntime(runtime::kMalformed);
  Matrix mapping = inverse;
  if (!IsIdentity(object.matrix)) {
    Matrix ownInverse;
    if (!Matrix::Invert(ownInverse, object.matrix)) runtime::ThrowRuntime(runtime::kMalformed);
    int32_t overflow = 0;
    mapping = Matrix::ConcatChecked(Matrix::ConcatChecked(object.matrix, inverse, overflow), ownInverse, overflow);
    if (overflow != 0) return true;
  }
  return IntersectsWithMargin(object.stroke, Matrix::TransformRectBounds(object.bounds, mapping), rect, grow);
}

bool Path::AddQuad(StoredPath& out, FixedPoint p1, FixedPoint p2, FixedPoint a, FixedPoint b) {
  if (p1 == p2) return true;
  Fixed xs[4], ys[4];
  Quad::FromEdgeOffsets(p1, p2, xs, ys, a, b);
  out.MoveTo({xs[0], ys[0]});
  for (int i = 1; i < 4; ++i) out.LineTo({xs[i], ys[i]});
  out.Close();
  return false;
}

namespace {

void FlushPendingElement(Path::PendingElement& pending, StoredPath& out, Fixed scale, bool scaled) {
  const auto at = [&](Fixed x, Fixed y) {
    return scaled ? FixedPoint{runtime::FixedMul(x, scale), runtime::FixedMul(y, scale)} : FixedPoint{x, y};
  };
  switch (pending.kind) {
    case Path::PendingElement::kMove: out.MoveTo(at(pending.x0, pending.y0)); break;
    case Path::PendingElement::kLine: out.LineTo(at(pending.x0, pending.y0)); break;
    case Path::PendingElement::kCurve:
      out.CurveTo(at(pending.x0, pending.y0), at(pending.x1, pending.y1), at(pending.x2, pending.y2));
      break;
    case Path::PendingElement::kClose: out.Close(); break;
    default: break;
  }
  pending.kind = Path::PendingElement::kNone;
}

}  // namespace

void Path::FlushPending(PendingElement& pending, StoredPath& out) { FlushPendingElement(pending, out, 0, false); }

void Path::FlushPendingScaled(PendingElement& pending, StoredPath& out, Fixed scale) {
  FlushPendingElement(pending, out, scale, true);
}

StoredPath* RectPath::Build(runtime::ArenaAllocator& arena, const Rect& r) {
  auto* path = runtime::NewInArena<StoredPath>(arena, arena, 10);
  path->MoveTo({r.x0, r.y0});
  path->LineTo({r.x0, r.y1});
  path->LineTo({r.x1, r.y1});
  path->LineTo({r.x1, r.y0});
  path->Close();
  return path;
}

bool Path::IsAxisAlignedRect(std::span<const FixedPoint> points, const Matrix& m, runtime::IntRect& out) {
  if (points.size() < 2) return false;
  size_t begin = 0, end = points.size();
  const auto kind = [&](size_t i) { return StoredPath::KindOf(points[i]); };
  while (end - begin >= 2 && kind(begin) == 0 && kind(begin + 1) == 0) ++begin;
  while (end > begin && kind(end - 1) == 0) --end;
  if (end > begin && kind(end - 1) == 3) --end;
  if (end - begin == 5 && StoredPath::Coordinates(points[end - 1]) == StoredPath::Coordinates(points[begin])) {
    --end;
  }
  if (end - begin != 4) return false;
  if (kind(begin) != 0 || kind(begin + 1) != 1 || kind(begin + 2) != 1 || kind(begin + 3) != 1) return false;
  FixedPoint p[4];
  for (int i = 0; i < 4; ++i) p[i] = StoredPath::Coordinates(points[begin + i]);
  const bool verticalFirst = p[0].x == p[1].x && p[1].y == p[2].y && p[2].x == p[3].x && p[3].y == p[0].y;
  const bool horizontalFirst = p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x;
  if (!verticalFirst && !horizontalFirst) return false;
  Rect box{std::min(p[0].x, p[2].x), std::min(p[0].y, p[2].y), std::max(p[0].x, p[2].x), std::max(p[0].y, p[2].y)};
  out = Rect::ToPixelBounds(Matrix::TransformRectBounds(box, m));
  return out.x0 < out.x1 && out.y0 < out.y1;
}

Fixed Grid::SnapToGrid(Fixed v, int32_t cells) {
  if (cells <= 0) return v;
  const int32_t n = SnappedUnits(v, cells);
  return static_cast<Fixed>((v & ~0xffff) + runtime::FixedDiv(n << 16, cells << 16));
}

int32_t Grid::GridCell(Fixed v, int32_t cells) { return cells <= 0 ? 0 : SnappedUnits(v, cells) % cells; }

int32_t Grid::GridCarry(Fixed v, int32_t cells) { return cells <= 0 ? 0 : SnappedUnits(v, cells) / cells; }

void AccumulatePaintedRect(Rect& painted, const Rect* clip, const Rect& r) {
  painted = Rect::Union(painted, clip != nullptr ? Rect::Intersect(r, *clip) : r);
}

int32_t GreatestCommonDivisor(runtime::LibraryContext* context, int32_t a, int32_t b) {
  if (a == 0 || b == 0) runtime::ThrowError(context, runtime::ErrorRecord{runtime::kRuntimeDomain, runtime::kOverflow, 0});
  uint32_t x = runtime::Magnitude(a), y = runtime::Magnitude(b);
  while (y != 0) {
    const uint32_t r = x % y;
    x = y;
    y = r;
  }
  return static_cast<int32_t>(x);
}

}  // namespace raster
