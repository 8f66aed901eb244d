#pragma once
// The parametric curves of types 1 to 4, evaluated forward or inverted
// segment by segment; results of the power segment are clamped to [0, 1.0].
#include <cstdint>

#include "color/IccStage.h"

namespace color {

struct ParametricParameters {
  Fixed g = 0, a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
};

class ParametricStage final : public IccStage {
 public:
  // Type 1 and 2 need a non-zero a; the inverse (direction 0) needs g > 0,
  // a >= 0 and c >= 0 (else runtime, 2).
  ParametricStage(runtime::LibraryContext* context, int32_t direction, int32_t type,
                  const ParametricParameters& parameters, int32_t channel);

  bool IsIdentity() const override;
  void Apply(Fixed* v) const override;
  void ApplySpan(Fixed* vectors, uint32_t count) const override;
  uint32_t OwnSize() const override;
  int32_t Channel() const override { return channel_; }

 private:
  Fixed Forward(Fixed v) const;
  Fixed Inverse(Fixed y) const;

  int32_t direction_;
  int32_t type_;
  ParametricParameters p_;
  int32_t channel_;
  Fixed threshold_ = 0;       // -b/a for types 1 and 2
  Fixed inverseGamma_ = 0;    // 1/g, for the inverse
  Fixed breakValue_ = 0;      // the forward value at the break point
};

struct IccParametricCurve {
  static IccStageRef Create(runtime::LibraryContext* context, int32_t direction, int32_t type,
                            const ParametricParameters& parameters, int32_t channel);
};

}  // namespace color
