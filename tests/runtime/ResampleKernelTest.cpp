#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numeric>

#include "runtime/Rect.h"
#include "runtime/ResampleKernel.h"

namespace runtime {
namespace {

constexpr Fixed kOne = kFixedOne;

TEST(ResampleKernelTest, SelectionByKindAndScale) {
  struct Case {
    const char* name;
    int32_t kind, subKind;
    Fixed scale;
    ResampleKernelId kernel;
    Fixed radius, scaledRadius;
    int32_t firstTap, lastTap, taps;
  };
  const Case cases[] = {
      {"box at half scale", 0, 0, kOne / 2, ResampleKernelId::kBox, kOne / 2, kOne, -1, 0, 2},
      {"kind 1 is the box", 1, 0, 3 * kOne, ResampleKernelId::kBox, kOne / 2, kOne / 2, 0, 0, 1},
      {"triangle at exactly 0.95", 2, 0, 62259, ResampleKernelId::kTriangle, kOne, kOne, -1, 0, 2},
      {"box below 0.22", 2, 0, 13108, ResampleKernelId::kBox, kOne / 2, FixedDiv(kOne / 2, 13108), -2, 1, 4},
      {"kind above 9 acts as 2", 12, 0, 62259, ResampleKernelId::kTriangle, kOne, kOne, -1, 0, 2},
      {"negative kind acts as 2", -4, 0, 62259, ResampleKernelId::kTriangle, kOne, kOne, -1, 0, 2},
      {"Mitchell above 4.0", 3, 0, 5 * kOne, ResampleKernelId::kMitchellCubic, 2 * kOne, 2 * kOne, -2, 1, 4},
      {"B-spline above 4.0", 4, 5, 5 * kOne, ResampleKernelId::kBSpline, 2 * kOne, 2 * kOne, -2, 1, 4},
      {"Keys cubic at 1.0", 3, 0, kOne, ResampleKernelId::kKeysCubic, 2 * kOne, 2 * kOne, -2, 1, 4},
      {"cubic reduction", 3, 1, 45000, ResampleKernelId::kKeysCubic, 2 * kOne, 0, -3, 2, 6},
      {"kind 9 at 1.0 is Lanczos-4", 9, 0, kOne, ResampleKernelId::kLanczos4, 4 * kOne, 4 * kOne, -4, 3, 8},
      {"kind 8 at 1.0 is Lanczos-3", 8, 0, kOne, ResampleKernelId::kLanczos3, 3 * kOne, 3 * kOne, -3, 2, 6},
      {"Lanczos-4 between 0.67 and 0.95", 7, 0, 50000, ResampleKernelId::kLanczos4, 4 * kOne, 0, -5, 4, 10},
      {"windowed sinc becomes box below 0.67", 7, 0, 30000, ResampleKernelId::kBox, kOne / 2, FixedDiv(kOne / 2, 30000), -1, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResampleKernel kernel;
    kernel.Setup({c.kind, c.subKind, c.scale, 0}, false);
    EXPECT_EQ(kernel.kernelId, c.kernel);
    EXPECT_EQ(kernel.radius, c.radius);
    if (c.scale < kOne && c.kernel != ResampleKernelId::kBox) {
      EXPECT_GE(kernel.scaledRadius, c.radius);
    } else {
      EXPECT_EQ(kernel.scaledRadius, c.scaledRadius);
    }
    EXPECT_EQ(kernel.firstTap, c.firstTap);
    EXPECT_EQ(kernel.lastTap, c.lastTap);
    EXPECT_EQ(kernel.tapCount, c.taps);
    EXPECT_EQ(kernel.supportWidth, 2 * c.radius);
    EXPECT_EQ(kernel.tapStep, FixedDiv(kernel.supportWidth, FixedFromInt(c.taps)));
    EXPECT_EQ(kernel.weightConverter, &ResampleKernel::WeightTo16);
    EXPECT_EQ(kernel.tapsPerGroup, 4);
    EXPECT_EQ(kernel.phases, 2);
    EXPECT_EQ(kernel.tapGroups, 1);
  }
}

// The top of the reduction range the cubic's parameter is chosen over (0.95).
constexpr Fixed kScale095Raw = 62259;

TEST(ResampleKernelTest, CubicParametersAreInterpolatedAndRoundedToTenths) {
  ResampleKernel kernel;
  kernel.Setup({3, 5, 5 * kOne, 0}, false);
  EXPECT_EQ(kernel.kernelId, ResampleKernelId::kBSpline);
  kernel.Setup({3, 0, 5 * kOne, 0}, false);
  EXPECT_EQ(kernel.parameters[0], 21845);
  EXPECT_EQ(kernel.parameters[1], 21845);
  // At 1.0 with base 0.25, the parameter lies just above -0.55 and rounds to
  // -0.5 (stored as 5 × 6553 / 65536 below zero).
  kernel.Setup({3, 0, kOne, 0}, false);
  EXPECT_EQ(kernel.parameters[0], -32765);
  // In a reduction the second scale, when given, chooses the parameter;
  // the scale still chooses the taps.
  ResampleKernel withSecond;
  withSecond.Setup({3, 0, 50000, 2048}, false);
  kernel.Setup({3, 0, 50000, 0}, false);
  EXPECT_NE(withSecond.parameters[0], kernel.parameters[0]);
  EXPECT_EQ(withSecond.tapCount, kernel.tapCount);
  // A second scale far above the reductions (an enlargement of the other
  // axis) keeps the parameter, and so the weights, in range: at 3,500 the
  // line extrapolated to a parameter near -2,000 and weights ten times 1.0.
  for (int32_t subKind : {0, 1, 3, 4}) {
    ResampleKernel atTop;
    atTop.Setup({3, subKind, 50000, kScale095Raw - 1}, false);
    for (Fixed second : {kScale095Raw, kOne, 3 * kOne, 3500 * kOne, 0x7fffffff}) {
      ResampleKernel huge;
      huge.Setup({3, subKind, 50000, second}, false);
      EXPECT_EQ(huge.parameters[0], atTop.parameters[0]) << subKind << " " << second;
      for (Fixed x = -2 * kOne; x <= 2 * kOne; x += kOne / 8) {
        const Fixed w = ResampleKernel::KeysCubic(x, huge.parameters);
        EXPECT_LE(w, kOne) << subKind << " " << second << " " << x;
        EXPECT_GE(w, -kOne / 4) << subKind << " " << second << " " << x;
      }
    }
  }
  // Every parameter is a whole number of tenths.
  for (Fixed scale : {2048, 20000, 45000, 60000, kOne, 3 * kOne}) {
    kernel.Setup({4, 3, scale, 0}, false);
    EXPECT_EQ(kernel.parameters[0] % 6553, 0) << scale;
  }
}

TEST(ResampleKernelTest, ScaledRadiusNeverPassesThirtyThree) {
  for (int32_t kind = 0; kind <= 10; ++kind) {
    for (Fixed scale : {-kOne, 0, 1, 100, 2048, 14416, 30000, 43908, 62258, kOne, 9 * kOne}) {
      ResampleKernel kernel;
      kernel.Setup({kind, 0, scale, 0}, true);
      EXPECT_LE(kernel.scaledRadius, ResampleKernel::kMaxScaledRadius) << kind << " " << scale;
      EXPECT_GT(kernel.tapCount, 0);
      EXPECT_LE(kernel.tapCount, ResampleKernel::kMaxTaps);
    }
  }
}

TEST(ResampleKernelTest, FootprintWithParityAndPhaseRounding) {
  struct Case {
    const char* name;
    int32_t kind;
    Fixed scale;
    bool phase;
    ResampleFootprint footprint;
    uint8_t parityTop, parityLeft;
    int32_t roundedTaps;
  };
  const Case cases[] = {
      {"box keeps its taps", 0, kOne / 2, true, {0, 0, 1, 1}, 0, 0, 2},
      {"triangle even sum widens both", 2, kOne, false, {-1, -1, 2, 2}, 1, 1, 2},
      {"cubic even sum widens both", 3, kOne, false, {-2, -2, 3, 3}, 1, 1, 4},
      {"cubic already a multiple of four", 3, kOne, true, {-2, -2, 3, 3}, 1, 1, 4},
      {"triangle rounded to four forces -3", 2, kOne, true, {0, 0, 2, 4}, 0, 0, 4},
      {"Lanczos-3 rounded to eight forces -5", 8, kOne, true, {-2, -2, 4, 6}, 0, 0, 8},
      {"Lanczos-3 even sum widens both", 8, kOne, false, {-3, -3, 4, 4}, 1, 1, 6},
      {"Lanczos-4 even sum widens both", 9, kOne, false, {-4, -4, 5, 5}, 1, 1, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResampleKernel kernel;
    EXPECT_EQ(kernel.Setup({c.kind, 0, c.scale, 0}, c.phase), c.footprint);
    EXPECT_EQ(kernel.parity[0], c.parityTop);
    EXPECT_EQ(kernel.parity[1], c.parityLeft);
    EXPECT_EQ(kernel.roundedTapCount, c.roundedTaps);
    if (!c.phase) {
      EXPECT_EQ(ResampleKernel::Footprint(c.kind, 0, c.scale, 0), c.footprint);
    }
  }
}

TEST(ResampleKernelTest, KernelFunctionValues) {
  const Fixed none[2] = {0, 0};
  const Fixed keys[2] = {-32768, 0};
  const Fixed mitchell[2] = {21845, 21845};
  struct Case {
    const char* name;
    ResampleFunction function;
    const Fixed* parameters;
    Fixed x;
    double expected;
  };
  const Case cases[] = {
      {"box right edge is inside", &ResampleKernel::Box, none, 32768, 1.0},
      {"box left edge is outside", &ResampleKernel::Box, none, -32768, 0.0},
      {"box just inside the left edge", &ResampleKernel::Box, none, -32767, 1.0},
      {"triangle at a quarter", &ResampleKernel::Triangle, none, -kOne / 4, 0.75},
      {"triangle at one", &ResampleKernel::Triangle, none, kOne, 0.0},
      {"Keys centre", &ResampleKernel::KeysCubic, keys, 0, 1.0},
      {"Keys at one", &ResampleKernel::KeysCubic, keys, kOne, 0.0},
      {"Keys at a half", &ResampleKernel::KeysCubic, keys, kOne / 2, 0.5625},
      {"Keys at one and a half", &ResampleKernel::KeysCubic, keys, 3 * kOne / 2, -0.0625},
      {"B-spline centre", &ResampleKernel::BSpline, none, 0, 2.0 / 3},
      {"B-spline at one", &ResampleKernel::BSpline, none, kOne, 1.0 / 6},
      {"B-spline outside", &ResampleKernel::BSpline, none, 2 * kOne, 0.0},
      {"Mitchell centre", &ResampleKernel::MitchellCubic, mitchell, 0, 8.0 / 9},
      {"Mitchell at one", &ResampleKernel::MitchellCubic, mitchell, -kOne, 1.0 / 18},
      {"Lanczos-2 at a half", &ResampleKernel::Lanczos2, none, kOne / 2, 0.5731},
      {"Lanczos-3 at a half", &ResampleKernel::Lanczos3, none, kOne / 2, 0.6079 * 65733 / 65536},
      {"Lanczos-3 at one and a half", &ResampleKernel::Lanczos3, none, -3 * kOne / 2, -0.1351 * 65733 / 65536},
      {"Lanczos-4 at a half", &ResampleKernel::Lanczos4, none, kOne / 2, 0.6204},
      {"Lanczos-4 at an integer", &ResampleKernel::Lanczos4, none, 2 * kOne, 0.0},
      {"Lanczos-4 outside", &ResampleKernel::Lanczos4, none, 4 * kOne, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(FixedToDouble(c.function(c.x, c.parameters)), c.expected, 0.0005);
  }
}

TEST(ResampleKernelTest, SineAndSincFollowTheRealFunctions) {
  for (Fixed u = -13 * kOne; u <= 13 * kOne; u += 977) {
    EXPECT_NEAR(FixedToDouble(ResampleKernel::Sine(u)), std::sin(FixedToDouble(u)), 2.5 / 65536)
        << u;
  }
  EXPECT_EQ(ResampleKernel::Sinc(0), kOne);
  for (Fixed t = 1; t < 4 * kOne; t += 1237) {
    const double x = M_PI * FixedToDouble(FixedMul(t, 205887)) / FixedToDouble(205887);
    EXPECT_NEAR(FixedToDouble(ResampleKernel::Sinc(t)), std::sin(x) / x, 0.0002) << t;
  }
}

TEST(ResampleKernelTest, WeightTo16) {
  EXPECT_EQ(ResampleKernel::WeightTo16(kOne), 2048);
  EXPECT_EQ(ResampleKernel::WeightTo16(0), 0);
  EXPECT_EQ(ResampleKernel::WeightTo16(kOne / 2), 1024);
  EXPECT_EQ(ResampleKernel::WeightTo16(-kOne / 4), -512);
  EXPECT_EQ(ResampleKernel::WeightTo16(16), 1);  // half a unit rounds up
  EXPECT_EQ(ResampleKernel::WeightTo16(15), 0);
}

TEST(ResampleKernelTest, WindowedSincWeightsTheNeighbours) {
  // With a constant numerator the windowed sinc would put every weight on
  // the centre sample; with the sine, a half-pixel phase spreads them out.
  for (int32_t kind : {7, 8, 9}) {
    SCOPED_TRACE(kind);
    ResampleKernel kernel;
    kernel.Setup({kind, 0, kOne, 0}, false);
    int16_t weights[ResampleKernel::kMaxTaps] = {};
    ASSERT_TRUE(kernel.TapWeights(kOne / 2, weights));
    const int32_t taps = kernel.TapCount();
    EXPECT_EQ(std::accumulate(weights, weights + taps, 0), 2048);
    int nonZero = 0;
    for (int32_t i = 0; i < taps; ++i) nonZero += weights[i] != 0;
    EXPECT_GE(nonZero, 4);
    // Symmetric about the half-pixel point (up to the rounding correction),
    // with negative outer lobes.
    const int32_t centre = -kernel.firstTap;
    EXPECT_NEAR(weights[centre], weights[centre + 1], 1);
    EXPECT_LT(weights[centre - 1], 0);
    // At phase 0 the sinc's zeros leave the centre sample alone.
    ASSERT_TRUE(kernel.TapWeights(0, weights));
    EXPECT_EQ(weights[centre], 2048);
  }
}

TEST(ResampleKernelTest, TapWeightsOfAReductionAndAShortTable) {
  ResampleKernel kernel;
  kernel.Setup({2, 0, kOne / 4, 0}, false);  // triangle stretched over 2 source pixels
  ASSERT_EQ(kernel.kernelId, ResampleKernelId::kTriangle);
  int16_t weights[ResampleKernel::kMaxTaps] = {};
  ASSERT_TRUE(kernel.TapWeights(0, weights));
  const int32_t taps = kernel.TapCount();
  EXPECT_EQ(std::accumulate(weights, weights + taps, 0), 2048);
  for (int32_t i = 1; i < taps; ++i) EXPECT_NE(weights[i], 0) << i;
  int16_t tooShort[1];
  EXPECT_FALSE(kernel.TapWeights(0, tooShort));
}

TEST(ResampleKernelTest, FootprintExpandsTheSourcePixelsRead) {
  const ResampleFootprint f = ResampleKernel::Footprint(3, 0, kOne, 0);  // {-2, -2, 3, 3}
  const IntRect box{f.left, f.top, f.right, f.bottom};
  EXPECT_EQ(Rect::ExpandByBox({10, 20, 30, 40}, box, true), (IntRect{8, 18, 33, 43}));
  EXPECT_EQ(Rect::ExpandByBox({10, 20, 30, 40}, {0, 0, 1, 2}, false), (IntRect{8, 17, 32, 43}));
  EXPECT_EQ(Rect::ExpandByBox({INT32_MIN + 1, 0, INT32_MAX - 1, 1}, box, true),
            (IntRect{INT32_MIN, -2, INT32_MAX, 4}));
  // Padding an image's area takes the kernel's footprint at that scale.
  EXPECT_EQ(ResampleKernel::PadRect({10, 20, 30, 40}, true, 3, kOne), (IntRect{8, 18, 33, 43}));
  // Every kind's padding covers the area it pads, at reductions and enlargements.
  for (int32_t kind = 0; kind <= 9; ++kind) {
    for (Fixed scale : {kOne / 4, kOne, 3 * kOne}) {
      const IntRect padded = ResampleKernel::PadRect({10, 20, 30, 40}, true, kind, scale);
      EXPECT_LE(padded.x0, 10) << kind << " " << scale;
      EXPECT_LE(padded.y0, 20) << kind << " " << scale;
      EXPECT_GE(padded.x1, 30) << kind << " " << scale;
      EXPECT_GE(padded.y1, 40) << kind << " " << scale;
    }
  }
}

TEST(ResampleKernelTest, LerpFixed) {
  EXPECT_EQ(LerpFixed(0, 0, 4 * kOne, 8 * kOne, kOne), 2 * kOne);
  EXPECT_EQ(LerpFixed(4 * kOne, kOne, 0, 3 * kOne, 7 * kOne), 2 * kOne);  // falling x: the mean
}

}  // namespace
}  // namespace runtime
