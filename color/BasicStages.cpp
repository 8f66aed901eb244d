#include "color/BasicStages.h"

#include "color/FixedPow.h"
#include "runtime/ErrorTrap.h"

namespace color {

void ClampStage::Apply(Fixed* v) const {
  for (int32_t i = 0; i < count_; ++i) v[i] = ClampUnit(v[i]);
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
  for (uint32_t i = 0; i < count; ++i) Apply(vectors + i * kMaxColorChannels);
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
