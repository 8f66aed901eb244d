#pragma once
// Cubic Bezier routines in 16.16: evaluation, derivative, sub-curves, the
// parameters of the extrema and the split into monotone pieces. A cubic is
// four points p0..p3; per axis B(t) = ((a t + b) t + c) t + d with
// a = p3 − 3(p2 − p1) − p0, b = 3(p2 − 2p1 + p0), c = 3(p1 − p0), d = p0.
#include <cstdint>

#include "runtime/Fixed.h"

namespace raster {

using runtime::Fixed;
using runtime::FixedPoint;

// One axis of a cubic in power form. The coefficients are kept in 64 bits:
// for coordinates near the 16.16 limits they need up to 35 bits.
struct CubicAxis {
  int64_t a = 0, b = 0, c = 0, d = 0;
  Fixed first = 0, last = 0;  // B(0) and B(1.0)
  Fixed low = 0, high = 0;    // the smaller and larger end value

  static CubicAxis From(Fixed p0, Fixed p1, Fixed p2, Fixed p3);
  // B(t) − offset by Horner's rule; t = 0 and t = 1.0 give the end values
  // exactly.
  Fixed At(Fixed t, Fixed offset = 0) const;
  // 3a t² + 2b t + c.
  Fixed DerivativeAt(Fixed t) const;
};

namespace Bezier {

// B(t); t = 0 gives p0 and t = 1.0 gives p3 exactly.
FixedPoint PointAt(const FixedPoint p[4], Fixed t);
// B'(t); at t = 1.0 exactly 3(p3 − p2), at 0 exactly 3(p1 − p0).
FixedPoint DerivativeAt(const FixedPoint p[4], Fixed t);
// The control points of the part between t0 and t1 (0 <= t0 <= t1 <= 1.0).
void SubCurve(const FixedPoint p[4], Fixed t0, Fixed t1, FixedPoint out[4]);
// The parameters strictly inside (0, 1) (more than 4/65536 from either end)
// where x or y has an extremum, ascending; returns their count (at most 4).
int ExtremaParams(const FixedPoint p[4], Fixed out[4]);
// The curve cut at its extrema into up to five pieces, each monotone in x
// and y; returns the number of pieces.
int SplitAtExtrema(const FixedPoint p[4], FixedPoint pieces[5][4]);

}  // namespace Bezier

// The point of a line (two points) or cubic (four points) at t: the end
// points exactly at 0 and 1.0.
FixedPoint SegmentPointAt(const FixedPoint* points, int pointCount, Fixed t);

}  // namespace raster
