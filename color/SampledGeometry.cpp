#include "color/SampledGeometry.h"

#include <cmath>

namespace color {

bool InverseMapping::SetFrom(const runtime::Matrix& m) {
  if (!runtime::Matrix::IsSafelyInvertible(m.a, m.b, m.c, m.d)) return false;
  const double ma = runtime::FixedToDouble(m.a), mb = runtime::FixedToDouble(m.b);
  const double mc = runtime::FixedToDouble(m.c), md = runtime::FixedToDouble(m.d);
  const double me = runtime::FixedToDouble(m.e), mf = runtime::FixedToDouble(m.f);
  const double det = ma * md - mb * mc;
  if (!std::isfinite(det) || det == 0) return false;
  a = md / det;
  b = -mb / det;
  c = -mc / det;
  d = ma / det;
  e = (mc * mf - md * me) / det;
  f = (mb * me - ma * mf) / det;
  return true;
}

runtime::Fixed RoundToFixed(double value) {
  const double scaled = std::nearbyint(value * 65536.0);
  if (!(scaled > -2147483647.0)) return runtime::kFixedMin;
  if (scaled > 2147483647.0) return runtime::kFixedMax;
  return static_cast<runtime::Fixed>(scaled);
}

}  // namespace color
