#include "runtime/EdgeRecord.h"

#include <algorithm>

namespace runtime {

namespace {

// dx / dy for the edge. Far-apart ends can differ by more than 32 bits
// hold; such differences are halved together, which keeps the slope.
Fixed Slope(Fixed x0, Fixed y0, Fixed x1, Fixed y1) {
  int64_t dx = int64_t{x0} - x1;
  int64_t dy = int64_t{y0} - y1;
  while (dx > kFixedMax || dx < kFixedLowest || dy > kFixedMax || dy < kFixedLowest) {
    dx /= 2;
    dy /= 2;
  }
  const Fixed fdx = static_cast<Fixed>(dx), fdy = static_cast<Fixed>(dy);
  return FixedDivOverflows(fdx, fdy) ? 0 : FixedDiv(fdx, fdy);
}

}  // namespace

void EdgeRecord::Init(FixedPoint p, FixedPoint q, uint8_t callerTag) {
  chain = nullptr;
  pending = 1;
  tag = callerTag;
  startsInRow = 0;
  if ((p.y >> 16) != (q.y >> 16)) {
    const bool pIsTop = p.y < q.y;
    const FixedPoint& top = pIsTop ? p : q;
    const FixedPoint& bottom = pIsTop ? q : p;
    x0 = top.x;
    y0 = top.y;
    x1 = bottom.x;
    y1 = bottom.y;
    direction = pIsTop ? kDownward : kUpward;
    slope = Slope(x0, y0, x1, y1);
    if (slope == 0) x1 = x0;
  } else {
    x0 = std::min(p.x, q.x);
    x1 = std::max(p.x, q.x);
    y0 = std::min(p.y, q.y);
    y1 = std::max(p.y, q.y);
    direction = kFlat;
    slope = 0;
  }
}

Fixed EdgeRecord::ScanlineSpan(Fixed y) {
  if (slope == 0) {
    if (pending != 0) {
      left = x0;
      right = x1;
      pending = 0;
    }
    return 0;
  }
  // Coordinates are device positions; the sums wrap like the 32-bit
  // arithmetic they model rather than trap.
  const Fixed xa = WrapAdd(x0, FixedMul(slope, WrapSub(y, y0)));
  const Fixed start = y < y0 ? x0 : xa;
  const Fixed other = int64_t{y} + kFixedOne < y1 ? WrapAdd(xa, slope) : x1;
  left = std::min(start, other);
  right = std::max(start, other);
  return xa;
}

int EdgeRecord::Compare(const EdgeRecord& a, const EdgeRecord& b) {
  if (a.left != b.left) return a.left < b.left ? -1 : 1;
  if (a.right != b.right) return a.right < b.right ? -1 : 1;
  const bool aCloses = a.tag != 0, bCloses = b.tag != 0;
  if (aCloses != bCloses) return aCloses ? 1 : -1;
  return int{a.direction} - int{b.direction};
}

}  // namespace runtime
