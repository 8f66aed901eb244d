#include "runtime/StrokeGeometry.h"

#include <algorithm>
#include <cstring>

namespace runtime {

namespace {

constexpr Fixed kQuarter = 0x4000;          // a quarter device pixel
constexpr Fixed kMinimumTolerance = 64;     // 64/65536
constexpr Fixed kUniformWidthLimit = 0x3e80000;  // 1000.0
constexpr Fixed kMaximumJoinFactor = 0x140000;   // 20.0

Fixed LargerScale(const Matrix& matrix) {
  Fixed larger = 0, smaller = 0;
  Matrix::ScaleExtremes(matrix, larger, smaller);
  return larger;
}

// FixedMul that saturates instead of wrapping: a huge width times a scale
// must stay huge, not wrap into a thin or negative one.
Fixed MulSat(Fixed a, Fixed b) {
  const int64_t product = (int64_t{a} * b) >> 16;
  return static_cast<Fixed>(std::clamp<int64_t>(product, kFixedMin, kFixedMax));
}

}  // namespace

StrokeGeometry::StrokeGeometry(LibraryContext* context, const StrokeStyle& source,
                               const IntRect& deviceClip, const Matrix& matrix)
    : style(&source), dashPhase(source.dashPhase), dashes(context, 0) {
  inverseScale = FixedDiv(kFixedOne, LargerScale(matrix));
  cullRect = CullRect(source, deviceClip, matrix);
  tolerance = Tolerance(matrix);
  thin = IsThin(source, matrix);
  Fixed deviceWidth = 0;
  width = EffectiveWidth(source, matrix, deviceWidth);
  undashedTolerance = !source.IsDashed() && width < kFixedNinety ? QuarterPixel(matrix) : 0;
  dashes.Resize(source.dashes.Count());
  if (dashes.Count() != 0)
    std::memcpy(dashes.Data(), source.dashes.Data(), dashes.ByteSize());
  if (AbsSat(width) >= kFixedNinety) StrokeStyle::NormalizeByWidth(*this, matrix);
  halfWidth = width >> 1;
  halfWidthSquared = FixedMul(halfWidth, halfWidth);
}

Fixed StrokeGeometry::EffectiveWidth(const StrokeStyle& style, const Matrix& matrix,
                                     Fixed& deviceWidth) {
  Fixed larger = 0, smaller = 0;
  Matrix::ScaleExtremes(matrix, larger, smaller);
  const bool nearlyUniform = larger - smaller <= FixedMulByFloat(smaller, 0.3) && larger > 0 &&
                             MulSat(style.width, larger) <= kUniformWidthLimit;
  // A matrix that collapses the path still gets a visible width.
  Fixed floor = larger < kFixedOne && FixedMul(kFixedMax, larger) <= 0 ? kFixedMax : 0;
  while (AbsSat(floor) >= kFixedNinety) floor >>= 1;

  deviceWidth = larger > 0 ? MulSat(style.width, larger) : kFixedMax;
  Fixed candidate = style.width;
  if (nearlyUniform) {
    // Narrowed by a quarter device pixel.
    deviceWidth = std::max(FixedSubSat(deviceWidth, kQuarter), 0);
    candidate = FixedDiv(deviceWidth, larger);
  }
  return floor > candidate ? floor : candidate;
}

Rect StrokeGeometry::CullRect(const StrokeStyle& style, const IntRect& deviceClip,
                              const Matrix& matrix) {
  Rect cull = kUnboundedRectSymmetric;
  Matrix inverse;
  const Rect clip{FixedFromInt(deviceClip.x0), FixedFromInt(deviceClip.y0),
                  FixedFromInt(deviceClip.x1), FixedFromInt(deviceClip.y1)};
  if (Matrix::Invert(inverse, matrix) && Matrix::CanTransformRect(inverse, clip))
    cull = Matrix::TransformRectBounds(clip, inverse);

  // Mitred joins can reach miter-limit times the width beyond the path.
  const Fixed factor = style.lineJoin != StrokeStyle::kMiterJoin ? kFixedOne : style.miterLimit;
  if (factor > kMaximumJoinFactor) return kUnboundedRectSymmetric;
  const Fixed grow = MulSat(2 * std::max(factor, kFixedOne), style.width);
  cull = Rect::InsetSaturated(cull, NegateSat(grow), NegateSat(grow));
  return cull.IsEmpty() ? Rect{} : cull;
}

bool StrokeGeometry::IsThin(const StrokeStyle& style, const Matrix& matrix) {
  return MulSat(LargerScale(matrix), style.width) < kThinLimit;
}

Fixed StrokeGeometry::Tolerance(const Matrix& matrix) {
  return std::max(QuarterPixel(matrix), kMinimumTolerance);
}

Fixed StrokeGeometry::QuarterPixel(const Matrix& matrix) {
  return FixedDiv(kQuarter, LargerScale(matrix));
}

}  // namespace runtime
