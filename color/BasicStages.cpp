#include "color/BasicStages.h"

#include "color/FixedPow.h"
#include "runtime/ErrorTrap.h"

namespace color {

void ClampStage::Apply(Fixed* v) const {
  for (int32_t i = 0; i < count_; ++i) v[i] = ClampUnit(v[i]);
}

void ClampStage::ApplySpan(Fixed* vectors, uint32_t count) const {
  const uint32_t n = count_ < 0 ? 0 : static_cast<uint32_t>(count_ > kMaxColorChannels ? kMaxColorChannels : count_);
  for (uint32_t i = 0; i < count; ++i) {
    Fixed* v = vectors + i * kMaxColorChannels;
    for (uint32_t c = 0; c < n; ++c) v[c] = ClampUnit(v[c]);
  }
}

void GammaStage::Apply(Fixed* v) const { v[channel_] = FixedPow(v[channel_], gamma_); }

void GammaStage::ApplySpan(Fixed* vectors, uint32_t count) const {
  for (uint32_t i = 0; i < count; ++i) {
    Fixed& value = vectors[i * kMaxColorChannels + channel_];
    value = FixedPow(value, gamma_);
  }
}

void MatrixStage::Apply(Fixed* v) const {
  matrix_.Apply(v);
  for (int i = 0; i < 3; ++i) {
    if (v[i] < 0) v[i] = 0;
  }
}

void MatrixStage::ApplySpan(Fixed* vectors, uint32_t count) const {
  // The coefficients in locals and the three sums formed before any is
  // stored: the same arithmetic as Apply, without reloading the matrix or
  // reading back what was just written.
  const int64_t a = matrix_.m[0][0], b = matrix_.m[0][1], c = matrix_.m[0][2];
  const int64_t d = matrix_.m[1][0], e = matrix_.m[1][1], f = matrix_.m[1][2];
  const int64_t g = matrix_.m[2][0], h = matrix_.m[2][1], k = matrix_.m[2][2];
  const uint32_t o0 = static_cast<uint32_t>(matrix_.m[0][3]);
  const uint32_t o1 = static_cast<uint32_t>(matrix_.m[1][3]);
  const uint32_t o2 = static_cast<uint32_t>(matrix_.m[2][3]);
  auto product = [](int64_t m, int64_t x) { return static_cast<uint32_t>(static_cast<Fixed>((m * x) >> 16)); };
  auto positive = [](uint32_t s) { return static_cast<Fixed>(s) < 0 ? 0 : static_cast<Fixed>(s); };
  for (uint32_t i = 0; i < count; ++i) {
    Fixed* v = vectors + i * kMaxColorChannels;
    const int64_t x = v[0], y = v[1], z = v[2];
    const uint32_t s0 = product(a, x) + product(b, y) + product(c, z) + o0;
    const uint32_t s1 = product(d, x) + product(e, y) + product(f, z) + o1;
    const uint32_t s2 = product(g, x) + product(h, y) + product(k, z) + o2;
    v[0] = positive(s0);
    v[1] = positive(s1);
    v[2] = positive(s2);
  }
}

IccStageRef WhiteScalingStage(runtime::LibraryContext* context, const Fixed fromWhite[3], const Fixed toWhite[3]) {
  Matrix3x4 scale;
  for (int i = 0; i < 3; ++i) {
    if (fromWhite[i] <= 0 || toWhite[i] <= 0) runtime::ThrowRuntime(runtime::kMalformed);
    scale.m[i][i] = runtime::FixedDiv(toWhite[i], fromWhite[i]);
  }
  return IccStageRef(streams::MakeRef<MatrixStage>(context, scale));
}

}  // namespace color
