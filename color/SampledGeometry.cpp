#include "color/SampledGeometry.h"

#include <algorithm>
#include <cmath>

namespace color {

namespace {

// A determinant below this fraction of the largest squared coefficient
// leaves the matrix flattened to a line: it has no usable inverse.
constexpr double kSingularRatio = 1e-10;

double ToDouble(runtime::Fixed v) { return runtime::FixedToDouble(v); }

}  // namespace

bool InverseMapping::SetFrom(const runtime::Matrix& m) {
  return SetFrom(ToDouble(m.a), ToDouble(m.b), ToDouble(m.c), ToDouble(m.d), ToDouble(m.e), ToDouble(m.f));
}

bool InverseMapping::SetFrom(double ma, double mb, double mc, double md, double me, double mf) {
  const double scale = std::max(std::max(std::fabs(ma), std::fabs(mb)), std::max(std::fabs(mc), std::fabs(md)));
  const double det = ma * md - mb * mc;
  if (!std::isfinite(det) || scale == 0 || std::fabs(det) < kSingularRatio * scale * scale) return false;
  const double inverse[6] = {md / det, -mb / det, -mc / det, ma / det, (mc * mf - md * me) / det,
                             (mb * me - ma * mf) / det};
  for (double value : inverse)
    if (!std::isfinite(value)) return false;
  a = inverse[0];
  b = inverse[1];
  c = inverse[2];
  d = inverse[3];
  e = inverse[4];
  f = inverse[5];
  return true;
}

bool InverseMapping::SetFromProduct(const runtime::Matrix& first, const runtime::Matrix& second) {
  const double fa = ToDouble(first.a), fb = ToDouble(first.b), fc = ToDouble(first.c), fd = ToDouble(first.d);
  const double fe = ToDouble(first.e), ff = ToDouble(first.f);
  const double sa = ToDouble(second.a), sb = ToDouble(second.b), sc = ToDouble(second.c), sd = ToDouble(second.d);
  const double se = ToDouble(second.e), sf = ToDouble(second.f);
  return SetFrom(fa * sa + fb * sc, fa * sb + fb * sd, fc * sa + fd * sc, fc * sb + fd * sd, fe * sa + ff * sc + se,
                 fe * sb + ff * sd + sf);
}

runtime::Fixed RoundToFixed(double value) {
  const double scaled = std::nearbyint(value * 65536.0);
  if (!(scaled > -2147483647.0)) return runtime::kFixedMin;
  if (scaled > 2147483647.0) return runtime::kFixedMax;
  return static_cast<runtime::Fixed>(scaled);
}

}  // namespace color
