#pragma once
// The simple transform stages: identity, clamp, gamma and the 3x4 matrix.
#include <cstdint>

#include "color/IccStage.h"
#include "color/Matrix3x4.h"

namespace color {

class IdentityStage final : public IccStage {
 public:
  using IccStage::IccStage;
  bool IsIdentity() const override { return true; }
  void Apply(Fixed*) const override {}
  void ApplySpan(Fixed*, uint32_t) const override {}
  uint32_t OwnSize() const override { return 8; }
};

// Each of the first `count` values clamped to [0, 1.0].
class ClampStage final : public IccStage {
 public:
  ClampStage(runtime::LibraryContext* context, int32_t count) : IccStage(context), count_(count) {}
  bool IsIdentity() const override { return false; }
  void Apply(Fixed* v) const override;
  void ApplySpan(Fixed* vectors, uint32_t count) const override;
  StageKind Kind() const override { return kClamp; }
  uint32_t OwnSize() const override { return 12; }

 private:
  int32_t count_;
};

// v[ch] := v[ch]^g.
class GammaStage final : public IccStage {
 public:
  GammaStage(runtime::LibraryContext* context, Fixed gamma, int32_t channel)
      : IccStage(context), gamma_(gamma), channel_(channel) {}
  bool IsIdentity() const override { return gamma_ == runtime::kFixedOne; }
  void Apply(Fixed* v) const override;
  void ApplySpan(Fixed* vectors, uint32_t count) const override;
  uint32_t OwnSize() const override { return 16; }
  int32_t Channel() const override { return channel_; }
  Fixed Gamma() const { return gamma_; }

 private:
  Fixed gamma_;
  int32_t channel_;
};

// v := M v + offset on the first three values; negative results become 0.
class MatrixStage final : public IccStage {
 public:
  MatrixStage(runtime::LibraryContext* context, const Matrix3x4& matrix) : IccStage(context), matrix_(matrix) {}
  bool IsIdentity() const override { return matrix_.IsIdentity(); }
  void Apply(Fixed* v) const override;
  void ApplySpan(Fixed* vectors, uint32_t count) const override;
  StageKind Kind() const override { return kMatrix; }
  uint32_t OwnSize() const override { return 56; }
  const Matrix3x4& Matrix() const { return matrix_; }
  // Chain optimisation folds a following matrix into this one.
  void SetMatrix(const Matrix3x4& matrix) { matrix_ = matrix; }

 private:
  Matrix3x4 matrix_;
};

// The diagonal matrix stage to/from per component; every component of
// both whites must be positive (runtime, 2).
IccStageRef WhiteScalingStage(runtime::LibraryContext* context, const Fixed fromWhite[3], const Fixed toWhite[3]);

// [0, 1.0] clamp of a 16.16 value.
constexpr Fixed ClampUnit(Fixed v) { return v < 0 ? 0 : (v > runtime::kFixedOne ? runtime::kFixedOne : v); }

}  // namespace color
