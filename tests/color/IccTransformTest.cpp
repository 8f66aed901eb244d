// Transforms between profiles: the chain each construction builds, its
// optimisation, the destination's chain cache and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "color/BasicStages.h"
#include "color/IccTransform.h"
#include "color/SampledCurveStage.h"
#include "tests/color/IccTestSupport.h"

namespace color {
namespace {

using runtime::kFixedOne;
using testing::MakeProfile;
using testing::Tag;

// "C" for a curve on channel c, "M" matrix, "K" clamp, "L" Lab to XYZ, "X"
// XYZ to Lab, "T" a lookup table, "?" anything else.
std::string Shape(const IccTransform& transform) {
  std::string shape;
  for (const IccStage* stage = transform.FirstStage().Get(); stage != nullptr; stage = stage->next.Get()) {
    if (stage->Channel() >= 0) {
      shape += "C" + std::to_string(stage->Channel());
    } else if (stage->Kind() == IccStage::kMatrix) {
      shape += "M";
    } else if (stage->Kind() == IccStage::kLabToXyz) {
      shape += "L";
    } else if (stage->Kind() == IccStage::kXyzToLab) {
      shape += "X";
    } else if (stage->OwnSize() == 12) {
      shape += "K";
    } else {
      shape += "?";
    }
  }
  return shape;
}

std::vector<Fixed> Evaluated(IccTransform& transform, std::vector<Fixed> in) {
  Fixed v[kMaxColorChannels] = {};
  for (size_t i = 0; i < in.size(); ++i) v[i] = in[i];
  transform.Evaluate(v);
  return std::vector<Fixed>(v, v + kMaxColorChannels);
}

constexpr double kByte = kFixedOne / 255.0;

TEST(IccTransformTest, DisplayToItselfIsCurvesOneMatrixInverseCurvesAndClamp) {
  runtime::LibraryContext context;
  IccProfileRef source = testing::DisplayProfile(&context);
  IccProfileRef destination = testing::DisplayProfile(&context);
  IccTransformRef transform = IccTransform::Create(*source, *destination, kRelativeColorimetric, 0, false, true);
  EXPECT_EQ(Shape(*transform), "C0C1C2MC0C1C2K");
  const std::vector<Fixed> in = {static_cast<Fixed>(0.2 * kFixedOne), kFixedOne / 2,
                                 static_cast<Fixed>(0.8 * kFixedOne)};
  std::vector<Fixed> out = Evaluated(*transform, in);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], in[c], 2 * kByte) << c;
  // With the linear flag the chain stops before the output curves, which
  // the transform keeps apart.
  IccTransformRef linear = IccTransform::Create(*source, *destination, kRelativeColorimetric, 0, true, true);
  EXPECT_EQ(Shape(*linear), "C0C1C2M");
  EXPECT_TRUE(linear->outputCurves);
  EXPECT_TRUE(linear->inputCurves);
}

// The destination's chain cache once held the destination's matrix
// merged into the first source's: a second source then lost it.
TEST(IccTransformTest, CachedDestinationChainKeepsItsOwnMatrix) {
  runtime::LibraryContext context;
  IccProfileRef display = testing::DisplayProfile(&context);
  IccProfileRef rgb = testing::DeviceRgbProfile(&context);
  IccProfileRef gray = testing::DeviceGrayProfile(&context);
  IccTransformRef first = IccTransform::Create(*rgb, *display, kRelativeColorimetric, 0, false, true);
  IccTransformRef second = IccTransform::Create(*gray, *display, kRelativeColorimetric, 0, false, true);
  IccProfileRef freshDisplay = testing::DisplayProfile(&context);
  IccTransformRef fresh = IccTransform::Create(*gray, *freshDisplay, kRelativeColorimetric, 0, false, true);
  for (Fixed g : {kFixedOne / 4, kFixedOne / 2, 3 * kFixedOne / 4}) {
    std::vector<Fixed> cached = Evaluated(*second, {g});
    std::vector<Fixed> built = Evaluated(*fresh, {g});
    for (int c = 0; c < 3; ++c) EXPECT_EQ(cached[c], built[c]) << g << " channel " << c;
    EXPECT_NEAR(cached[0], cached[1], 2 * kByte);
    EXPECT_NEAR(cached[2], cached[1], 2 * kByte);
  }
}

TEST(IccTransformTest, DestinationChainCacheTellsLinearFromDisplayValues) {
  runtime::LibraryContext context;
  IccProfileRef display = testing::DisplayProfile(&context);
  IccProfileRef gray = testing::DeviceGrayProfile(&context);
  IccTransformRef linear = IccTransform::Create(*gray, *display, kRelativeColorimetric, 0, true, true);
  IccTransformRef encoded = IccTransform::Create(*gray, *display, kRelativeColorimetric, 0, false, true);
  EXPECT_EQ(Shape(*encoded).substr(Shape(*encoded).size() - 7), "C0C1C2K");
  std::vector<Fixed> out = Evaluated(*encoded, {kFixedOne / 2});
  // sRGB of a mid gray of gamma 2.2 is close to the input.
  EXPECT_NEAR(out[0], kFixedOne / 2, 8 * kByte);
  std::vector<Fixed> light = Evaluated(*linear, {kFixedOne / 2});
  EXPECT_LT(light[0], kFixedOne / 4);
}

TEST(IccTransformTest, UnusableProfilesParseButBuildNothing) {
  runtime::LibraryContext context;
  const std::string trc = testing::GammaTag(0x0100);
  const std::vector<Tag> grayTags = {{"kTRC", trc}};
  IccProfileRef lab = IccProfile::DefaultLab(&context);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"abstract class", MakeProfile("abst", "GRAY", "XYZ ", grayTags)},
      {"device link", MakeProfile("link", "GRAY", "XYZ ", grayTags)},
      {"gray without a curve", MakeProfile("mntr", "GRAY", "XYZ ", {{"wtpt", testing::XyzTag(0.9642, 1, 0.8249)}})},
  };
  for (const Case& c : cases) {
    IccProfileRef profile;
    ASSERT_EQ(testing::TryParse(&context, c.bytes, &profile), -1) << c.name;
    long code = testsupport::RuntimeCodeOf(
        &context, [&] { IccTransform::Create(*profile, *lab, kPerceptual, 0, false, false); });
    EXPECT_EQ(code, runtime::kMalformed) << c.name;
  }
  // Version 5: the version word's top byte.
  std::string version5 = MakeProfile("mntr", "GRAY", "XYZ ", grayTags);
  version5[8] = 5;
  IccProfileRef profile;
  ASSERT_EQ(testing::TryParse(&context, version5, &profile), -1);
  EXPECT_EQ(testsupport::RuntimeCodeOf(
                &context, [&] { IccTransform::Create(*profile, *lab, kPerceptual, 0, false, false); }),
            runtime::kMalformed);
}

TEST(IccTransformTest, GrayWithLabConnectionGivesNeutralLab) {
  runtime::LibraryContext context;
  IccProfileRef gray;
  ASSERT_EQ(testing::TryParse(&context, MakeProfile("mntr", "GRAY", "Lab ", {{"kTRC", testing::GammaTag(0x0100)}}),
                              &gray),
            -1);
  IccProfileRef lab = IccProfile::DefaultLab(&context);
  IccTransformRef transform = IccTransform::Create(*gray, *lab, kRelativeColorimetric, 0, false, false);
  for (Fixed g : {0, kFixedOne / 4, kFixedOne / 2, kFixedOne}) {
    std::vector<Fixed> out = Evaluated(*transform, {g});
    // The Lab table's legacy encoding moves L by up to 1/256.
    EXPECT_NEAR(out[0], g, kFixedOne / 200) << g;
    EXPECT_NEAR(out[1], kFixedOne / 2, 2 * kByte) << g;
    EXPECT_NEAR(out[2], kFixedOne / 2, 2 * kByte) << g;
  }
}

// Black point compensation scales each connection-space channel about its
// own white: a neutral source stays neutral from its black to its white.
// Offsets of 1.0 - s on X and Z moved b* by 2.6 to 3.5 levels here; what
// remains (about one level, with or without compensation) is the
// synthesised gray's white against the Lab profile's.
TEST(IccTransformTest, BlackPointCompensationKeepsNeutralsNeutral) {
  runtime::LibraryContext context;
  const Fixed black[3] = {kFixedOne / 10, kFixedOne / 10, kFixedOne / 10};
  IccProfileRef gray = IccProfile::SynthesiseGray(&context, testing::kDeviceWhite, black, kFixedOne);
  IccProfileRef lab = IccProfile::DefaultLab(&context);
  ASSERT_GT(IccProfile::EstimateSourceBlack(*gray, kRelativeColorimetric), kFixedOne / 10);
  IccTransformRef transform = IccTransform::Create(*gray, *lab, kRelativeColorimetric, 0, false, true);
  for (Fixed g : {0, kFixedOne / 2, kFixedOne}) {
    std::vector<Fixed> out = Evaluated(*transform, {g});
    EXPECT_NEAR(out[1], kFixedOne / 2, 1.5 * kByte) << g;
    EXPECT_NEAR(out[2], kFixedOne / 2, 1.5 * kByte) << g;
  }
  EXPECT_LE(Evaluated(*transform, {0})[0], kByte);
  EXPECT_GE(Evaluated(*transform, {kFixedOne})[0], kFixedOne - kByte);
}

TEST(IccTransformTest, AbsoluteIntentWithEqualWhitesIsRelative) {
  runtime::LibraryContext context;
  IccProfileRef source = testing::DeviceRgbProfile(&context);
  IccProfileRef display = testing::DisplayProfile(&context);
  IccTransformRef relative = IccTransform::Create(*source, *display, kRelativeColorimetric, 0, false, false);
  IccProfileRef display2 = testing::DisplayProfile(&context);
  IccProfileRef source2 = testing::DeviceRgbProfile(&context);
  // The two display profiles share their media white (the illuminant).
  IccTransformRef absolute = IccTransform::Create(*source2, *display2, kAbsoluteColorimetric, 0, false, false);
  // The device RGB white is D50 as the synthesis writes it, the display's
  // the illuminant: absolute intent adapts between them.
  std::vector<Fixed> a = Evaluated(*relative, {kFixedOne, kFixedOne, kFixedOne});
  std::vector<Fixed> b = Evaluated(*absolute, {kFixedOne, kFixedOne, kFixedOne});
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(a[c], b[c], 2 * kByte);
  IccProfileRef display3 = testing::DisplayProfile(&context);
  IccProfileRef display4 = testing::DisplayProfile(&context);
  IccTransformRef same = IccTransform::Create(*display3, *display4, kAbsoluteColorimetric, 0, false, false);
  EXPECT_EQ(Shape(*same), "C0C1C2MC0C1C2K");
}

TEST(IccTransformTest, ResultCacheServesRepeatedColours) {
  runtime::LibraryContext context;
  IccProfileRef source = testing::DeviceRgbProfile(&context);
  IccProfileRef display = testing::DisplayProfile(&context);
  IccTransformRef transform =
      IccTransform::Create(*source, *display, kRelativeColorimetric, IccTransform::kResultCacheMode, false, false);
  ASSERT_TRUE(transform->HasCache());
  std::vector<Fixed> first = Evaluated(*transform, {100, 20000, 60000});
  const uint64_t runs = transform->ChainRuns();
  std::vector<Fixed> again = Evaluated(*transform, {100, 20000, 60000});
  EXPECT_EQ(transform->ChainRuns(), runs);
  EXPECT_EQ(first, again);
  EXPECT_GT(transform->MemorySize(), 132u + 96u);
}

}  // namespace
}  // namespace color

namespace color {
namespace {

// The built-in CMYK profile with some of its lookup tags renamed away.
std::string CmykWithOnly(const std::vector<std::string>& keep) {
  std::string bytes(reinterpret_cast<const char*>(GetEmbeddedCmykProfile()), GetEmbeddedCmykProfileSize());
  const uint32_t count = (uint8_t(bytes[128]) << 24) | (uint8_t(bytes[129]) << 16) | (uint8_t(bytes[130]) << 8) |
                         uint8_t(bytes[131]);
  for (uint32_t i = 0; i < count; ++i) {
    std::string signature = bytes.substr(132 + 12 * i, 4);
    if (signature.rfind("A2B", 0) == 0 && std::find(keep.begin(), keep.end(), signature) == keep.end()) {
      bytes.replace(132 + 12 * i, 4, "zzzz");
    }
  }
  return bytes;
}

TEST(IccTransformTest, LookupTagsFallBackAcrossIntents) {
  runtime::LibraryContext context;
  IccProfileRef lab = IccProfile::DefaultLab(&context);
  for (const char* only : {"A2B0", "A2B2"}) {
    IccProfileRef cmyk;
    ASSERT_EQ(testing::TryParse(&context, CmykWithOnly({only}), &cmyk), -1) << only;
    for (int32_t intent = kPerceptual; intent <= kAbsoluteColorimetric; ++intent) {
      long code = testsupport::RuntimeCodeOf(
          &context, [&] { IccTransform::Create(*cmyk, *lab, intent, 0, false, false); });
      EXPECT_EQ(code, -1) << only << " intent " << intent;
    }
  }
  IccProfileRef none;
  ASSERT_EQ(testing::TryParse(&context, CmykWithOnly({}), &none), -1);
  EXPECT_EQ(testsupport::RuntimeCodeOf(
                &context, [&] { IccTransform::Create(*none, *lab, kPerceptual, 0, false, false); }),
            runtime::kMalformed);
}

}  // namespace
}  // namespace color
