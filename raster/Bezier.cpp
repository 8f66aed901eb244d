#include "raster/Bezier.h"

#include <algorithm>
#include <cmath>

namespace raster {

using runtime::kFixedOne;

namespace {

Fixed Clamp64(int64_t v) {
  if (v > runtime::kFixedMax) return runtime::kFixedMax;
  if (v < runtime::kFixedMin) return runtime::kFixedMin;
  return static_cast<Fixed>(v);
}

// 64-bit value times a 16.16 parameter in [0, 1.0]: no overflow for the
// coefficient sizes a cubic of 16.16 points produces.
int64_t MulT(int64_t v, Fixed t) { return (v * t) >> 16; }

}  // namespace

CubicAxis CubicAxis::From(Fixed p0, Fixed p1, Fixed p2, Fixed p3) {
  CubicAxis axis;
  const int64_t q0 = p0, q1 = p1, q2 = p2, q3 = p3;
  axis.a = q3 - 3 * (q2 - q1) - q0;
  axis.b = 3 * (q2 - 2 * q1 + q0);
  axis.c = 3 * (q1 - q0);
  axis.d = q0;
  axis.first = p0;
  axis.last = p3;
  axis.low = std::min(p0, p3);
  axis.high = std::max(p0, p3);
  return axis;
}

Fixed CubicAxis::At(Fixed t, Fixed offset) const {
  if (t <= 0) return Clamp64(int64_t{first} - offset);
  if (t >= kFixedOne) return Clamp64(int64_t{last} - offset);
  return Clamp64(MulT(MulT(MulT(a, t) + b, t) + c, t) + d - offset);
}

Fixed CubicAxis::DerivativeAt(Fixed t) const {
  if (t <= 0) return Clamp64(c);
  if (t >= kFixedOne) return Clamp64(3 * a + 2 * b + c);
  return Clamp64(MulT(MulT(3 * a, t) + 2 * b, t) + c);
}

namespace Bezier {

FixedPoint PointAt(const FixedPoint p[4], Fixed t) {
  if (t <= 0) return p[0];
  if (t >= kFixedOne) return p[3];
  return {CubicAxis::From(p[0].x, p[1].x, p[2].x, p[3].x).At(t),
          CubicAxis::From(p[0].y, p[1].y, p[2].y, p[3].y).At(t)};
}

FixedPoint DerivativeAt(const FixedPoint p[4], Fixed t) {
  return {CubicAxis::From(p[0].x, p[1].x, p[2].x, p[3].x).DerivativeAt(t),
          CubicAxis::From(p[0].y, p[1].y, p[2].y, p[3].y).DerivativeAt(t)};
}

namespace {

void SubAxis(const CubicAxis& axis, Fixed t0, Fixed t1, Fixed out[4]) {
  const int64_t d = int64_t{t1} - t0;
  const Fixed q0 = axis.At(t0);
  const Fixed q3 = axis.At(t1);
  // B'(t)·d/3: the tangent legs of the sub-curve.
  const int64_t leg0 = (int64_t{axis.DerivativeAt(t0)} * d / 3) >> 16;
  const int64_t leg1 = (int64_t{axis.DerivativeAt(t1)} * d / 3) >> 16;
  out[0] = q0;
  out[1] = Clamp64(q0 + leg0);
  out[2] = Clamp64(q3 - leg1);
  out[3] = q3;
}

}  // namespace

void SubCurve(const FixedPoint p[4], Fixed t0, Fixed t1, FixedPoint out[4]) {
  if (t0 <= 0 && t1 >= kFixedOne) {
    std::copy(p, p + 4, out);
    return;
  }
  Fixed xs[4], ys[4];
  SubAxis(CubicAxis::From(p[0].x, p[1].x, p[2].x, p[3].x), t0, t1, xs);
  SubAxis(CubicAxis::From(p[0].y, p[1].y, p[2].y, p[3].y), t0, t1, ys);
  for (int i = 0; i < 4; ++i) out[i] = {xs[i], ys[i]};
}

namespace {

// Roots of the derivative of one axis strictly inside the parameter range,
// more than 4/65536 from its ends. Solved in double precision: the roots
// are only split positions, and the coefficients fit a double exactly.
int AxisExtrema(Fixed p0, Fixed p1, Fixed p2, Fixed p3, Fixed out[2]) {
  const CubicAxis axis = CubicAxis::From(p0, p1, p2, p3);
  const double qa = 3.0 * static_cast<double>(axis.a);
  const double qb = 2.0 * static_cast<double>(axis.b);
  const double qc = static_cast<double>(axis.c);
  double roots[2];
  int count = 0;
  const double scale = std::max({std::fabs(qa), std::fabs(qb), std::fabs(qc)});
  if (scale == 0) return 0;
  if (std::fabs(qa) <= scale * 1e-12) {
    if (std::fabs(qb) > scale * 1e-12) roots[count++] = -qc / qb;
  } else {
    const double disc = qb * qb - 4 * qa * qc;
    if (disc < 0) return 0;
    const double s = std::sqrt(disc);
    const double q = qb < 0 ? -0.5 * (qb - s) : -0.5 * (qb + s);
    roots[count++] = q / qa;
    if (q != 0) roots[count++] = qc / q;
  }
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    const double t = roots[i] * 65536.0;
    if (!(t > 4.0 && t < 65532.0)) continue;
    out[kept++] = static_cast<Fixed>(std::lround(t));
  }
  if (kept == 2 && out[0] > out[1]) std::swap(out[0], out[1]);
  if (kept == 2 && out[0] == out[1]) kept = 1;
  return kept;
}

}  // namespace

int ExtremaParams(const FixedPoint p[4], Fixed out[4]) {
  Fixed xs[2], ys[2];
  const int nx = AxisExtrema(p[0].x, p[1].x, p[2].x, p[3].x, xs);
  const int ny = AxisExtrema(p[0].y, p[1].y, p[2].y, p[3].y, ys);
  int count = 0;
  int i = 0, j = 0;
  while (i < nx || j < ny) {
    const Fixed next = (j >= ny || (i < nx && xs[i] <= ys[j])) ? xs[i++] : ys[j++];
    if (count == 0 || out[count - 1] != next) out[count++] = next;
  }
  return count;
}

int SplitAtExtrema(const FixedPoint p[4], FixedPoint pieces[5][4]) {
  constexpr int64_t kSplitDrift = 64;  // 1/1024: what splitting can round by
  Fixed params[5];
  int count = ExtremaParams(p, params);
  params[count++] = kFixedOne;
  Fixed start = 0;
  for (int k = 0; k < count; ++k) {
    FixedPoint* piece = pieces[k];
    SubCurve(p, start, params[k], piece);
    // Keep each piece monotone: an inner control that rounding of the split
    // left just beyond the neighbouring end in the direction of travel is
    // pulled back onto that end. A control far beyond it belongs to the
    // curve's shape (a monotone curve whose control polygon overshoots) and
    // stays: moving it would bend the curve itself.
    for (int axis = 0; axis < 2; ++axis) {
      auto get = [axis](FixedPoint& q) -> Fixed& { return axis == 0 ? q.x : q.y; };
      const Fixed from = get(piece[0]), to = get(piece[3]);
      const Fixed low = std::min(from, to), high = std::max(from, to);
      for (int c = 1; c <= 2; ++c) {
        Fixed& v = get(piece[c]);
        if (from == to) {
          v = from;
        } else if ((v < low && low - int64_t{v} <= kSplitDrift) || (v > high && int64_t{v} - high <= kSplitDrift)) {
          v = (v < low) ? low : high;
        }
      }
    }
    start = params[k];
  }
  return count;
}

}  // namespace Bezier

FixedPoint SegmentPointAt(const FixedPoint* points, int pointCount, Fixed t) {
  if (pointCount == 4) return Bezier::PointAt(points, t);
  if (t <= 0) return points[0];
  if (t >= kFixedOne) return points[1];
  return {Clamp64(points[0].x + ((int64_t{points[1].x} - points[0].x) * t >> 16)),
          Clamp64(points[0].y + ((int64_t{points[1].y} - points[0].y) * t >> 16))};
}

}  // namespace raster
