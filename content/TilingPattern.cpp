#include "content/TilingPattern.h"

#include <algorithm>
#include <cmath>

#include "pdf/ArrayReaders.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {
namespace {

using runtime::Fixed;
using runtime::FixedToDouble;

// The grid geometry in doubles: set up once per fill, never per pixel.
struct PatternGrid {
  double a, b, c, d, e, f;     // pattern to device
  double ia, ib, ic, id, ie, iff;  // device to pattern
  double bx0, by0, bx1, by1;   // cell box
  double sx, sy;               // steps

  explicit PatternGrid(const TilingPattern& pattern) {
    const runtime::Matrix& m = pattern.matrix;
    a = FixedToDouble(m.a), b = FixedToDouble(m.b), c = FixedToDouble(m.c);
    d = FixedToDouble(m.d), e = FixedToDouble(m.e), f = FixedToDouble(m.f);
    const double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det)) runtime::ThrowRuntime(runtime::kMalformed);
    ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    ie = -(e * ia + f * ic), iff = -(e * ib + f * id);
    bx0 = FixedToDouble(pattern.bbox.x0), by0 = FixedToDouble(pattern.bbox.y0);
    bx1 = FixedToDouble(pattern.bbox.x1), by1 = FixedToDouble(pattern.bbox.y1);
    sx = FixedToDouble(pattern.xStep), sy = FixedToDouble(pattern.yStep);
  }

  // The device area's corners in pattern space, in order round it.
  void AreaCorners(const runtime::Rect& area, double (&u)[4], double (&v)[4]) const {
    const double x[4] = {FixedToDouble(area.x0), FixedToDouble(area.x1), FixedToDouble(area.x1),
                         FixedToDouble(area.x0)};
    const double y[4] = {FixedToDouble(area.y0), FixedToDouble(area.y0), FixedToDouble(area.y1),
                         FixedToDouble(area.y1)};
    for (int k = 0; k < 4; ++k) {
      u[k] = ia * x[k] + ic * y[k] + ie;
      v[k] = ib * x[k] + id * y[k] + iff;
    }
  }
};

// The indices n for which [lo, hi] + n x step meets [from, to]: n x step
// within [from - hi, to - lo]. Clamped to the int32 range; first > last
// when there is none.
void IndexRange(double from, double to, double lo, double hi, double step, int64_t& first, int64_t& last) {
  constexpr double kSlack = 1e-9;
  const double p = (from - hi) / step, q = (to - lo) / step;
  const double low = std::ceil(std::min(p, q) - kSlack), high = std::floor(std::max(p, q) + kSlack);
  constexpr double kLimit = 2147483647.0;
  first = static_cast<int64_t>(std::clamp(low, -kLimit, kLimit));
  last = static_cast<int64_t>(std::clamp(high, -kLimit, kLimit));
}

// The u extent of the quadrilateral (u, v) cut to the band v0 <= v <= v1;
// false when it misses the band.
bool BandExtent(const double (&u)[4], const double (&v)[4], double v0, double v1, double& umin, double& umax) {
  umin = INFINITY, umax = -INFINITY;
  auto take = [&](double x) { umin = std::min(umin, x), umax = std::max(umax, x); };
  for (int k = 0; k < 4; ++k) {
    if (v[k] >= v0 && v[k] <= v1) take(u[k]);
    const int n = (k + 1) % 4;
    for (double line : {v0, v1}) {
      if ((v[k] < line && v[n] > line) || (v[k] > line && v[n] < line)) {
        take(u[k] + (u[n] - u[k]) * (line - v[k]) / (v[n] - v[k]));
      }
    }
  }
  return umin <= umax;
}

// Walks the rows and, per row, the column range of the cells that can meet
// the area. `row` returns false to stop the walk.
template <class Row>
void WalkRows(const PatternGrid& grid, const runtime::Rect& area, Row&& row) {
  double u[4], v[4];
  grid.AreaCorners(area, u, v);
  const double vmin = *std::min_element(v, v + 4), vmax = *std::max_element(v, v + 4);
  int64_t firstRow = 0, lastRow = 0;
  IndexRange(vmin, vmax, grid.by0, grid.by1, grid.sy, firstRow, lastRow);
  for (int64_t j = firstRow; j <= lastRow; ++j) {
    const double band0 = grid.by0 + static_cast<double>(j) * grid.sy;
    const double band1 = grid.by1 + static_cast<double>(j) * grid.sy;
    double umin = 0, umax = 0;
    if (!BandExtent(u, v, band0, band1, umin, umax)) continue;
    int64_t firstColumn = 0, lastColumn = 0;
    IndexRange(umin, umax, grid.bx0, grid.bx1, grid.sx, firstColumn, lastColumn);
    if (firstColumn > lastColumn) continue;
    if (!row(j, firstColumn, lastColumn)) return;
  }
}

}  // namespace

runtime::Matrix TilingPattern::NormaliseTranslation(const runtime::Matrix& m, Fixed xStep, Fixed yStep) {
  const double a = FixedToDouble(m.a), b = FixedToDouble(m.b), c = FixedToDouble(m.c);
  const double d = FixedToDouble(m.d), e = FixedToDouble(m.e), f = FixedToDouble(m.f);
  const double sx = FixedToDouble(xStep), sy = FixedToDouble(yStep);
  const double det = a * d - c * b;
  // Whole steps to move by; none when the division does not give a number
  // (a singular matrix, a zero step). Beyond 32768 steps the translation
  // keeps the rest.
  auto steps = [](double numerator, double denominator) {
    const double n = numerator / denominator;
    if (!std::isfinite(n)) return 0.0;
    return std::clamp(std::nearbyint(n), -32768.0, 32768.0);
  };
  const double i = steps(c * f - d * e, det * sx);
  const double j = steps(b * e - a * f, det * sy);
  runtime::Matrix out = m;
  out.e = runtime::FixedFromFloatRounded(e + i * a * sx + j * c * sy);
  out.f = runtime::FixedFromFloatRounded(f + i * b * sx + j * d * sy);
  return out;
}

TilingPattern TilingPattern::Parse(const runtime::ObjectHandle& pattern, const runtime::Matrix& base) {
  using runtime::Dictionary;
  TilingPattern result;
  const runtime::ObjectHandle matrixValue = Dictionary::GetOptionalArray(pattern, "Matrix");
  const runtime::Matrix m = matrixValue.IsNull() ? runtime::Matrix{} : pdf::ReadMatrixArray(matrixValue);
  const int32_t paintType = Dictionary::GetInteger(pattern, "PaintType");
  result.tilingType = Dictionary::GetInteger(pattern, "TilingType");
  if (paintType < 1 || paintType > 2 || result.tilingType < 1 || result.tilingType > 3) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  result.xStep = Dictionary::GetNumberOr(pattern, "XStep", 0);
  result.yStep = Dictionary::GetNumberOr(pattern, "YStep", 0);
  if (result.xStep == 0 || result.yStep == 0) runtime::ThrowRuntime(runtime::kMalformed);
  const runtime::Matrix normalised = NormaliseTranslation(m, result.xStep, result.yStep);
  // The normalised matrix, then the base transform, in doubles so that a
  // large base does not wrap.
  const double na = FixedToDouble(normalised.a), nb = FixedToDouble(normalised.b);
  const double nc = FixedToDouble(normalised.c), nd = FixedToDouble(normalised.d);
  const double ne = FixedToDouble(normalised.e), nf = FixedToDouble(normalised.f);
  const double ba = FixedToDouble(base.a), bb = FixedToDouble(base.b), bc = FixedToDouble(base.c);
  const double bd = FixedToDouble(base.d), be = FixedToDouble(base.e), bf = FixedToDouble(base.f);
  result.matrix = runtime::Matrix{runtime::FixedFromFloatRounded(na * ba + nb * bc),      runtime::FixedFromFloatRounded(na * bb + nb * bd),
                                  runtime::FixedFromFloatRounded(nc * ba + nd * bc),      runtime::FixedFromFloatRounded(nc * bb + nd * bd),
                                  runtime::FixedFromFloatRounded(ne * ba + nf * bc + be), runtime::FixedFromFloatRounded(ne * bb + nf * bd + bf)};
  result.bbox = pdf::ReadRectArray(Dictionary::GetArray(pattern, "BBox"));
  result.uncoloured = paintType == 2;
  result.stream = pattern;
  return result;
}

bool TilingPattern::PaintsNothing() const {
  return bbox.IsEmpty() || int64_t{matrix.a} * matrix.d == int64_t{matrix.b} * matrix.c;
}

uint32_t TilingPattern::VisitCells(const runtime::Rect& area, uint32_t limit, bool& complete, CellVisitor visit,
                                   void* user) const {
  complete = true;
  if (area.IsEmpty() || PaintsNothing()) return 0;
  const PatternGrid grid(*this);
  uint32_t visited = 0;
  WalkRows(grid, area, [&](int64_t j, int64_t first, int64_t last) {
    for (int64_t i = first; i <= last; ++i) {
      if (visited >= limit) {
        complete = false;
        return false;
      }
      const double tx = static_cast<double>(i) * grid.sx, ty = static_cast<double>(j) * grid.sy;
      const runtime::Matrix cell{matrix.a, matrix.b, matrix.c, matrix.d,
                                 runtime::FixedFromFloatRounded(tx * grid.a + ty * grid.c + grid.e),
                                 runtime::FixedFromFloatRounded(tx * grid.b + ty * grid.d + grid.f)};
      ++visited;
      visit(user, static_cast<int32_t>(i), static_cast<int32_t>(j), cell);
    }
    return true;
  });
  return visited;
}

uint64_t TilingPattern::CountCells(const runtime::Rect& area, uint64_t cap) const {
  if (area.IsEmpty() || PaintsNothing()) return 0;
  const PatternGrid grid(*this);
  uint64_t count = 0;
  uint64_t rows = 0;
  WalkRows(grid, area, [&](int64_t, int64_t first, int64_t last) {
    count += static_cast<uint64_t>(last - first + 1);
    // A walk over very many rows stops at the cap too.
    return count < cap && ++rows < cap;
  });
  return std::min(std::max(count, rows >= cap ? cap : count), cap);
}

}  // namespace content
