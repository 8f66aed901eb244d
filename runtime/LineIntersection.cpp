#include "runtime/LineIntersection.h"

#include <algorithm>
#include <cstdint>

namespace runtime {

namespace {

// The side of (px, py) relative to the line through (ax, ay) with the
// given direction terms: zero on the line, the sign tells the side. With
// coordinates below 64.0 each product stays below 8192.0, but their sum can
// reach 32768.0, one bit more than 16.16 holds: it is summed in 64 bits.
int64_t Side(Fixed px, Fixed py, Fixed ax, Fixed ay, Fixed dy, Fixed dxNegated) {
  const int64_t c = int64_t{FixedMul(ax, dy)} + FixedMul(ay, dxNegated);
  return int64_t{FixedMul(px, dy)} + FixedMul(py, dxNegated) - c;
}

bool FitsFixed(int64_t v) { return v >= kFixedLowest && v <= kFixedMax; }

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
    const int64_t side2 = Side(tx2, ty2, tx0, ty0, ty1 - ty0, tx0 - tx1);
    const int64_t side3 = Side(tx3, ty3, tx0, ty0, ty1 - ty0, tx0 - tx1);
    if ((side2 < 0) == (side3 < 0)) return false;
  }
  int64_t n0 = Side(tx0, ty0, tx2, ty2, ty3 - ty2, tx2 - tx3);
  const int64_t n1 = Side(tx1, ty1, tx2, ty2, ty3 - ty2, tx2 - tx3);
  if (segmentMode && (n0 < 0) == (n1 < 0)) return false;
  // The ratio n0 / (n0 - n1) is what matters: halve both until they fit.
  int64_t difference = n0 - n1;
  while (!FitsFixed(n0) || !FitsFixed(difference)) {
    n0 >>= 1;
    difference >>= 1;
  }
  if (FixedDivOverflows(static_cast<Fixed>(n0), static_cast<Fixed>(difference))) return false;
  Fixed along = FixedDiv(static_cast<Fixed>(n0), static_cast<Fixed>(difference));
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
