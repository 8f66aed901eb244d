#include "raster/PathGeometry.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace raster {

using runtime::FixedAddSat;
using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::FixedSubSat;
using runtime::kFixedOne;

namespace FixedVec {

Fixed Cross(FixedPoint a, FixedPoint b) {
  return FixedSubSat(FixedMul(a.x, b.y), FixedMul(a.y, b.x));
}

Fixed Dot(FixedPoint a, FixedPoint b) { return FixedAddSat(FixedMul(a.x, b.x), FixedMul(a.y, b.y)); }

Fixed DotChecked(FixedPoint a, FixedPoint b, int32_t& flag) {
  const Fixed xx = runtime::FixedMulChecked(a.x, b.x, flag);
  const Fixed yy = runtime::FixedMulChecked(a.y, b.y, flag);
  Fixed sum = 0;
  runtime::FixedAddWithOverflow(sum, xx, yy, flag);
  return sum;
}

FixedPoint Scale(FixedPoint v, Fixed s) { return {FixedMul(v.x, s), FixedMul(v.y, s)}; }

FixedPoint DivScalar(FixedPoint v, Fixed s) { return {FixedDiv(v.x, s), FixedDiv(v.y, s)}; }

int Quadrant(Fixed x, Fixed y) {
  if (x > 0 && y <= 0) return 1;
  if (x <= 0 && y < 0) return 2;
  if (x < 0 && y >= 0) return 3;
  if (x >= 0 && y > 0) return 4;
  return 1;
}

bool NormalScaled(FixedPoint v, Fixed halfWidth, Fixed minLength, FixedPoint& out) {
  const Fixed length = runtime::FixedHypotScaled(v.x, v.y);
  if (length <= minLength) return false;
  const Fixed factor = FixedDiv(halfWidth, length);
  out = {FixedMul(runtime::NegateSat(v.y), factor), FixedMul(v.x, factor)};
  return true;
}

FixedPoint Bisector(FixedPoint a, FixedPoint b, Fixed halfWidth) {
  const int quadrant = Quadrant(Cross(a, b), Dot(a, b));
  FixedPoint direction;
  if (quadrant == 1 || quadrant == 4) {
    direction = {Midpoint(a.x, b.x), Midpoint(a.y, b.y)};
  } else if (quadrant == 2) {
    direction = {Midpoint(a.x, runtime::NegateSat(b.x)), Midpoint(a.y, runtime::NegateSat(b.y))};
  } else {
    direction = {runtime::NegateSat(Midpoint(a.x, b.x)), runtime::NegateSat(Midpoint(a.y, b.y))};
  }
  const Fixed length = runtime::FixedHypotScaled(direction.x, direction.y);
  if (length == 0) return {0, 0};
  const Fixed factor = FixedDiv(halfWidth, length);
  return {FixedMul(direction.x, factor), FixedMul(direction.y, factor)};
}

}  // namespace FixedVec

namespace Point {

bool Near(FixedPoint a, FixedPoint b, Fixed s) {
  const int64_t limit = FixedMul(s, 4);
  return std::llabs(int64_t{a.x} - b.x) <= limit && std::llabs(int64_t{a.y} - b.y) <= limit;
}

}  // namespace Point

bool FixedInRange(Fixed v, Fixed a, Fixed b) {
  return a <= b ? (a <= v && v <= b) : (b <= v && v <= a);
}

Fixed FixedToScaledRound(Fixed v) {
  const int64_t scaled = (int64_t{FixedMul(v, 0x8000000)} + 0x8000) & ~int64_t{0xffff};
  return static_cast<Fixed>(std::min<int64_t>(scaled, runtime::kFixedMax & ~0xffff));
}

namespace ClipZone {

int ZoneOfPoint(FixedPoint p, const FixedClipBox& box) {
  const int column = p.x < box.xmin ? 0 : (p.x > box.xmax ? 2 : 1);
  if (p.y > box.ymax) return 7 - column;
  if (p.y < box.ymin) return 1 + column;
  static constexpr int kMiddle[3] = {8, 0, 4};
  return kMiddle[column];
}

bool SameOutside(const FixedClipBox& box, FixedPoint a, FixedPoint b) {
  const int zone = ZoneOfPoint(a, box);
  return zone != 0 && zone == ZoneOfPoint(b, box);
}

bool AllSameOutside(const FixedClipBox& box, FixedPoint p0, FixedPoint p1, FixedPoint p2,
                    FixedPoint p3) {
  const int zone = ZoneOfPoint(p0, box);
  return zone != 0 && zone == ZoneOfPoint(p1, box) && zone == ZoneOfPoint(p2, box) &&
         zone == ZoneOfPoint(p3, box);
}

}  // namespace ClipZone

Fixed LineSlope::YAtX(Fixed x) {
  if (!haveSlope_) {
    slope_ = FixedDiv(FixedSubSat(b_.y, a_.y), FixedSubSat(b_.x, a_.x));
    haveSlope_ = true;
  }
  return FixedAddSat(a_.y, FixedMul(FixedSubSat(x, a_.x), slope_));
}

Fixed LineSlope::XAtY(Fixed y) {
  if (!haveInverse_) {
    inverse_ = FixedDiv(FixedSubSat(b_.x, a_.x), FixedSubSat(b_.y, a_.y));
    haveInverse_ = true;
  }
  return FixedAddSat(a_.x, FixedMul(FixedSubSat(y, a_.y), inverse_));
}

void HalfCircle(FixedPoint centre, FixedPoint r, FixedPoint out[7]) {
  constexpr Fixed k = 36194;  // 4/3·tan(22.5°): a quarter circle's control distance
  static constexpr Fixed kUnit[7][2] = {{kFixedOne, 0},  {kFixedOne, -k}, {k, -kFixedOne},
                                        {0, -kFixedOne}, {-k, -kFixedOne}, {-kFixedOne, -k},
                                        {-kFixedOne, 0}};
  for (int i = 0; i < 7; ++i) {
    const Fixed ux = kUnit[i][0], uy = kUnit[i][1];
    // Matrix [dx dy; −dy dx] in the row-vector convention.
    const Fixed x = FixedAddSat(FixedMul(ux, r.x), FixedMul(uy, runtime::NegateSat(r.y)));
    const Fixed y = FixedAddSat(FixedMul(ux, r.y), FixedMul(uy, r.x));
    out[i] = {FixedAddSat(centre.x, x), FixedAddSat(centre.y, y)};
  }
}

namespace {

// 4/3·tan(θ/4) for cos θ = i/128, truncated to 16.16.
std::array<Fixed, 129> BuildArcFactors() {
  std::array<Fixed, 129> table{};
  for (int i = 0; i <= 128; ++i) {
    const double theta = std::acos(i / 128.0);
    table[static_cast<size_t>(i)] = static_cast<Fixed>(65536.0 * 4.0 / 3.0 * std::tan(theta / 4.0));
  }
  table[128] = 0;
  return table;
}

}  // namespace

Fixed ArcFactor(int index) {
  static const std::array<Fixed, 129> table = BuildArcFactors();
  if (index < 0) index = 0;
  if (index > 128) index = 128;
  return table[static_cast<size_t>(index)];
}

int ArcFactorIndex(FixedPoint u, FixedPoint v, Fixed h) {
  const Fixed hh = FixedMul(h, h);
  const Fixed ratio = FixedDiv(FixedVec::Dot(u, v), hh);
  const int64_t index = (int64_t{ratio} * 128 + 0x8000) >> 16;
  if (index < 0) return 0;
  return index > 128 ? 128 : static_cast<int>(index);
}

}  // namespace raster
