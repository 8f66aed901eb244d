#include "color/LabStages.h"

#include <algorithm>
#include <cstdint>

#include "color/FixedPow.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

using runtime::FixedAddSat;
using runtime::FixedMul;
using runtime::FixedSubSat;
using runtime::kFixedOne;

constexpr Fixed kF(int32_t whole) { return static_cast<Fixed>(whole * kFixedOne); }

void CheckWhite(const Fixed white[3]) {
  for (int i = 0; i < 3; ++i) {
    if (white[i] <= 0 || white[i] >= 2 * kFixedOne) runtime::ThrowRuntime(runtime::kMalformed);
  }
}

Fixed Clamp(Fixed v, Fixed lo, Fixed hi) { return v < lo ? lo : (v > hi ? hi : v); }

// FixedMul that saturates instead of wrapping: values outside the usual
// range must not come back as small ones.
Fixed SatMul(Fixed a, Fixed b) {
  int64_t p = (static_cast<int64_t>(a) * b) >> 16;
  return static_cast<Fixed>(p > runtime::kFixedMax ? runtime::kFixedMax : p < runtime::kFixedMin ? runtime::kFixedMin : p);
}

}  // namespace

namespace {

// LabInverse of t >= 0, inline for the stage's loop.
inline Fixed LabInversePositive(Fixed t) {
  if (t > kF(8)) {
    Fixed f = FixedAddSat(t, kF(16)) / 116;
    return SatMul(SatMul(f, f), f);
  }
  return FixedMul(t, 72);
}

}  // namespace

Fixed LabInverse(Fixed t) {
  if (t < 0) return -LabInversePositive(t == runtime::kFixedLowest ? runtime::kFixedMax : -t);
  return LabInversePositive(t);
}

namespace {

// The Lab companding: 116 t^(1/3) - 16 from 580/65536 on, linear below,
// odd around 0.
Fixed LabForward(Fixed t) {
  if (t < 0) return -LabForward(t == runtime::kFixedLowest ? runtime::kFixedMax : -t);
  if (t >= 580) return 116 * FixedPow(t, 21845) - kF(16);
  return FixedMul(t, 59198426);
}


}  // namespace

LabToXyzStage::LabToXyzStage(runtime::LibraryContext* context, const Fixed white[3]) : IccStage(context) {
  CheckWhite(white);
  for (int i = 0; i < 3; ++i) white_[i] = white[i];
}

void LabToXyzStage::Apply(Fixed* v) const { Convert(v); }

void LabToXyzStage::ApplySpan(Fixed* vectors, uint32_t count) const {
  for (uint32_t i = 0; i < count; ++i) Convert(vectors + i * kMaxColorChannels);
}

inline void LabToXyzStage::Convert(Fixed* v) const {
  Fixed l = SatMul(v[0], kF(100));
  Fixed a = Clamp(FixedSubSat(SatMul(v[1], kF(255)), kF(128)), kF(-128), kF(127));
  Fixed b = Clamp(FixedSubSat(SatMul(v[2], kF(255)), kF(128)), kF(-128), kF(127));
  Fixed x = LabInversePositive(std::max(0, FixedAddSat(l, FixedMul(a, 15204))));
  Fixed y = LabInverse(l);
  Fixed z = LabInversePositive(std::max(0, FixedSubSat(l, FixedMul(b, 38010))));
  v[0] = SatMul(x, white_[0]);
  v[1] = SatMul(y, white_[1]);
  v[2] = SatMul(z, white_[2]);
}

XyzToLabStage::XyzToLabStage(runtime::LibraryContext* context, const Fixed white[3]) : IccStage(context) {
  CheckWhite(white);
  for (int i = 0; i < 3; ++i) white_[i] = white[i];
}

void XyzToLabStage::Apply(Fixed* v) const {
  Fixed gx = LabForward(runtime::FixedDiv(v[0], white_[0]));
  Fixed gy = LabForward(runtime::FixedDiv(v[1], white_[1]));
  Fixed gz = LabForward(runtime::FixedDiv(v[2], white_[2]));
  v[0] = gy / 100;
  v[1] = FixedAddSat(FixedMul(FixedSubSat(gx, gy), 282482), kF(128)) / 255;
  v[2] = FixedAddSat(FixedMul(FixedSubSat(gy, gz), 112993), kF(128)) / 255;
}

}  // namespace color
