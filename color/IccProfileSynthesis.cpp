// Profiles made from parameters rather than read: the CIE-based colour
// spaces (calibrated gray and RGB, Lab) and the default Lab profile.
#include "color/FixedPow.h"
#include "color/IccProfile.h"
#include "color/LutTable.h"
#include "color/Matrix3x4.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

using runtime::kFixedOne;

[[noreturn]] void BadParameters() { runtime::ThrowRuntime(runtime::kMalformed); }

// D50, the connection space's white.
constexpr Fixed kD50[3] = {63189, 65536, 54060};
// Black levels this close to 0 are rounding of a zero black point.
constexpr Fixed kBlackRounding = 16;

streams::Ref<IccProfile> NewSynthesised(runtime::LibraryContext* context, const char (&space)[5],
                                        const char (&pcs)[5], const Fixed illuminant[3]) {
  auto profile = streams::MakeRef<IccProfile>(context);
  profile->version = 0x02100000;
  profile->deviceClass = IccSig("spac");
  profile->dataSpace = IccSig(space);
  profile->pcs = IccSig(pcs);
  for (int i = 0; i < 3; ++i) {
    if (illuminant[i] <= 0) BadParameters();
    profile->illuminant[i] = illuminant[i];
  }
  profile->SetChannelCount(IccSpaceChannelCount(profile->dataSpace));
  return profile;
}

// Y = (1 - k) X^g + k: a plain gamma without a black level, else the
// parametric type 2 with a = (1 - k)^(1/g), b = 0, c = k.
streams::Ref<IccCurve> BlackLevelCurve(runtime::LibraryContext* context, Fixed gamma, Fixed black) {
  if (black > -kBlackRounding && black < 0) black = 0;
  if (black < 0 || black > kFixedOne) BadParameters();
  auto curve = streams::MakeRef<IccCurve>(context);
  if (black == 0) {
    curve->kind = IccCurve::kGamma;
    curve->gamma = gamma;
    return curve;
  }
  if (gamma == 0) BadParameters();
  curve->kind = IccCurve::kParametric2;
  curve->gamma = gamma;
  curve->a = FixedPow(kFixedOne - black, runtime::FixedDiv(kFixedOne, gamma));
  curve->b = 0;
  curve->c = black;
  return curve;
}

streams::Ref<IccXyz> XyzOf(runtime::LibraryContext* context, const Fixed v[3]) {
  auto xyz = streams::MakeRef<IccXyz>(context);
  xyz->x = v[0];
  xyz->y = v[1];
  xyz->z = v[2];
  return xyz;
}

}  // namespace

streams::Ref<IccProfile> IccProfile::SynthesiseGray(runtime::LibraryContext* context, const Fixed white[3],
                                                    const Fixed* black, Fixed gamma) {
  streams::Ref<IccProfile> profile = NewSynthesised(context, "GRAY", "XYZ ", white);
  profile->trc[kGray] = BlackLevelCurve(context, gamma, black != nullptr ? black[0] : 0);
  return profile;
}

streams::Ref<IccProfile> IccProfile::SynthesiseRgb(runtime::LibraryContext* context, const Fixed white[3],
                                                   const Fixed* black, const Fixed red[3], const Fixed green[3],
                                                   const Fixed blue[3], const Fixed gamma[3], bool adapt) {
  streams::Ref<IccProfile> profile = NewSynthesised(context, "RGB ", "XYZ ", adapt ? kD50 : white);
  Fixed columns[3][3] = {{red[0], red[1], red[2]}, {green[0], green[1], green[2]}, {blue[0], blue[1], blue[2]}};
  Fixed levels[3] = {};
  if (black != nullptr) levels[0] = black[0], levels[1] = black[1], levels[2] = black[2];
  if (adapt) {
    for (int i = 0; i < 3; ++i) {
      if (white[i] <= 0) BadParameters();
    }
    Matrix3x4 adaptation;
    if (!Matrix3x3::Adaptation(adaptation, white, kD50)) BadParameters();
    for (Fixed* column : columns) adaptation.Apply(column);
    adaptation.Apply(levels);
    // The black point in channel terms: through the inverse of the
    // adapted colorant matrix.
    Matrix3x4 colorants;
    for (int c = 0; c < 3; ++c) {
      for (int r = 0; r < 3; ++r) colorants.m[r][c] = columns[c][r];
    }
    if (!Matrix3x3::Invert(colorants)) BadParameters();
    colorants.Apply(levels);
  }
  for (int c = 0; c < 3; ++c) {
    profile->colorant[c] = XyzOf(context, columns[c]);
    profile->trc[c] = BlackLevelCurve(context, gamma[c], levels[c]);
  }
  return profile;
}

streams::Ref<IccProfile> IccProfile::SynthesiseLab(runtime::LibraryContext* context, const Fixed white[3],
                                                   const Fixed* /*black*/, const Fixed ranges[6]) {
  streams::Ref<IccProfile> profile = NewSynthesised(context, "Lab ", "Lab ", white);
  profile->SetRange(std::span<const Fixed>(ranges, 6));
  // One table serves both directions: it only clamps a* and b* to the
  // space's ranges.
  streams::Ref<IccLutTag> clamp(LutTable::LabRangeClamp(context, ranges + 2));
  profile->aToB[0] = clamp;
  profile->bToA[0] = clamp;
  return profile;
}

streams::Ref<IccProfile> IccProfile::DefaultLab(runtime::LibraryContext* context) {
  static constexpr Fixed kWhite[3] = {63189, 65536, 54061};
  static constexpr Fixed kRanges[6] = {0, 100 * kFixedOne, -128 * kFixedOne, 127 * kFixedOne, -128 * kFixedOne,
                                       127 * kFixedOne};
  return SynthesiseLab(context, kWhite, nullptr, kRanges);
}

}  // namespace color
