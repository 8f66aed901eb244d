#include "color/BlackPoint.h"

#include <algorithm>

#include "color/IccProfile.h"
#include "color/Matrix3x4.h"

namespace color {

namespace {

using runtime::FixedDiv;
using runtime::FixedMul;
using runtime::kFixedHalf;
using runtime::kFixedOne;

// The most black point compensation ever moves: L* 50.
constexpr Fixed kMaxBlack = kFixedHalf;

struct DeviceExtremes {
  Fixed black[kMaxColorChannels] = {};
  Fixed white[kMaxColorChannels] = {};
};

bool ExtremesOf(uint32_t space, DeviceExtremes& out) {
  switch (space) {
    case IccSig("CMYK"):
      for (int i = 0; i < 4; ++i) out.black[i] = kFixedOne;
      return true;
    case IccSig("GRAY"):
      out.white[0] = kFixedOne;
      return true;
    case IccSig("RGB "):
    case IccSig("XYZ "):
      for (int i = 0; i < 3; ++i) out.white[i] = kFixedOne;
      return true;
    case IccSig("Lab "):
    case IccSig("YCbr"):
      out.white[0] = kFixedOne;
      out.black[1] = out.black[2] = out.white[1] = out.white[2] = kFixedHalf;
      return true;
    default:
      return false;
  }
}

Fixed SaturateWide(int64_t v) {
  return static_cast<Fixed>(std::clamp<int64_t>(v, -runtime::kFixedMax, runtime::kFixedMax));
}

// a x b of 16.16 values, saturated.
Fixed MulWide(int64_t a, int64_t b) { return SaturateWide((a * b) >> 16); }

}  // namespace

Fixed BlackFromTransforms(IccTransform& first, IccTransform* second, Fixed* lab) {
  DeviceExtremes extremes;
  if (!ExtremesOf(first.sourceSpace, extremes)) return 0;
  for (Fixed* v : {extremes.black, extremes.white}) {
    first.Evaluate(v);
    if (second != nullptr) second->Evaluate(v);
  }
  Fixed* chosen = extremes.black[0] < extremes.white[0] ? extremes.black : extremes.white;
  if (first.sourceSpace == IccSig("CMYK")) chosen[1] = chosen[2] = kFixedHalf;
  chosen[0] = std::clamp<Fixed>(chosen[0], 0, kMaxBlack);
  if (lab != nullptr) std::copy(chosen, chosen + 3, lab);
  return chosen[0];
}

Fixed EstimateBlackByFit(IccTransform& labToDevice, IccTransform& deviceToLab, const Fixed initialLab[3],
                         int32_t intent) {
  const Fixed l0 = initialLab[0];
  const Fixed lightness = kFixedOne - l0;
  const Fixed slopeA = std::clamp<Fixed>(FixedDiv(initialLab[1] - kFixedHalf, lightness), -kFixedHalf, kFixedHalf);
  const Fixed slopeB = std::clamp<Fixed>(FixedDiv(initialLab[2] - kFixedHalf, lightness), -kFixedHalf, kFixedHalf);

  Fixed y[256];
  for (int32_t i = 0; i < 256; ++i) {
    const Fixed l = (i << 16) / 255;
    Fixed v[kMaxColorChannels] = {l, FixedMul(slopeA, kFixedOne - l) + kFixedHalf,
                                  FixedMul(slopeB, kFixedOne - l) + kFixedHalf, 0};
    labToDevice.Evaluate(v);
    deviceToLab.Evaluate(v);
    y[i] = v[0];
  }
  if (y[255] <= y[0]) return 0;
  for (int32_t i = 254; i >= 0; --i) y[i] = std::min(y[i], y[i + 1]);
  const Fixed low = y[0];
  const Fixed span = y[255] - low;
  if (span <= 0) return 0;

  Fixed windowLow = 1966, windowHigh = 16384;  // 0.03 .. 0.25
  if (intent == kRelativeColorimetric) {
    // A round trip that follows the ramp above its dark fifth needs no fit.
    const Fixed threshold = low + FixedMul(span, 13107);
    bool linear = true;
    for (int32_t i = 0; i < 256 && linear; ++i) {
      const Fixed ramp = (i << 16) / 255;
      if (ramp > threshold && std::abs(static_cast<int64_t>(ramp) - y[i]) > 2621) linear = false;
    }
    if (linear) return l0;
    windowLow = 6553, windowHigh = 32768;  // 0.1 .. 0.5
  }

  // Least squares z = q2 x^2 + q1 x + q0 over the points in the window.
  int64_t sx[5] = {};  // sums of x^0 (the count, in 16.16) .. x^4
  int64_t sz[3] = {};  // sums of z, x z, x^2 z
  int32_t points = 0;
  for (int32_t i = 1; i < 255; ++i) {
    const Fixed x = 257 * i;
    const Fixed z = FixedDiv(y[i] - low, span);
    if (z < windowLow || z >= windowHigh) continue;
    ++points;
    const Fixed x2 = FixedMul(x, x);
    const Fixed x3 = FixedMul(x2, x);
    const Fixed x4 = FixedMul(x3, x);
    sx[0] += kFixedOne, sx[1] += x, sx[2] += x2, sx[3] += x3, sx[4] += x4;
    sz[0] += z, sz[1] += FixedMul(x, z), sz[2] += FixedMul(x2, z);
  }
  if (points < 3) return 0;
  Matrix3x4 normal;
  const int64_t rows[3][3] = {{sx[4], sx[3], sx[2]}, {sx[3], sx[2], sx[1]}, {sx[2], sx[1], sx[0]}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) normal.m[r][c] = SaturateWide(rows[r][c]);
  }
  if (!Matrix3x3::Invert(normal)) return 0;
  const int64_t rhs[3] = {sz[2], sz[1], sz[0]};
  Fixed q[3];  // q2, q1, q0
  for (int r = 0; r < 3; ++r) {
    int64_t sum = 0;
    for (int c = 0; c < 3; ++c) sum += MulWide(normal.m[r][c], rhs[c]);
    q[r] = SaturateWide(sum);
  }
  const Fixed q2 = q[0], q1 = q[1], q0 = q[2];

  Fixed root;
  if (std::abs(q2) < 2) {
    if (q1 < 2) return 0;
    root = FixedDiv(-q0, q1);
  } else {
    const int64_t d = static_cast<int64_t>(MulWide(q1, q1)) - 4 * static_cast<int64_t>(MulWide(q2, q0));
    if (d < 1) return 0;
    const int64_t numerator = static_cast<int64_t>(runtime::FixedSqrt(SaturateWide(d))) - q1;
    root = FixedDiv(SaturateWide(numerator), SaturateWide(2 * static_cast<int64_t>(q2)));
  }
  if (root < 1) return 0;
  return std::min(root, kMaxBlack);
}

Fixed IccProfile::EstimateSourceBlack(IccProfile& profile, int32_t intent) {
  IccProfileRef lab = DefaultLab(profile.Context());
  IccTransformRef toLab = IccTransform::Create(profile, *lab, intent, 0, false, false);
  if (CanBeDestination(profile) && profile.dataSpace == IccSig("CMYK")) {
    IccTransformRef fromLab = IccTransform::Create(*lab, profile, kPerceptual, 0, false, false);
    return BlackFromTransforms(*fromLab, toLab.Get(), nullptr);
  }
  return BlackFromTransforms(*toLab, nullptr, nullptr);
}

Fixed IccProfile::EstimateDestinationBlack(IccProfile& profile, int32_t intent) {
  const uint32_t space = profile.dataSpace;
  const bool hasAToB = profile.aToB[0] || profile.aToB[1] || profile.aToB[2];
  const bool hasBToA = profile.bToA[0] || profile.bToA[1] || profile.bToA[2];
  if (space != IccSig("CMYK") &&
      ((space != IccSig("GRAY") && space != IccSig("RGB ")) || !hasAToB || !hasBToA)) {
    return intent == kAbsoluteColorimetric ? 0 : EstimateSourceBlack(profile, intent);
  }
  IccProfileRef lab = DefaultLab(profile.Context());
  IccTransformRef toLab = IccTransform::Create(profile, *lab, kRelativeColorimetric, 0, false, false);
  Fixed initial[3] = {0, runtime::kFixedHalf, runtime::kFixedHalf};
  if (intent == kRelativeColorimetric) {
    if (space == IccSig("CMYK")) {
      IccTransformRef fromLab = IccTransform::Create(*lab, profile, kPerceptual, 0, false, false);
      BlackFromTransforms(*fromLab, toLab.Get(), initial);
    } else if (space == IccSig("RGB ")) {
      BlackFromTransforms(*toLab, nullptr, initial);
    }
  }
  IccTransformRef fromLab = IccTransform::Create(*lab, profile, intent, 0, false, false);
  return EstimateBlackByFit(*fromLab, *toLab, initial, intent);
}

}  // namespace color
