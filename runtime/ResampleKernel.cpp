#include "runtime/ResampleKernel.h"

#include <algorithm>

namespace runtime {
namespace {

constexpr Fixed kPi = 205887;       // π
constexpr Fixed kTwoPi = 411775;    // 2π
constexpr Fixed kHalfPi = 102944;   // π / 2
constexpr Fixed kTwo = 2 * kFixedOne;
constexpr Fixed kFour = 4 * kFixedOne;

// Scale thresholds of the kernel choice.
constexpr Fixed kScale095 = 62259;
constexpr Fixed kScale067 = 43909;
constexpr Fixed kScale045 = 29491;
constexpr Fixed kScale030 = 19660;
constexpr Fixed kScale022 = 14417;
constexpr Fixed kOneThird = 21845;
constexpr Fixed kTwoThirds = 43690;
constexpr Fixed kOneSixth = 10922;
// Lanczos-3 weights sum slightly short of 1; this factor brings them back.
constexpr Fixed kLanczos3Gain = 65733;

// |x| without the 0x80000000 trap.
Fixed AbsOffset(Fixed x) { return AbsSat(x); }

// Rounds a cubic parameter to a tenth: the nearest whole of 10·a, times
// 0.1 as 6553/65536.
Fixed RoundToTenth(Fixed a) {
  const uint32_t whole = (static_cast<uint32_t>(a) * 10u + 0x8000u) & 0xffff0000u;
  return FixedMul(static_cast<Fixed>(whole), 6553);
}

}  // namespace

Fixed LerpFixed(Fixed x0, Fixed y0, Fixed x1, Fixed y1, Fixed x) {
  const Fixed span = WrapSub(x1, x0);
  if (span >= 0) return WrapAdd(y0, FixedMul(FixedDiv(WrapSub(x, x0), span), WrapSub(y1, y0)));
  return FixedMul(WrapAdd(y0, y1), kFixedHalf);
}

Fixed ResampleKernel::Sine(Fixed u) {
  // Reduce to [-π/2, π/2] with the symmetries of the sine, then sum the
  // Taylor series to the 11th power in 2.30 fixed point; its error there is
  // below 4e-8, far under one 16.16 unit.
  int64_t r = u % kTwoPi;
  if (r > kPi) r -= kTwoPi;
  if (r < -kPi) r += kTwoPi;
  if (r > kHalfPi) r = kPi - r;
  if (r < -kHalfPi) r = -kPi - r;
  const int64_t x = r << 14;                    // 2.30
  const int64_t x2 = (x * x) >> 30;
  constexpr int64_t kOne30 = int64_t{1} << 30;
  int64_t series = kOne30;
  for (int64_t denominator : {110, 72, 42, 20, 6}) {
    series = kOne30 - ((x2 * series) >> 30) / denominator;
  }
  const int64_t sine = (x * series) >> 30;
  return static_cast<Fixed>((sine + (int64_t{1} << 13)) >> 14);
}

Fixed ResampleKernel::Sinc(Fixed t) {
  const Fixed u = FixedMul(t, kPi);
  if (u == 0) return kFixedOne;
  return FixedDiv(Sine(u), u);
}

Fixed ResampleKernel::Box(Fixed x, const Fixed*) {
  // In raw units: the right edge is inside and the left one is not.
  return (x >= -32767 && x <= 32768) ? kFixedOne : 0;
}

Fixed ResampleKernel::Triangle(Fixed x, const Fixed*) {
  const Fixed t = AbsOffset(x);
  return t < kFixedOne ? kFixedOne - t : 0;
}

Fixed ResampleKernel::KeysCubic(Fixed x, const Fixed* parameters) {
  const Fixed a = parameters[0];
  const Fixed t = AbsOffset(x);
  if (t >= kTwo) return 0;
  const Fixed t2 = FixedMul(t, t);
  const Fixed t3 = FixedMul(t, t2);
  if (t < kFixedOne) return FixedMul(a + kTwo, t3) - FixedMul(a + 3 * kFixedOne, t2) + kFixedOne;
  return FixedMul(a, t3) - FixedMul(5 * a, t2) + FixedMul(8 * a, t) - 4 * a;
}

Fixed ResampleKernel::BSpline(Fixed x, const Fixed*) {
  const Fixed t = AbsOffset(x);
  if (t >= kTwo) return 0;
  if (t < kFixedOne) {
    const Fixed t2 = FixedMul(t, t);
    return FixedMul(FixedMul(t, t2), kFixedHalf) - t2 + kTwoThirds;
  }
  const Fixed rest = kTwo - t;
  return FixedMul(kOneSixth, FixedMul(rest, FixedMul(rest, rest)));
}

Fixed ResampleKernel::MitchellCubic(Fixed x, const Fixed* parameters) {
  const Fixed b = parameters[0];
  const Fixed c = parameters[1];
  const Fixed t = AbsOffset(x);
  if (t >= kTwo) return 0;
  const Fixed t2 = FixedMul(t, t);
  const Fixed t3 = FixedMul(t, t2);
  Fixed sum;
  if (t < kFixedOne) {
    sum = FixedMul(12 * kFixedOne - 9 * b - 6 * c, t3) +
          FixedMul(-18 * kFixedOne + 12 * b + 6 * c, t2) + (6 * kFixedOne - 2 * b);
  } else {
    sum = FixedMul(-b - 6 * c, t3) + FixedMul(6 * b + 30 * c, t2) +
          FixedMul(-12 * b - 48 * c, t) + (8 * b + 24 * c);
  }
  return sum / 6;  // toward zero
}

Fixed ResampleKernel::Lanczos2(Fixed x, const Fixed*) {
  const Fixed t = AbsOffset(x);
  if (t >= kTwo) return 0;
  return FixedMul(Sinc(t), Sinc(t >> 1));
}

Fixed ResampleKernel::Lanczos3(Fixed x, const Fixed*) {
  const Fixed t = AbsOffset(x);
  if (t >= 3 * kFixedOne) return 0;
  // t / 3 as the high word of t × 0x55555556 (t is never negative here).
  const Fixed third = static_cast<Fixed>((int64_t{t} * 0x55555556LL) >> 32);
  return FixedMul(FixedMul(Sinc(t), Sinc(third)), kLanczos3Gain);
}

Fixed ResampleKernel::Lanczos4(Fixed x, const Fixed*) {
  const Fixed t = AbsOffset(x);
  if (t >= kFour) return 0;
  return FixedMul(Sinc(t), Sinc(t >> 2));
}

int16_t ResampleKernel::WeightTo16(Fixed weight) {
  const Fixed scaled = FixedMul(weight, 0x8000000);
  return static_cast<int16_t>(WrapAdd(scaled, 32768) >> 16);
}

void ResampleKernel::Choose(ResampleKernelId id, Fixed kernelRadius, int32_t limit) {
  kernelId = id;
  radius = kernelRadius;
  tapLimit_ = limit;
  switch (id) {
    case ResampleKernelId::kBox: function = &Box; break;
    case ResampleKernelId::kTriangle: function = &Triangle; break;
    case ResampleKernelId::kKeysCubic: function = &KeysCubic; break;
    case ResampleKernelId::kBSpline: function = &BSpline; break;
    case ResampleKernelId::kMitchellCubic: function = &MitchellCubic; break;
    case ResampleKernelId::kLanczos2: function = &Lanczos2; break;
    case ResampleKernelId::kLanczos3: function = &Lanczos3; break;
    case ResampleKernelId::kLanczos4: function = &Lanczos4; break;
    case ResampleKernelId::kNone: function = nullptr; break;
  }
}

void ResampleKernel::ChooseByScale(Fixed s, int32_t limit) {
  struct Step {
    Fixed atLeast;
    int32_t taps;
  };
  static constexpr Step kSteps[] = {
      {kScale095, 2}, {kScale067, 3}, {kScale045, 4}, {kScale030, 6}, {kScale022, 8}};
  for (const Step& step : kSteps) {
    if (s >= step.atLeast) return Choose(ResampleKernelId::kTriangle, kFixedOne, step.taps);
  }
  Choose(ResampleKernelId::kBox, kFixedHalf, limit);
}

void ResampleKernel::ChooseCubic(const ResampleRequest& request, int32_t limit) {
  const Fixed s = request.scale;
  const bool bspline = request.subKind == 5;
  Fixed base = 0;
  switch (request.subKind) {
    case 0: base = 16384; break;   // 0.25
    case 1: base = 32768; break;   // 0.5
    case 3: base = -39321; break;  // -0.6
    case 4: base = -52428; break;  // -0.8
    default: break;
  }
  const ResampleKernelId cubic = bspline ? ResampleKernelId::kBSpline : ResampleKernelId::kKeysCubic;
  if (s > kFour) {
    if (bspline) return Choose(ResampleKernelId::kBSpline, kTwo, 4);
    Choose(ResampleKernelId::kMitchellCubic, kTwo, 4);
    parameters[0] = kOneThird;
    parameters[1] = kOneThird;
    return;
  }
  if (s < kScale095) {
    // The parameter follows the line from base - 2 at scale 1/32 through
    // -0.8 at 0.67 over the reductions this branch serves (below 0.95). A
    // second scale far beyond them (an enlargement) would extrapolate the
    // line into parameters whose weights overshoot many times over, so it
    // is held at the top of that range.
    const Fixed chooser = request.secondScale != 0 ? request.secondScale : s;
    parameters[0] = RoundToTenth(LerpFixed(2048, base - kTwo, kScale067, -52428,
                                           std::clamp<Fixed>(chooser, 2048, kScale095)));
    if (s >= kScale067) return Choose(cubic, kTwo, 6);
    if (s >= kScale045) return Choose(cubic, kTwo, 8);
    return Choose(ResampleKernelId::kBox, kFixedHalf, limit);
  }
  if (bspline) return Choose(ResampleKernelId::kBSpline, kTwo, 4);
  parameters[0] = RoundToTenth(LerpFixed(kScale095, base - 52428, kFour, -26214, s));
  Choose(ResampleKernelId::kKeysCubic, kTwo, 4);
}

void ResampleKernel::ChooseLanczos(const ResampleRequest& request) {
  const Fixed s = request.scale;
  if (s < kScale067) return Choose(ResampleKernelId::kBox, kFixedHalf, kDefaultTapLimit);
  if (s < kScale095 || request.kind == 9) {
    return Choose(ResampleKernelId::kLanczos4, kFour, kDefaultTapLimit);
  }
  Choose(ResampleKernelId::kLanczos3, 3 * kFixedOne, kDefaultTapLimit);
}

void ResampleKernel::SelectKind(const ResampleRequest& request) {
  switch (request.kind) {
    case 0:
    case 1: Choose(ResampleKernelId::kBox, kFixedHalf, kDefaultTapLimit); break;
    case 3: ChooseCubic(request, 16); break;
    case 4: ChooseCubic(request, 20); break;
    case 5: ChooseCubic(request, 24); break;
    case 6: ChooseCubic(request, 32); break;
    case 7:
    case 8:
    case 9: ChooseLanczos(request); break;
    default: ChooseByScale(request.scale, 16); break;
  }

  // A scale of zero or below has no meaning; it is taken as the smallest
  // reduction, whose radius the cap below limits.
  const Fixed s = request.scale > 0 ? request.scale : 1;
  kernelScale = s;
  supportWidth = 2 * radius;
  if (s < kFixedOne) {
    const int32_t limit =
        supportWidth > FixedFromInt(tapLimit_) ? FixedToIntFloor(supportWidth) : tapLimit_;
    scaledRadiusUncapped = std::min<Fixed>(limit * kFixedHalf, FixedDiv(radius, s));
    scaledRadius = std::min(scaledRadiusUncapped, kMaxScaledRadius);
  } else {
    scaledRadiusUncapped = radius;
    scaledRadius = radius;
  }
  doubledScaledRadius = 2 * scaledRadius;
  lastTap = ((scaledRadius + kFixedHalf) >> 16) - 1;
  firstTap = (kFixedHalf - scaledRadius) >> 16;
  tapCount = lastTap - firstTap + 1;
  tapStep = FixedDiv(supportWidth, FixedFromInt(tapCount));
}

void ResampleKernel::ComputeTaps() {
  const bool box = IsBox();
  roundedTapCount = phaseFlag && !box ? (tapCount + 3) & ~3 : tapCount;
  int32_t last = lastTap;
  int32_t first = firstTap;
  int32_t firstLeft = firstTap;
  bool forced = false;
  if (phaseFlag && roundedTapCount != tapCount) {
    if (!box) {
      if (scaledRadius < kTwo) {
        first = -3;
        forced = true;
      } else if (scaledRadius > kTwo && scaledRadius < kFour) {
        first = -5;
        forced = true;
      }
    } else {
      first = firstLeft = -(roundedTapCount / 2);
      last = roundedTapCount / 2 - 1;
      forced = true;
    }
  }
  const int32_t k = box ? 0 : 1;
  footprint = {-last, -last, k - firstLeft, k - first};
  if (box || forced) return;
  const bool topEven = ((k - first) + last) % 2 == 0;
  const bool leftEven = ((k - firstLeft) + last) % 2 == 0;
  if (topEven) {
    footprint.top = -last - 1;
    parity[0] = 1;
  }
  if (leftEven) {
    footprint.left = -last - 1;
    parity[1] = 1;
  }
}

ResampleFootprint ResampleKernel::Setup(const ResampleRequest& request, bool flag) {
  *this = ResampleKernel{};
  phaseFlag = flag ? 1 : 0;
  SelectKind(request);
  if (function != nullptr) {
    weightConverter = &WeightTo16;
    tapsPerGroup = kTapsPerGroup;
    phases = kPhases;
    tapGroups = 1;
  }
  ComputeTaps();
  return footprint;
}

ResampleFootprint ResampleKernel::Footprint(int32_t kind, int32_t subKind, Fixed scale,
                                            Fixed secondScale) {
  ResampleKernel scratch;
  return scratch.Setup(ResampleRequest{kind, subKind, scale, secondScale}, false);
}

bool ResampleKernel::TapWeights(Fixed phase, std::span<int16_t> out) const {
  if (function == nullptr || tapCount <= 0 || tapCount > kMaxTaps ||
      out.size() < static_cast<size_t>(tapCount)) {
    return false;
  }
  // A reduction stretches the kernel over the scaled radius.
  const Fixed stretch = scaledRadius != radius ? FixedDiv(radius, scaledRadius) : kFixedOne;
  Fixed weights[kMaxTaps];
  int64_t sum = 0;
  for (int32_t i = 0; i < tapCount; ++i) {
    const Fixed offset = FixedFromInt(firstTap + i) - phase;
    weights[i] = function(stretch == kFixedOne ? offset : FixedMul(offset, stretch), parameters);
    sum += weights[i];
  }
  const int32_t nearest = std::clamp(-firstTap + (phase >= kFixedHalf ? 1 : 0), 0, tapCount - 1);
  if (sum <= 0) {
    std::fill(out.begin(), out.begin() + tapCount, int16_t{0});
    out[static_cast<size_t>(nearest)] = 2048;
    return true;
  }
  int32_t total = 0;
  int32_t largest = nearest;
  for (int32_t i = 0; i < tapCount; ++i) {
    const Fixed normalised =
        static_cast<Fixed>((int64_t{weights[i]} * kFixedOne + sum / 2) / sum);
    out[static_cast<size_t>(i)] = WeightTo16(normalised);
    total += out[static_cast<size_t>(i)];
    if (weights[i] > weights[largest]) largest = i;
  }
  out[static_cast<size_t>(largest)] = static_cast<int16_t>(out[static_cast<size_t>(largest)] + 2048 - total);
  return true;
}

IntRect ResampleKernel::PadRect(const IntRect& rect, bool add, int32_t kind, Fixed scale) {
  // Sub-kind 2 with the scale standing in for the second scale: the widest
  // support the kind can have at this scale.
  const ResampleFootprint f = Footprint(kind, 2, scale, scale);
  return Rect::ExpandByBox(rect, IntRect{f.left, f.top, f.right, f.bottom}, add);
}

}  // namespace runtime
