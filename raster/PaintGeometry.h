#pragma once
// Small geometric operations that the painter, the image and shading code
// and the path code share: overlap with a stroke margin, whether painted
// content can reach a rectangle under a changed matrix, a rectangle path and
// the recognition of a path that is one, grid snapping, and Euclid.
#include <cstdint>
#include <cstring>
#include <span>

#include "raster/PathEdges.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace raster {

using runtime::Fixed;
using runtime::FixedPoint;
using runtime::Matrix;
using runtime::Rect;

// What the stroke margin reads of a graphics state.
struct StrokeMargin {
  Fixed lineWidth = 0;    // 0: the thinnest line, taken as 6 raw units
  Fixed widthFactor = 0;  // raised to at least 1.4143 (the diagonal of a square pen)

  // FixedMulChecked(w, f) / 2, or w itself when the product overflows.
  Fixed Margin() const;
};

// Without `grow`: Rect::Intersects(b, a). With it, b is first grown on each
// side by the stroke margin.
bool IntersectsWithMargin(const StrokeMargin& state, const Rect& a, const Rect& b, bool grow);

namespace Quad {
// The corners p1 + a, p2 + a, p2 + b, p1 + b as four x and four y values.
void FromEdgeOffsets(FixedPoint p1, FixedPoint p2, Fixed* xs, Fixed* ys, FixedPoint a, FixedPoint b);
}  // namespace Quad

// Painted content with stored bounds in its own space and its own matrix.
struct PaintBounds {
  // Marks bounds that were never stored.
  static constexpr Fixed kNoBounds = static_cast<Fixed>(0x80000001);

  bool hasBounds = false;
  Rect bounds;
  Matrix matrix;  // the object's own matrix N
  StrokeMargin stroke;

  // Whether the content, drawn again under `m` instead of the matrix it was
  // recorded under, may reach `rect`. True when unknown (no bounds, an
  // overflow); (runtime, 2) for a singular matrix.
  static bool MayIntersect(const PaintBounds& object, const Matrix& m, const Rect& rect, bool grow);
};

namespace RectPath {
// moveto (x0, y0), lineto (x0, y1), (x1, y1), (x1, y0), closepath.
StoredPath* Build(runtime::ArenaAllocator& arena, const Rect& r);
}  // namespace RectPath

namespace Path {
// True when the points are one axis-aligned rectangle (a moveto and three
// linetos alternating horizontal and vertical edges, with an optional close
// and a repeated first point); `out` gets its bounds under m rounded out to
// pixels, and the answer is whether that is non-empty.
bool IsAxisAlignedRect(std::span<const FixedPoint> points, const Matrix& m, runtime::IntRect& out);

// The element a path builder holds back until the next one arrives (so
// that it can still be joined or replaced): a move, a line, a curve (two
// control points and its end) or a close.
struct PendingElement {
  enum Kind : uint8_t { kNone = 0, kMove = 1, kLine = 2, kCurve = 3, kClose = 4 };
  Fixed x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint8_t kind = kNone;
};

// Appends the quadrilateral p1 + a, p2 + a, p2 + b, p1 + b as a closed
// sub-path (a move, three lines, a close). When p1 equals p2 nothing is
// appended and the answer is true.
bool AddQuad(StoredPath& out, FixedPoint p1, FixedPoint p2, FixedPoint a, FixedPoint b);
// Appends the pending element (a curve as its three points) and clears
// it; kNone and unknown kinds append nothing.
void FlushPending(PendingElement& pending, StoredPath& out);
// The same with every coordinate first scaled by `scale` (1.0 = 0x10000).
void FlushPendingScaled(PendingElement& pending, StoredPath& out, Fixed scale);
}  // namespace Path

// Snapping to a grid of w x h cells per unit. n = round(w x fraction) (0x8000
// when the product reaches 0x7fff8000).
namespace Grid {
Fixed SnapToGrid(Fixed v, int32_t cells);
int32_t GridCell(Fixed v, int32_t cells);
// 1 exactly when the fraction rounds up to the next whole unit.
int32_t GridCarry(Fixed v, int32_t cells);
}  // namespace Grid

// r clipped to `clip` when there is one, then united into the painted-area
// bounds.
void AccumulatePaintedRect(Rect& painted, const Rect* clip, const Rect& r);

// The record whose first 32-bit word is largest; on a tie the later one.
template <class Record>
const Record& MaxOfThreeByFirstWord(const Record& p, const Record& q, const Record& r) {
  const auto first = [](const Record& record) {
    int32_t word;
    static_assert(sizeof(Record) >= sizeof(word));
    std::memcpy(&word, &record, sizeof(word));
    return word;
  };
  const Record& best = first(q) >= first(p) ? q : p;
  return first(r) >= first(best) ? r : best;
}

// Euclid on 32-bit integers; (runtime, 1) when a or b is 0.
int32_t GreatestCommonDivisor(runtime::LibraryContext* context, int32_t a, int32_t b);

}  // namespace raster
