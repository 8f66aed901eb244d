#include "color/ParametricStage.h"

#include "color/BasicStages.h"
#include "color/FixedPow.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

using runtime::FixedAddSat;
using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::FixedSubSat;
using runtime::kFixedOne;

}  // namespace

ParametricStage::ParametricStage(runtime::LibraryContext* context, int32_t direction, int32_t type,
                                 const ParametricParameters& parameters, int32_t channel)
    : IccStage(context), direction_(direction), type_(type), p_(parameters), channel_(channel) {
  if (type < 1 || type > 4) runtime::ThrowRuntime(runtime::kMalformed);
  if ((type == 1 || type == 2) && p_.a == 0) runtime::ThrowRuntime(runtime::kMalformed);
  if (type <= 2) threshold_ = FixedDiv(-p_.b, p_.a);
  if (direction == 0) {
    if (p_.g <= 0 || p_.a < 0 || p_.c < 0) runtime::ThrowRuntime(runtime::kMalformed);
    inverseGamma_ = FixedDiv(kFixedOne, p_.g);
    breakValue_ = type == 1 ? 0 : type == 2 ? p_.c : FixedAddSat(FixedMul(p_.c, p_.d), type == 4 ? p_.f : 0);
  }
}

bool ParametricStage::IsIdentity() const {
  bool power = p_.a == kFixedOne && p_.b == 0 && p_.g == kFixedOne;
  switch (type_) {
    case 1:
      return power;
    case 2:
      return power && p_.c == 0;
    case 3:
      return power && p_.c == kFixedOne && p_.d == 0;
    default:
      return power && p_.c == kFixedOne && p_.d == 0 && p_.e == 0 && p_.f == 0;
  }
}

Fixed ParametricStage::Forward(Fixed v) const {
  switch (type_) {
    case 1:
      if (v < threshold_) return 0;
      return ClampUnit(FixedPow(FixedAddSat(FixedMul(p_.a, v), p_.b), p_.g));
    case 2:
      if (v < threshold_) return p_.c;
      return ClampUnit(FixedAddSat(FixedPow(FixedAddSat(FixedMul(p_.a, v), p_.b), p_.g), p_.c));
    case 3:
      if (v < p_.d) return FixedMul(p_.c, v);
      return ClampUnit(FixedPow(FixedAddSat(FixedMul(p_.a, v), p_.b), p_.g));
    default:
      if (v < p_.d) return FixedAddSat(FixedMul(p_.c, v), p_.f);
      return ClampUnit(FixedAddSat(FixedPow(FixedAddSat(FixedMul(p_.a, v), p_.b), p_.g), p_.e));
  }
}

Fixed ParametricStage::Inverse(Fixed y) const {
  if (y > breakValue_) {
    // The power segment: x = ((y - offset)^(1/g) - b) / a.
    Fixed offset = type_ == 2 ? p_.c : type_ == 4 ? p_.e : 0;
    Fixed root = FixedPow(FixedSubSat(y, offset), inverseGamma_);
    return ClampUnit(FixedDiv(FixedSubSat(root, p_.b), p_.a));
  }
  if (type_ <= 2) return ClampUnit(threshold_);
  if (p_.c == 0) return 0;
  return ClampUnit(FixedDiv(FixedSubSat(y, type_ == 4 ? p_.f : 0), p_.c));
}

void ParametricStage::Apply(Fixed* v) const {
  v[channel_] = direction_ != 0 ? Forward(v[channel_]) : Inverse(v[channel_]);
}

void ParametricStage::ApplySpan(Fixed* vectors, uint32_t count) const {
  for (uint32_t i = 0; i < count; ++i) Apply(vectors + i * kMaxColorChannels);
}

uint32_t ParametricStage::OwnSize() const {
  static constexpr uint32_t kSizes[] = {0, 32, 36, 40, 48};
  return kSizes[type_];
}

IccStageRef IccParametricCurve::Create(runtime::LibraryContext* context, int32_t direction, int32_t type,
                                       const ParametricParameters& parameters, int32_t channel) {
  return IccStageRef(streams::MakeRef<ParametricStage>(context, direction, type, parameters, channel));
}

}  // namespace color
