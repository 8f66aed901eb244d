#include "fonts/FontProgram.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace fonts {

OversamplingFactors FontProgram::GlyphOversampling(const Matrix& m) const {
  const int64_t big = std::max({std::llabs(m.a), std::llabs(m.b), std::llabs(m.c), std::llabs(m.d)});
  auto factor = [big]() { return big < 0x18000 ? 4 : (big < 0x20000 ? 2 : 1); };
  if (m.b == 0) return {factor(), 1};
  if (m.a == 0) return {1, factor()};
  return {1, 1};
}

namespace {

// The matrix divided by 1000, more closely than a product with the 16.16
// value of 0.001 would.
Matrix ThousandthOf(const Matrix& m) {
  auto div = [](Fixed v) { return runtime::FixedMul(v >> 8, 16777); };
  return {div(m.a), div(m.b), div(m.c), div(m.d), div(m.e), div(m.f)};
}

}  // namespace

Matrix FontProgram::GlyphSpaceMatrix(const Matrix& matrix) const {
  const Matrix fontMatrix = FontMatrix();
  if (IsFontUnitScale(fontMatrix)) return ThousandthOf(matrix);
  return Matrix::Concat(fontMatrix, matrix);
}

OversamplingFactors GlyphPhaseSteps(const FontProgram& font, const Matrix& textToDevice) {
  return font.GlyphOversampling(ThousandthOf(textToDevice));
}

bool IsFontUnitScale(const Matrix& m) {
  return m.a == 65 && m.b == 0 && m.c == 0 && m.d == 65 && m.e == 0 && m.f == 0;
}

Fixed GeometricScale(const Matrix& m) {
  if (m.b == 0 && m.c == 0 && std::llabs(m.a) == std::llabs(m.d)) {
    return static_cast<Fixed>(std::min<int64_t>(std::llabs(m.a), runtime::kFixedMax));
  }
  const double det = (static_cast<double>(m.a) * m.d - static_cast<double>(m.b) * m.c) / 65536.0 /
                     65536.0;
  const double s = std::sqrt(std::fabs(det)) * 65536.0;
  return static_cast<Fixed>(std::min(s, 2147483647.0));
}

}  // namespace fonts
