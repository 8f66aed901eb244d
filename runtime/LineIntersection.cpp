#include "runtime/LineIntersection.h"

#include <algorithm>
#include <cstdint>

namespace runtime {

namespace {

// The side of (px, py) relative to the line through (ax, ay) with the
// given direction terms: zero on the line, the sign tells the side.
Fixed Side(Fixed px, Fixed py, Fixed ax, Fixed ay, Fixed dy, Fixed dxNegated) {
  const Fixed c = FixedMul(ax, dy) + FixedMul(ay, dxNegated);
  return FixedMul(px, dy) + FixedMul(py, dxNegated) - c;
}

}  // namespace

bool LineIntersection(Fixed& outX, Fixed& outY, Fixed x0, Fixed y0, Fixed x1, Fixed y1,
                      Fixed x2, Fixed y2, Fixed x3, Fixed y3, bool segmentMode) {
  // Work about the centre of the four points, scaled down to below 64.0 so
  // that the side products cannot overflow. The translation is done in 64
  // bits: far-apart points may differ by more than 32 bits hold.
  const int64_t cx = (x0 >> 2) + (x1 >> 2) + (x2 >> 2) + (x3 >> 2);
  const int64_t cy = (y0 >> 2) + (y1 >> 2) + (y2 >> 2) + (y3 >> 2);
  int64_t t[8] = {x0 - cx, y0 - cy, x1 - cx, y1 - cy, x2 - cx, y2 - cy, x3 - cx, y3 - cy};
  int64_t largest = 0;
  for (int64_t v : t) largest = std::max(largest, v < 0 ? -v : v);
  while (largest >= 0x400001) {
    for (int64_t& v : t) v >>= 1;
    largest >>= 1;
  }
  Fixed s[8];
  for (int i = 0; i < 8; ++i) s[i] = static_cast<Fixed>(t[i]);
  const Fixed &tx0 = s[0], &ty0 = s[1], &tx1 = s[2], &ty1 = s[3];
  const Fixed &tx2 = s[4], &ty2 = s[5], &tx3 = s[6], &ty3 = s[7];

  if (segmentMode) {
    const Fixed side2 = Side(tx2, ty2, tx0, ty0, ty1 - ty0, tx0 - tx1);
    const Fixed side3 = Side(tx3, ty3, tx0, ty0, ty1 - ty0, tx0 - tx1);
    if ((side2 < 0) == (side3 < 0)) return false;
  }
  const Fixed n0 = Side(tx0, ty0, tx2, ty2, ty3 - ty2, tx2 - tx3);
  const Fixed n1 = Side(tx1, ty1, tx2, ty2, ty3 - ty2, tx2 - tx3);
  if (segmentMode && (n0 < 0) == (n1 < 0)) return false;
  if (FixedDivOverflows(n0, n0 - n1)) return false;
  Fixed along = FixedDiv(n0, n0 - n1);
  if (segmentMode) along = std::clamp(along, 0, kFixedOne);

  // The point from the original coordinates; anything that does not fit
  // sets the flag.
  int32_t overflow = 0;
  const int64_t rest = int64_t{kFixedOne} - along;
  if (rest > kFixedMax || rest < kFixedLowest) overflow = 1;
  const Fixed restFixed = static_cast<Fixed>(std::clamp<int64_t>(rest, kFixedMin, kFixedMax));
  FixedAddWithOverflow(outX, FixedMulChecked(restFixed, x0, overflow),
                       FixedMulChecked(along, x1, overflow), overflow);
  FixedAddWithOverflow(outY, FixedMulChecked(restFixed, y0, overflow),
                       FixedMulChecked(along, y1, overflow), overflow);
  return overflow == 0;
}

}  // namespace runtime
