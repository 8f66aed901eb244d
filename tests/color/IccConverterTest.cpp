// Converters between profiles: device spaces into the display profile, the
// pixel cache, transform reuse, pass-through converters and the 16.16
// converter's input ranges.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <random>
#include <vector>

#include "color/BasicStages.h"
#include "color/ColorSpaceCache.h"
#include "color/GammaConversion.h"
#include "color/IccConverter.h"
#include "tests/color/IccTestSupport.h"

namespace color {
namespace {

using runtime::kFixedOne;

template <size_t In, size_t Out>
std::array<uint8_t, Out> Convert8(ColorConverter& converter, std::array<uint8_t, In> in) {
  std::array<uint8_t, Out> out{};
  converter.ConvertPixel(out.data(), 1, in.data(), 1);
  return out;
}

void ExpectNear(std::array<uint8_t, 3> got, std::array<uint8_t, 3> want, int tolerance, const char* what) {
  for (int c = 0; c < 3; ++c) EXPECT_LE(std::abs(got[c] - want[c]), tolerance) << what << " channel " << c;
}

class IccConverterTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context_;
  IccProfileRef display_ = testing::DisplayProfile(&context_);
};

TEST_F(IccConverterTest, DeviceSpacesReachDisplayWhiteAndBlack) {
  IccProfileRef rgb = testing::DeviceRgbProfile(&context_);
  ColorConverterPtr converter = rgb->MakeConverter8(*display_, kRelativeColorimetric, 0, false);
  ASSERT_TRUE(converter);
  ExpectNear(Convert8<3, 3>(*converter, {255, 255, 255}), {255, 255, 255}, 1, "white");
  ExpectNear(Convert8<3, 3>(*converter, {0, 0, 0}), {0, 0, 0}, 0, "black");

  IccProfileRef gray = testing::DeviceGrayProfile(&context_);
  ColorConverterPtr grayConverter = gray->MakeConverter8(*display_, kRelativeColorimetric, 0, false);
  ExpectNear(Convert8<1, 3>(*grayConverter, {255}), {255, 255, 255}, 1, "gray white");
  ExpectNear(Convert8<1, 3>(*grayConverter, {0}), {0, 0, 0}, 0, "gray black");
  std::array<uint8_t, 3> mid = Convert8<1, 3>(*grayConverter, {128});
  EXPECT_LE(std::abs(mid[0] - mid[1]), 1);
  EXPECT_LE(std::abs(mid[2] - mid[1]), 1);
  EXPECT_NEAR(mid[1], 128, 8);
}

TEST_F(IccConverterTest, PrinterCmykGivesPaperAndInk) {
  IccProfileRef cmyk = testing::PrinterCmykProfile(&context_);
  ColorConverterPtr converter = cmyk->MakeConverter8(*display_, kPerceptual, 0, false);
  ASSERT_TRUE(converter);
  std::array<uint8_t, 3> paper = Convert8<4, 3>(*converter, {0, 0, 0, 0});
  std::array<uint8_t, 3> ink = Convert8<4, 3>(*converter, {255, 255, 255, 255});
  for (int c = 0; c < 3; ++c) {
    EXPECT_GE(paper[c], 235) << c;
    EXPECT_LE(ink[c], 40) << c;
  }
}

TEST_F(IccConverterTest, LabMidGrayIsNeutral) {
  IccProfileRef lab = IccProfile::DefaultLab(&context_);
  ColorConverterPtr converter = lab->MakeConverterFixed(*display_, kRelativeColorimetric, 0, false);
  ASSERT_TRUE(converter);
  const Fixed in[3] = {50 * kFixedOne, 0, 0};
  Fixed out[3] = {};
  converter->ConvertPixel(out, 1, in, 1);
  const int r = FixedToByte(out[0]), g = FixedToByte(out[1]), b = FixedToByte(out[2]);
  EXPECT_LE(std::abs(r - g), 1);
  EXPECT_LE(std::abs(b - g), 1);
  // L* 50 is about sRGB 119.
  EXPECT_NEAR(g, 119, 4);
}

TEST_F(IccConverterTest, RepeatedPixelRunsTheChainOnce) {
  IccProfileRef rgb = testing::DeviceRgbProfile(&context_);
  ColorConverterPtr converter = rgb->MakeConverter8(*display_, kRelativeColorimetric, 0, false);
  auto& icc = static_cast<IccConverter8&>(*converter);
  const uint64_t before = icc.Transform().ChainRuns();
  std::array<uint8_t, 3> first = Convert8<3, 3>(*converter, {10, 200, 30});
  std::array<uint8_t, 3> second = Convert8<3, 3>(*converter, {10, 200, 30});
  EXPECT_EQ(icc.Transform().ChainRuns(), before + 1);
  EXPECT_EQ(first, second);

  // (8, 0, 0) and (0, 0, 0) share row 0: they evict each other and the key
  // keeps both right.
  std::array<uint8_t, 3> black = Convert8<3, 3>(*converter, {0, 0, 0});
  std::array<uint8_t, 3> dark = Convert8<3, 3>(*converter, {8, 0, 0});
  EXPECT_EQ((Convert8<3, 3>(*converter, {0, 0, 0})), black);
  EXPECT_EQ((Convert8<3, 3>(*converter, {8, 0, 0})), dark);
  EXPECT_NE(black, dark);
  EXPECT_EQ(icc.Transform().ChainRuns(), before + 5);
}

TEST_F(IccConverterTest, CmykRowsUseTwoBitsPerInk) {
  IccProfileRef cmyk = testing::PrinterCmykProfile(&context_);
  ColorConverterPtr converter = cmyk->MakeConverter8(*display_, kPerceptual, 0, false);
  auto& icc = static_cast<IccConverter8&>(*converter);
  std::array<uint8_t, 3> paper = Convert8<4, 3>(*converter, {0, 0, 0, 0});
  std::array<uint8_t, 3> tint = Convert8<4, 3>(*converter, {4, 0, 0, 0});
  const uint64_t runs = icc.Transform().ChainRuns();
  EXPECT_EQ((Convert8<4, 3>(*converter, {0, 0, 0, 0})), paper);
  EXPECT_EQ((Convert8<4, 3>(*converter, {4, 0, 0, 0})), tint);
  EXPECT_EQ(icc.Transform().ChainRuns(), runs + 2);
}

TEST_F(IccConverterTest, TransformAskedTwiceIsBuiltOnce) {
  IccProfileRef rgb = testing::DeviceRgbProfile(&context_);
  ColorConverterPtr a = rgb->MakeConverter8(*display_, kRelativeColorimetric, 0, false);
  ColorConverterPtr b = rgb->MakeConverterFixed(*display_, kRelativeColorimetric, 0, false);
  EXPECT_EQ(&static_cast<IccConverter8&>(*a).Transform(), &static_cast<IccConverterFixed&>(*b).Transform());
  // Another intent, or the linear flag, is another transform.
  ColorConverterPtr c = rgb->MakeConverter8(*display_, kRelativeColorimetric, 0, true);
  EXPECT_NE(&static_cast<IccConverter8&>(*a).Transform(), &static_cast<IccConverter8&>(*c).Transform());
  // A profile freed and another built at the same address is not taken
  // for the first.
  const IccProfile* old = display_.Get();
  const uint64_t serial = display_->Serial();
  display_ = testing::DisplayProfile(&context_);
  if (display_.Get() == old) {
    EXPECT_NE(display_->Serial(), serial);
  }
}

TEST_F(IccConverterTest, LinearConverterEncodesLikeTheFullChain) {
  IccProfileRef rgb = testing::DeviceRgbProfile(&context_);
  ColorConverterPtr full = rgb->MakeConverter8(*display_, kRelativeColorimetric, 0, false);
  ColorConverterPtr linear = rgb->MakeConverter8(*display_, kRelativeColorimetric, 0, true);
  for (std::array<uint8_t, 3> in : {std::array<uint8_t, 3>{200, 100, 50}, std::array<uint8_t, 3>{30, 60, 90}}) {
    std::array<uint8_t, 3> light = Convert8<3, 3>(*linear, in);
    std::array<uint8_t, 3> encoded{};
    linear->EncodePixel(encoded.data(), 1, light.data(), 1);
    // The byte between the two halves costs a few levels in the shadows.
    ExpectNear(encoded, Convert8<3, 3>(*full, in), 6, "encoded");
  }
}

TEST_F(IccConverterTest, PassThroughToItself) {
  IccProfileRef rgb = testing::DeviceRgbProfile(&context_);
  ColorConverterPtr copy = rgb->MakeConverter8(*rgb, kPerceptual, 0, false);
  ColorConverterPtr linear = rgb->MakeConverter8(*rgb, kPerceptual, 0, true);
  EXPECT_EQ((Convert8<3, 3>(*copy, {1, 128, 250})), (std::array<uint8_t, 3>{1, 128, 250}));
  EXPECT_EQ((Convert8<3, 3>(*linear, {1, 128, 250})),
            (std::array<uint8_t, 3>{DecodeGammaByte(1), DecodeGammaByte(128), DecodeGammaByte(250)}));
  EXPECT_LT(DecodeGammaByte(128), 60);
  EXPECT_EQ(DecodeGammaByte(255), 255);
  EXPECT_EQ(EncodeGammaByte(0), 0);
  ColorConverterPtr fixed = rgb->MakeConverterFixed(*rgb, kPerceptual, 0, false);
  const Fixed in[3] = {-5, kFixedOne / 2, 2 * kFixedOne};
  Fixed out[3];
  fixed->ConvertPixel(out, 1, in, 1);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], kFixedOne / 2);
  EXPECT_EQ(out[2], kFixedOne);
}

TEST_F(IccConverterTest, SampleScaling) {
  EXPECT_EQ(ByteToFixed(255), kFixedOne);
  EXPECT_EQ(FixedToByte(kFixedOne), 255);
  EXPECT_EQ(ByteToFixed(128), 0x8081);
  EXPECT_EQ(FixedToByte(0x8081), 128);
  EXPECT_EQ(FixedToByte(0x7FFF), 127);
  for (uint32_t b = 0; b < 256; ++b) EXPECT_EQ(FixedToByte(ByteToFixed(b)), b);
}

TEST_F(IccConverterTest, FixedConverterNormalisesLabAndClampsItsOutput) {
  IccProfileRef lab = IccProfile::DefaultLab(&context_);
  // A Lab profile of the default kind, its ranges dropped: the converter
  // supplies L* 0..100, a* and b* -128..127.
  lab->SetRange({});
  EXPECT_TRUE(lab->Ranges().empty());
  ColorConverterPtr converter = lab->MakeConverterFixed(*display_, kRelativeColorimetric, 0, false);
  auto& icc = static_cast<IccConverterFixed&>(*converter);
  const Fixed in[3] = {50 * kFixedOne, 0, 0};
  Fixed out[3];
  converter->ConvertPixel(out, 1, in, 1);
  Fixed v[kMaxColorChannels] = {kFixedOne / 2, 128 * kFixedOne / 255, 128 * kFixedOne / 255, 0};
  icc.Transform().Evaluate(v);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], ClampUnit(v[c]), 1) << c;
  // Far out of gamut: every output still lies in [0, 1.0].
  const Fixed wild[3] = {100 * kFixedOne, -128 * kFixedOne, 127 * kFixedOne};
  converter->ConvertPixel(out, 1, wild, 1);
  for (Fixed o : out) {
    EXPECT_GE(o, 0);
    EXPECT_LE(o, kFixedOne);
  }
}

TEST_F(IccConverterTest, BuildingIsChargedToTheProfilesCacheEntry) {
  ColorSpaceCache cache(&context_);
  runtime::ObjectHandle key;
  ColorSpaceRef space = cache.Lookup(key, 1, [&] { return ColorSpaceRef(testing::DeviceRgbProfile(&context_)); });
  ASSERT_NE(space->CacheEntry(), nullptr);
  runtime::CacheEntry* entry = space->CacheEntry();
  const uint32_t before = entry->byteSize;
  auto* profile = space->AsProfile();
  ColorConverterPtr converter = profile->MakeConverter8(*display_, kRelativeColorimetric, 0, false);
  EXPECT_EQ(entry->byteSize, profile->MemorySize());
  EXPECT_GT(entry->byteSize, before);
  EXPECT_EQ(context_.cacheManager.cachedBytes, entry->byteSize);
}

}  // namespace
}  // namespace color

namespace color {
namespace {

// A rectangle converted at once equals its pixels converted one by one,
// whatever the buffers' steps and origins: a small one with few colours
// (hits and misses mixed) and one large enough for the converter's tables
// of the leading and trailing curves, with colours all over the cube.
TEST(IccConverterRectTest, RectangleEqualsPixelByPixel) {
  struct Shape {
    int width, height;
    bool fewColours;
  };
  for (const Shape shape : {Shape{300, 7, true}, Shape{512, 160, false}}) {
    runtime::LibraryContext context;
    IccProfileRef display = testing::DisplayProfile(&context);
    for (IccProfileRef profile : {testing::DeviceRgbProfile(&context), testing::PrinterCmykProfile(&context),
                                  testing::DeviceGrayProfile(&context)}) {
      const int channels = profile->ComponentCount();
      const int kWidth = shape.width, kHeight = shape.height;
      constexpr int kInStep = 5, kOutStep = 4;
      std::vector<uint8_t> in(static_cast<size_t>(kWidth) * kHeight * kInStep),
          rect(static_cast<size_t>(kWidth) * kHeight * kOutStep, 0xEE), single(rect.size(), 0xEE);
      std::mt19937 random(static_cast<uint32_t>(channels));
      for (uint8_t& b : in) b = static_cast<uint8_t>(shape.fewColours ? (random() % 6) * 51 : random());
      ColorConverterPtr batched = profile->MakeConverter8(*display, kRelativeColorimetric, 0, false);
      ColorConverterPtr plain = profile->MakeConverter8(*display, kRelativeColorimetric, 0, false);
      ColorBuffer source{in.data(), 10, 20, 1, 1, kInStep, kInStep * kWidth};
      ColorBuffer destination{rect.data(), 10, 20, 0, 1, kOutStep, kOutStep * kWidth};
      batched->ConvertRect(destination, source, 10, 20, 10 + kWidth, 20 + kHeight);
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          const size_t at = static_cast<size_t>(y) * kWidth + x;
          plain->ConvertPixel(&single[at * kOutStep], 1, &in[at * kInStep + 1], 1);
        }
      }
      EXPECT_EQ(rect, single) << channels << " inputs, " << kWidth << " x " << kHeight;
    }
  }
}

}  // namespace
}  // namespace color
