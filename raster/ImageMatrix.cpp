#include "raster/ImageMatrix.h"

#include <algorithm>

namespace raster {
namespace {

// The visibility threshold, 0.075 of a pixel.
constexpr Fixed kVisibleSize = 4915;
// A reduction factor of 1 above this largest scale (0.5) and 32 below 1/32.
constexpr Fixed kNoReductionAbove = 32768;
constexpr Fixed kMaxReductionBelow = 2048;
constexpr int32_t kMaxReductionFactor = 32;

}  // namespace

Matrix ImageMatrix::PixelsToUnit(int32_t width, int32_t height, int32_t& halvings) {
  // 64-bit: a width of 32768 or more would wrap in 32 bits and give a
  // negative scale.
  int64_t w = int64_t{width} * 65536;
  int64_t h = int64_t{height} * 65536;
  Fixed s = 0x10000;
  halvings = 0;
  while (std::max(w, h) > 0x10000 && s < 0x40000000) {
    w /= 2;
    h /= 2;
    s *= 2;
    ++halvings;
  }
  const auto asFixed = [](int64_t v) { return static_cast<Fixed>(std::clamp<int64_t>(v, 1, runtime::kFixedMax)); };
  return Matrix{runtime::FixedDiv(0x10000, asFixed(w)), 0, 0, runtime::FixedDiv(-0x10000, asFixed(h)), 0, s};
}

void ImageMatrix::Concat(Matrix& m, int32_t width, int32_t height) {
  int32_t halvings = 0;
  const Matrix unit = PixelsToUnit(width, height, halvings);
  for (int32_t i = 0; i < halvings; ++i) {
    m.a /= 2;
    m.b /= 2;
    m.c /= 2;
    m.d /= 2;
  }
  m = Matrix::Concat(unit, m);
}

int32_t ReductionFactorForMatrix(const Matrix& m) {
  Fixed big = 0, small = 0;
  Matrix::ScaleExtremes(m, big, small);
  if (big > kNoReductionAbove) return 1;
  if (big < kMaxReductionBelow) return kMaxReductionFactor;
  return std::max(1, runtime::FixedDiv(0x10000, big) >> 16);
}

int32_t ReductionShiftForMatrix(const Matrix& m) {
  int32_t factor = ReductionFactorForMatrix(m);
  int32_t shift = 0;
  while (factor > 1) {
    factor >>= 1;
    ++shift;
  }
  return shift;
}

bool IsBelowVisibleSize(Fixed size, const Matrix& m) {
  Fixed big = 0, small = 0;
  Matrix::ScaleExtremes(m, big, small);
  return runtime::FixedMul(big, size) < kVisibleSize;
}

}  // namespace raster
