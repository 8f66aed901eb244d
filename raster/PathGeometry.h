#pragma once
// 16.16 vector, line and clip-zone routines that edge building, stroking
// and dashing stand on. Nothing here fails: sums that can overflow
// saturate (0x7fffffff or 0x80000001) and divisions by zero give the
// saturated quotient.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Rect.h"

namespace raster {

using runtime::Fixed;
using runtime::FixedPoint;

namespace FixedVec {

// a.x·b.y − a.y·b.x and a.x·b.x + a.y·b.y with FixedMul and saturating sums.
Fixed Cross(FixedPoint a, FixedPoint b);
Fixed Dot(FixedPoint a, FixedPoint b);
// The dot product with overflow-checked products; sets `flag` on overflow.
Fixed DotChecked(FixedPoint a, FixedPoint b, int32_t& flag);
FixedPoint Scale(FixedPoint v, Fixed s);
FixedPoint DivScalar(FixedPoint v, Fixed s);
// Exact half of a + b even when the 32-bit sum overflows (the 33-bit sum
// shifted arithmetically).
inline Fixed Midpoint(Fixed a, Fixed b) { return static_cast<Fixed>((int64_t{a} + b) >> 1); }
inline FixedPoint Midpoint(FixedPoint a, FixedPoint b) {
  return {Midpoint(a.x, b.x), Midpoint(a.y, b.y)};
}
// 1: x > 0, y <= 0; 2: x <= 0, y < 0; 3: x < 0, y >= 0; 4: x >= 0, y > 0;
// (0, 0) is 1.
int Quadrant(Fixed x, Fixed y);
// (−v.y, v.x) scaled to `halfWidth`; false when |v| is not above `minLength`.
bool NormalScaled(FixedPoint v, Fixed halfWidth, Fixed minLength, FixedPoint& out);
// A direction between a and b picked by the quadrant of (cross, dot): half
// their sum, half their difference or the negated half sum, scaled to
// `halfWidth`.
FixedPoint Bisector(FixedPoint a, FixedPoint b, Fixed halfWidth);

}  // namespace FixedVec

namespace Point {
// Both |dx| and |dy| at most FixedMul(s, 4).
bool Near(FixedPoint a, FixedPoint b, Fixed s);
}  // namespace Point

// v between a and b inclusive, whichever is larger.
bool FixedInRange(Fixed v, Fixed a, Fixed b);
// FixedMul(v, 0x8000000) rounded to a whole 16.16 value.
Fixed FixedToScaledRound(Fixed v);

// A clip box of 16.16 coordinates.
struct FixedClipBox {
  Fixed xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  bool clippingOff = false;
};

namespace ClipZone {
// Zone 0 to 8 of a point against the box; points on the border are inside
// (zone 0). Row y > ymax: 7 6 5; inside rows: 8 0 4; y < ymin: 1 2 3.
int ZoneOfPoint(FixedPoint p, const FixedClipBox& box);
// Both points in one zone other than 0.
bool SameOutside(const FixedClipBox& box, FixedPoint a, FixedPoint b);
bool AllSameOutside(const FixedClipBox& box, FixedPoint p0, FixedPoint p1, FixedPoint p2,
                    FixedPoint p3);
}  // namespace ClipZone

// A line with its slope and inverse slope, each computed on first use.
class LineSlope {
 public:
  LineSlope(FixedPoint a, FixedPoint b) : a_(a), b_(b) {}
  // Moves the start to p, keeping the end; the cached slopes are dropped.
  void Rebase(FixedPoint p) {
    a_ = p;
    haveSlope_ = haveInverse_ = false;
  }
  // y0 + (x − x0)·dy/dx and x0 + (y − y0)·dx/dy, saturating.
  Fixed YAtX(Fixed x);
  Fixed XAtY(Fixed y);

 private:
  FixedPoint a_, b_;
  Fixed slope_ = 0, inverse_ = 0;
  bool haveSlope_ = false, haveInverse_ = false;
};

// The seven points of two cubics from centre + r to centre − r through the
// side left of r.
void HalfCircle(FixedPoint centre, FixedPoint r, FixedPoint out[7]);
// Control-point distance factor of a circular arc whose angle has the cosine
// index / 128 (index clamped to 0..128).
Fixed ArcFactor(int index);
// The table index for two offset vectors of length h.
int ArcFactorIndex(FixedPoint u, FixedPoint v, Fixed h);

}  // namespace raster
