#include "runtime/StrokeStyle.h"

#include <algorithm>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Matrix.h"
#include "runtime/StrokeGeometry.h"

namespace runtime {

void StrokeStyle::SetDash(std::span<const Fixed> values, Fixed phase) {
  if (values.size() > kMaxDashes) values = {};
  dashes.Resize(static_cast<uint32_t>(values.size()));
  if (!values.empty()) std::memcpy(dashes.Data(), values.data(), values.size_bytes());
  dashPhase = phase;
}

void StrokeStyle::NormalizeByWidth(StrokeGeometry& geometry, const Matrix& matrix) {
  Fixed divisor = geometry.width;
  const Fixed entries[] = {matrix.a, matrix.b, matrix.c, matrix.d};
  const Fixed largest = FixedMaxAbs(entries);
  if (largest > kFixedOne) divisor = std::min(divisor, FixedDiv(kFixedMax, largest));
  if (AbsSat(FixedDiv(geometry.width, divisor)) >= kFixedNinety) ThrowRuntime(kBeyondLimit);

  geometry.divisor = divisor;
  for (Fixed& length : geometry.dashes.Elements()) length = FixedDiv(length, divisor);
  geometry.dashPhase = FixedDiv(geometry.dashPhase, divisor);
  geometry.tolerance = FixedDiv(geometry.tolerance, divisor);
  geometry.undashedTolerance = FixedDiv(geometry.undashedTolerance, divisor);
  geometry.width = FixedDiv(geometry.width, divisor);
  geometry.halfWidth = geometry.width >> 1;
  geometry.halfWidthSquared = FixedMul(geometry.halfWidth, geometry.halfWidth);
}

}  // namespace runtime
