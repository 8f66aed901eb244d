#include "raster/OffsetCurve.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "raster/Bezier.h"

namespace raster {

namespace {

// Least-squares tables for 2 to 6 samples at u_j = (j + 1) / (n + 1):
// (1 − u)³, u³ and the weights of the first inner control.
struct FitTable {
  Fixed a[6], b[6], w[6];
};
constexpr FitTable kFitTables[5] = {
    {{19418, 2427}, {2427, 19418}, {196608, -98304}},
    {{27648, 8192, 1024}, {1024, 8192, 27648}, {147348, 41120, -85667}},
    {{33554, 14155, 4194, 524}, {524, 4194, 14155, 33554}, {112027, 77018, -14003, -70017}},
    {{37925, 19418, 8192, 2427, 303}, {303, 2427, 8192, 19418, 37925}, {87111, 81835, 27327, -33252, -56747}},
    {{41270, 23883, 12228, 5158, 1528, 191},
     {191, 1528, 5158, 12228, 23883, 41270},
     {69284, 76930, 46063, -188, -38701, -46347}},
};

FixedPoint OffsetBy(FixedPoint p, FixedPoint n) {
  return {runtime::FixedAddSat(p.x, n.x), runtime::FixedAddSat(p.y, n.y)};
}

int64_t OffsetTaxicab(FixedPoint a, FixedPoint b) {
  return std::llabs(int64_t{a.x} - b.x) + std::llabs(int64_t{a.y} - b.y);
}

FixedPoint OffsetTangent(const StrokeSegment& curve, Fixed t, Fixed halfWidth) {
  const FixedPoint n = OffsetCurve::NormalAt(curve, t, halfWidth);
  return {n.y, runtime::NegateSat(n.x)};
}

}  // namespace

Fixed FixedFromDoubleSat(double v) {
  if (!(v == v)) return 0;
  return static_cast<Fixed>(std::clamp(std::nearbyint(v), -2147483647.0, 2147483647.0));
}

namespace OffsetCurve {

FixedPoint NormalAt(const StrokeSegment& curve, Fixed t, Fixed halfWidth, const StrokeParameters* sides) {
  FixedPoint d = Bezier::DerivativeAt(curve.points, t);
  double dx = d.x, dy = d.y;
  if (std::fabs(dx) + std::fabs(dy) <= 8) {
    // The derivative vanishes: the direction through a short span instead,
    // then the chord.
    const Fixed span = 256;
    const FixedPoint a = curve.At(std::max<Fixed>(t - span, 0));
    const FixedPoint b = curve.At(std::min<Fixed>(t + span, runtime::kFixedOne));
    dx = static_cast<double>(b.x) - a.x;
    dy = static_cast<double>(b.y) - a.y;
    if (std::fabs(dx) + std::fabs(dy) <= 0) {
      dx = static_cast<double>(curve.points[3].x) - curve.points[0].x;
      dy = static_cast<double>(curve.points[3].y) - curve.points[0].y;
    }
  }
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length == 0) return {0, 0};
  if (sides != nullptr)
    halfWidth =
        sides->SideOffset({FixedFromDoubleSat(dx / length * 65536.0), FixedFromDoubleSat(dy / length * 65536.0)});
  const double scale = halfWidth / length;
  return {FixedFromDoubleSat(-dy * scale), FixedFromDoubleSat(dx * scale)};
}

bool Fits(const StrokeSegment& curve, Fixed t0, Fixed t1, const StrokeParameters& params, bool force,
          OffsetPiece& out) {
  const Fixed h = params.halfWidth;
  out.centreStart = curve.At(t0);
  out.centreEnd = curve.At(t1);
  out.start = OffsetBy(out.centreStart, NormalAt(curve, t0, h, &params));
  out.end = OffsetBy(out.centreEnd, NormalAt(curve, t1, h, &params));
  const int64_t tolerance = int64_t{params.tolerance} + 16;
  if ((!params.clip.clippingOff && ClipZone::SameOutside(params.clip, out.start, out.end)) ||
      OffsetTaxicab(out.start, out.end) < tolerance) {
    out.control1 = out.start;
    out.control2 = out.end;
    return true;
  }
  const int n = std::clamp(params.sampleCount, 2, 6);
  const FitTable& table = kFitTables[n - 2];
  const Fixed step = (t1 - t0) / (n + 1);
  FixedPoint samples[6];
  // Relative to the offset start, so that the products stay small.
  const int64_t ox = out.start.x, oy = out.start.y;
  const int64_t ex = int64_t{out.end.x} - ox, ey = int64_t{out.end.y} - oy;
  int64_t c1x = 0, c1y = 0, c2x = 0, c2y = 0;
  for (int j = 0; j < n; ++j) {
    const Fixed t = t0 + (j + 1) * step;
    samples[j] = OffsetBy(curve.At(t), NormalAt(curve, t, h, &params));
    const int64_t rx = (int64_t{samples[j].x} - ox) - ((table.b[j] * ex) >> 16);
    const int64_t ry = (int64_t{samples[j].y} - oy) - ((table.b[j] * ey) >> 16);
    c1x += (table.w[j] * rx) >> 16;
    c1y += (table.w[j] * ry) >> 16;
    c2x += (table.w[n - 1 - j] * rx) >> 16;
    c2y += (table.w[n - 1 - j] * ry) >> 16;
  }
  out.control1 = {FixedFromDoubleSat(static_cast<double>(ox + c1x)), FixedFromDoubleSat(static_cast<double>(oy + c1y))};
  out.control2 = {FixedFromDoubleSat(static_cast<double>(ox + c2x)), FixedFromDoubleSat(static_cast<double>(oy + c2y))};
  if (force) return true;

  // Control legs must point along the offset curve's end tangents; a leg
  // that points against its tangent is laid along it, a third of the chord.
  bool corrected = false;
  const double chord = std::hypot(static_cast<double>(ex), static_cast<double>(ey)) / 3.0;
  auto fixLeg = [&](FixedPoint anchor, FixedPoint& control, FixedPoint tangent, double sign) {
    const double lx = static_cast<double>(control.x) - anchor.x, ly = static_cast<double>(control.y) - anchor.y;
    if ((lx * tangent.x + ly * tangent.y) * sign >= 0) return;
    const double tl = std::hypot(static_cast<double>(tangent.x), static_cast<double>(tangent.y));
    if (tl == 0) return;
    control = {FixedFromDoubleSat(anchor.x + sign * tangent.x / tl * chord),
               FixedFromDoubleSat(anchor.y + sign * tangent.y / tl * chord)};
    corrected = true;
  };
  fixLeg(out.start, out.control1, OffsetTangent(curve, t0, runtime::kFixedOne), 1.0);
  fixLeg(out.end, out.control2, OffsetTangent(curve, t1, runtime::kFixedOne), -1.0);

  const FixedPoint fitted[4] = {out.start, out.control1, out.control2, out.end};
  if (corrected || n > 2) {
    const Fixed du = runtime::kFixedOne / (n + 1);
    for (int j = 0; j < n; ++j)
      if (OffsetTaxicab(samples[j], Bezier::PointAt(fitted, (j + 1) * du)) > tolerance) return false;
  }
  if (n == 2) {
    const Fixed middle = static_cast<Fixed>((int64_t{t0} + t1) / 2);
    const FixedPoint sample = OffsetBy(curve.At(middle), NormalAt(curve, middle, h, &params));
    return OffsetTaxicab(sample, Bezier::PointAt(fitted, runtime::kFixedOne / 2)) <= tolerance;
  }
  return true;
}

}  // namespace OffsetCurve

}  // namespace raster
