#include "raster/StrokeParameters.h"

#include <algorithm>
#include <cmath>

namespace raster {

void StrokeParameters::SetWidth(Fixed newWidth) {
  width = std::max<Fixed>(newWidth, 0);
  halfWidth = width >> 1;
  halfWidthSquared = runtime::FixedMul(halfWidth, halfWidth);
  // Arc sagitta h·(1 − cos(θ/2)) within the tolerance: cos θ = 2c² − 1 with
  // c = 1 − tolerance / h.
  const double h = halfWidth / 65536.0;
  const double c = h > 0 ? std::max(0.0, 1.0 - (tolerance / 65536.0) / h) : 0.0;
  const double cosine = 2.0 * c * c - 1.0;
  roundThreshold = static_cast<Fixed>(std::clamp(cosine * halfWidthSquared, -2147483647.0, 2147483647.0));
}

Fixed StrokeParameters::SideOffset(FixedPoint direction) const {
  if (diagonalNarrowing == 0) return halfWidth;
  const double x = static_cast<double>(direction.x) * deviceA + static_cast<double>(direction.y) * deviceC;
  const double y = static_cast<double>(direction.x) * deviceB + static_cast<double>(direction.y) * deviceD;
  const double square = x * x + y * y;
  if (square == 0) return halfWidth;
  const double sin2 = std::fabs(2.0 * x * y / square);
  return std::max<Fixed>(halfWidth - static_cast<Fixed>(diagonalNarrowing * sin2), halfWidth / 2);
}

Fixed StrokeParameters::EndPullback(FixedPoint direction) const {
  if (diagonalNarrowing == 0 && uniformNarrowing == 0) return 0;
  return uniformNarrowing + (halfWidth - SideOffset(direction));
}

StrokeParameters StrokeParameters::From(const runtime::StrokeGeometry& geometry, Fixed widthOverride) {
  StrokeParameters p;
  p.miterLimit = geometry.style->miterLimit;
  p.cap = geometry.style->lineCap;
  p.join = geometry.style->lineJoin;
  p.dashes = {geometry.dashes.Data(), geometry.dashes.Count()};
  p.dashPhase = geometry.dashPhase;
  p.tolerance = std::max<Fixed>(geometry.tolerance, 16);
  p.clip = {geometry.cullRect.x0, geometry.cullRect.y0, geometry.cullRect.x1, geometry.cullRect.y1, false};
  if (geometry.cullRect.x0 <= runtime::kFixedMin + 1 && geometry.cullRect.x1 >= runtime::kFixedMax)
    p.clip.clippingOff = true;
  p.SetWidth(widthOverride > 0 ? widthOverride : geometry.width);
  return p;
}

StrokeParameters StrokeParameters::Simple(Fixed width, int32_t cap, int32_t join, Fixed miterLimit, Fixed tolerance) {
  StrokeParameters p;
  p.cap = cap;
  p.join = join;
  p.miterLimit = miterLimit;
  p.tolerance = tolerance;
  p.clip.clippingOff = true;
  p.SetWidth(width);
  return p;
}

}  // namespace raster
