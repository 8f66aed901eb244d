// CIE-based colour spaces read from their parameter dictionaries, the
// profiles they become, and the colour-space cost cache that keeps them.
#include <gtest/gtest.h>

#include <string>

#include "color/CieColorSpace.h"
#include "color/ColorSpaceCache.h"
#include "color/IccConverter.h"
#include "color/IccLutAtoB.h"
#include "pdf/TokenParser.h"
#include "runtime/ValueStore.h"
#include "streams/SubRangeStream.h"
#include "tests/color/IccTestSupport.h"

namespace color {
namespace {

using runtime::kFixedOne;

class CieColorSpaceTest : public ::testing::Test {
 protected:
  runtime::ObjectHandle Dictionary(const std::string& text) {
    texts_.push_back(text);
    const std::string& kept = texts_.back();
    auto source = streams::MakeRef<streams::MemoryDataSource>(
        &context_, reinterpret_cast<const uint8_t*>(kept.data()), static_cast<uint32_t>(kept.size()));
    auto stream = streams::MakeRef<streams::SubRangeStream>(&context_, source, 0);
    runtime::ObjectValue value = pdf::TokenParser::Parse(&context_, *stream, *store_, {});
    auto* stored = static_cast<runtime::ObjectValue*>(store_->Allocate(sizeof(runtime::ObjectValue)));
    *stored = value;
    return runtime::ObjectHandle(&context_, stored, store_.Get());
  }
  // Gray g (0..1.0) of a one-channel space through its profile to XYZ.
  Fixed GrayY(IccProfile& profile, Fixed g) {
    IccProfileRef xyz = IccProfile::SynthesiseGray(&context_, profile.illuminant, nullptr, kFixedOne);
    IccTransformRef transform = IccTransform::Create(profile, *xyz, kRelativeColorimetric, 0, true, false);
    Fixed v[kMaxColorChannels] = {g, 0, 0, 0};
    transform->Evaluate(v);
    return v[0];
  }

  runtime::LibraryContext context_;
  runtime::StoreRef store_ = runtime::StoreRef::Adopt(&context_, runtime::ValueStore::New(&context_));
  std::vector<std::string> texts_;
};

TEST_F(CieColorSpaceTest, CalGrayGammaAndBlackPoint) {
  IccProfileRef linear = CieColorSpace::Parse(Dictionary("<< /WhitePoint [0.9505 1 1.089] >>"),
                                              CieColorSpace::kCalGray, false);
  EXPECT_EQ(linear->dataSpace, IccSig("GRAY"));
  EXPECT_EQ(linear->deviceClass, IccSig("spac"));
  EXPECT_EQ(linear->version, 0x02100000u);
  EXPECT_EQ(linear->illuminant[1], kFixedOne);
  EXPECT_NEAR(GrayY(*linear, kFixedOne / 4), kFixedOne / 4, 2);
  // A black point of 0.5 lifts the curve: Y = 0.5 X^g + 0.5.
  IccProfileRef lifted = CieColorSpace::Parse(
      Dictionary("<< /WhitePoint [0.9642 1 0.8249] /BlackPoint [0.5 0.5 0.5] /Gamma 2 >>"), CieColorSpace::kCalGray,
      false);
  EXPECT_EQ(lifted->trc[IccProfile::kGray]->kind, IccCurve::kParametric2);
  EXPECT_NEAR(GrayY(*lifted, kFixedOne / 2), kFixedOne / 2 + kFixedOne / 8, 64);
  EXPECT_NEAR(GrayY(*lifted, 0), kFixedOne / 2, 64);
}

TEST_F(CieColorSpaceTest, CalRgbAdaptsToD50) {
  IccProfileRef rgb = CieColorSpace::Parse(
      Dictionary("<< /WhitePoint [0.9505 1 1.089] /Gamma [2.2 2.2 2.2] "
                 "/Matrix [0.4124 0.2126 0.0193 0.3576 0.7152 0.1192 0.1805 0.0722 0.9505] >>"),
      CieColorSpace::kCalRgb, false);
  EXPECT_EQ(rgb->illuminant[0], 63189);
  EXPECT_EQ(rgb->illuminant[2], 54060);
  // The adapted colorants add up to D50.
  const Fixed x = rgb->colorant[0]->x + rgb->colorant[1]->x + rgb->colorant[2]->x;
  const Fixed z = rgb->colorant[0]->z + rgb->colorant[1]->z + rgb->colorant[2]->z;
  EXPECT_NEAR(x, 63189, 200);
  EXPECT_NEAR(z, 54060, 200);
  // White reaches display white.
  IccProfileRef display = testing::DisplayProfile(&context_);
  ColorConverterPtr converter = rgb->MakeConverter8(*display, kRelativeColorimetric, 0, false);
  const uint8_t white[3] = {255, 255, 255};
  uint8_t out[3];
  converter->ConvertPixel(out, 1, white, 1);
  for (uint8_t o : out) EXPECT_GE(o, 254);
}

TEST_F(CieColorSpaceTest, LabRangesAndSixteenBitSamples) {
  IccProfileRef lab = CieColorSpace::Parse(Dictionary("<< /WhitePoint [0.9642 1 0.8249] >>"), CieColorSpace::kLab,
                                           false);
  ASSERT_EQ(lab->Ranges().size(), 6u);
  EXPECT_EQ(lab->Ranges()[1], 100 * kFixedOne);
  EXPECT_EQ(lab->Ranges()[2], -128 * kFixedOne);
  EXPECT_EQ(lab->Ranges()[5], 127 * kFixedOne);
  EXPECT_EQ(lab->aToB[0].Get(), lab->bToA[0].Get());
  IccProfileRef wide = CieColorSpace::Parse(Dictionary("<< /WhitePoint [0.9642 1 0.8249] >>"), CieColorSpace::kLab,
                                            true);
  EXPECT_EQ(wide->Ranges()[2], -64 * kFixedOne);
  EXPECT_EQ(wide->Ranges()[3], 63 * kFixedOne + kFixedOne / 2);
}

TEST_F(CieColorSpaceTest, BadParametersAreRefused) {
  struct Case {
    const char* name;
    const char* text;
    int32_t family;
  } cases[] = {
      {"no white point", "<< /Gamma 2 >>", CieColorSpace::kCalGray},
      {"white point not an array", "<< /WhitePoint 1 >>", CieColorSpace::kCalGray},
      {"short white point", "<< /WhitePoint [1 1] >>", CieColorSpace::kCalGray},
      {"negative white", "<< /WhitePoint [-1 1 1] >>", CieColorSpace::kCalRgb},
      {"black above white", "<< /WhitePoint [1 1 1] /BlackPoint [2 2 2] /Gamma 1 >>", CieColorSpace::kCalGray},
      {"zero gamma with a black level", "<< /WhitePoint [1 1 1] /BlackPoint [0.2 0.2 0.2] /Gamma 0 >>",
       CieColorSpace::kCalGray},
      {"singular matrix", "<< /WhitePoint [0.95 1 1.09] /Matrix [1 1 1 1 1 1 1 1 1] >>", CieColorSpace::kCalRgb},
      {"gamma of another type", "<< /WhitePoint [1 1 1] /Gamma /Two >>", CieColorSpace::kCalGray},
  };
  for (const Case& c : cases) {
    runtime::ObjectHandle parameters = Dictionary(c.text);
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { CieColorSpace::Parse(parameters, c.family, false); }),
              runtime::kMalformed)
        << c.name;
  }
}

TEST_F(CieColorSpaceTest, CacheBuildsOnceAndForgetsFailures) {
  ColorSpaceCache cache(&context_);
  runtime::ObjectHandle parameters = Dictionary("<< /WhitePoint [0.9642 1 0.8249] /Gamma 2.2 >>");
  int builds = 0;
  auto build = [&] {
    ++builds;
    return ColorSpaceRef(CieColorSpace::Parse(parameters, CieColorSpace::kCalGray, false));
  };
  ColorSpaceRef first = cache.Lookup(parameters, CieColorSpace::kCalGray, build);
  ColorSpaceRef second = cache.Lookup(parameters, CieColorSpace::kCalGray, build);
  EXPECT_EQ(builds, 1);
  EXPECT_EQ(first.Get(), second.Get());
  ASSERT_NE(first->CacheEntry(), nullptr);
  EXPECT_EQ(first->CacheEntry()->byteSize, first->MemorySize());
  // Another word is another key.
  ColorSpaceRef other = cache.Lookup(parameters, CieColorSpace::kLab, build);
  EXPECT_NE(other.Get(), first.Get());
  // A builder that throws leaves the cache as it was.
  runtime::ObjectHandle bad = Dictionary("<< /Gamma 2 >>");
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              cache.Lookup(bad, CieColorSpace::kCalGray,
                           [&] { return ColorSpaceRef(CieColorSpace::Parse(bad, CieColorSpace::kCalGray, false)); });
            }),
            runtime::kMalformed);
  EXPECT_EQ(cache.Cache().Count(), 2u);
  // A build that asks for its own key meanwhile: one item stays cached.
  runtime::ObjectHandle nested = Dictionary("<< /WhitePoint [1 1 1] >>");
  ColorSpaceRef inner;
  ColorSpaceRef outer = cache.Lookup(nested, 0, [&] {
    inner = cache.Lookup(nested, 0, [&] { return ColorSpaceRef(IccProfile::DefaultLab(&context_)); });
    return ColorSpaceRef(IccProfile::DefaultLab(&context_));
  });
  EXPECT_EQ(outer.Get(), inner.Get());
  EXPECT_EQ(cache.Cache().Count(), 3u);
  // Leaving the cache, a space still held elsewhere forgets its entry.
  cache.Cache().Destroy();
  EXPECT_EQ(first->CacheEntry(), nullptr);
}

// The multi-stage ("mAB ") tag is charged its own size, its curve lists by
// capacity, and the curves it alone holds.
TEST(IccMultiStageTransformTest, SizeCountsCapacityAndSoleHolders) {
  runtime::LibraryContext context;
  auto tag = streams::MakeRef<IccMultiStageTransform>(&context, true);
  const uint32_t empty = tag->MemorySize();
  EXPECT_EQ(empty, IccLutAtoB::kOwnSize + 3 * (IccLutAtoB::kCurveListHeadSize + 4 * IccLutAtoB::kReferenceSize));
  streams::Ref<IccCurve> shared = streams::MakeRef<IccCurve>(&context);
  for (uint32_t i = 0; i < 3; ++i) tag->aCurves[i] = streams::MakeRef<IccCurve>(&context);
  tag->aCurveCount = 3;
  EXPECT_EQ(tag->MemorySize(), empty + 3 * tag->aCurves[0]->MemorySize());
  // A curve also held elsewhere is charged to nobody.
  tag->aCurves[2] = shared;
  EXPECT_EQ(tag->MemorySize(), empty + 2 * tag->aCurves[0]->MemorySize());
}

}  // namespace
}  // namespace color
