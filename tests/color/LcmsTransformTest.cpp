// Whole conversions checked against lcms2: random colours from the free
// RGB and CMYK profiles of the system (and the built-in CMYK profile) into
// the display profile, relative colorimetric with black point
// compensation on both sides.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "color/IccConverter.h"
#include "tests/color/IccTestSupport.h"

namespace color {
namespace {

std::string ReadProfileFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Profiles that every Debian machine with the free profile packages has.
std::vector<std::string> ReferenceProfiles() {
  // The built-in CMYK profile is compared through the raster device
  // (RasterColorSpaceTest).
  std::vector<std::string> files;
  for (const char* path : {"/usr/share/color/icc/sRGB.icc", "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc",
                           "/usr/share/color/icc/LStar-RGB.icc", "/usr/share/color/icc/ghostscript/default_cmyk.icc",
                           "/usr/share/color/icc/ghostscript/ps_cmyk.icc", "/usr/share/color/icc/ghostscript/a98.icc",
                           "/usr/share/color/icc/ghostscript/default_gray.icc"}) {
    if (std::filesystem::exists(path)) files.push_back(path);
  }
  return files;
}

constexpr int kVersion4CmykWorst = 11;

class LcmsTransformTest : public ::testing::TestWithParam<std::string> {};

TEST_P(LcmsTransformTest, RandomColoursAgreeWithinThreeLevels) {
  const std::string bytes = ReadProfileFile(GetParam());
  runtime::LibraryContext context;
  IccProfileRef source;
  ASSERT_EQ(testing::TryParse(&context, bytes, &source), -1);
  IccProfileRef display = testing::DisplayProfile(&context);
  ColorConverterPtr converter = source->MakeConverter8(*display, kRelativeColorimetric, 0, false);
  ASSERT_TRUE(converter);

  cmsHPROFILE from = cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  cmsHPROFILE to = cmsOpenProfileFromMem(GetEmbeddedRgbProfile(), GetEmbeddedRgbProfileSize());
  ASSERT_NE(from, nullptr);
  const int channels = source->ComponentCount();
  const cmsUInt32Number format = channels == 4 ? TYPE_CMYK_8 : channels == 1 ? TYPE_GRAY_8 : TYPE_RGB_8;
  cmsHTRANSFORM reference =
      cmsCreateTransform(from, format, to, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                         cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE);
  ASSERT_NE(reference, nullptr);

  // Every source agrees within 3 levels per channel, but for a version 4
  // CMYK profile: lcms2 connects such a profile's perceptual tables to a
  // reference black of L* 3.1 when it estimates the source black point
  // (the round trip of Lab black), which this system's estimate does not
  // know of (it finds L* 0), so black point compensation scales the
  // darkest colours differently. Those are held to the mean difference
  // and a bound on the worst.
  const bool cmyk = channels == 4;
  const bool version4Cmyk = cmyk && static_cast<uint8_t>(bytes[8]) >= 4;
  std::mt19937 random(200);
  // The colours also go through a rectangle large enough for the
  // converter's tables (leading and trailing curves), each colour filling
  // one run of a 512 x 256 image.
  constexpr int kColours = 200, kSide = 512, kRows = 256;
  std::vector<uint8_t> image(static_cast<size_t>(kSide) * kRows * 4), converted(static_cast<size_t>(kSide) * kRows * 3);
  uint8_t colours[kColours][4];
  for (auto& colour : colours) {
    for (uint8_t& b : colour) b = static_cast<uint8_t>(random() & 0xFF);
  }
  for (size_t p = 0; p < static_cast<size_t>(kSide) * kRows; ++p) {
    for (int c = 0; c < 4; ++c) image[p * 4 + c] = colours[p * kColours / (static_cast<size_t>(kSide) * kRows)][c];
  }
  ColorConverterPtr rectangle = source->MakeConverter8(*display, kRelativeColorimetric, 0, false);
  rectangle->ConvertRect(ColorBuffer{converted.data(), 0, 0, 0, 1, 3, 3 * kSide},
                         ColorBuffer{image.data(), 0, 0, 0, 1, 4, 4 * kSide}, 0, 0, kSide, kRows);
  int worst = 0;
  double total = 0;
  for (int i = 0; i < kColours; ++i) {
    const uint8_t* in = colours[i];
    uint8_t ours[3], theirs[3];
    converter->ConvertPixel(ours, 1, in, 1);
    cmsDoTransform(reference, in, theirs, 1);
    // The last pixel of the colour's run.
    const size_t last = ((static_cast<size_t>(i) + 1) * kSide * kRows - 1) / kColours;
    for (int c = 0; c < 3; ++c) {
      const int difference = std::abs(ours[c] - theirs[c]);
      worst = std::max(worst, difference);
      total += difference;
      EXPECT_LE(difference, version4Cmyk ? kVersion4CmykWorst : 3) << "colour " << i << " (" << int(in[0]) << ", " << int(in[1]) << ", "
                               << int(in[2]) << ", " << int(in[3]) << ") channel " << c << ": ours "
                               << int(ours[c]) << ", lcms2 " << int(theirs[c]);
      EXPECT_LE(std::abs(converted[last * 3 + c] - theirs[c]), version4Cmyk ? kVersion4CmykWorst : 3)
          << "colour " << i << " in a rectangle, channel " << c;
    }
  }
  RecordProperty("worst_difference", worst);
  RecordProperty("mean_difference_x100", static_cast<int>(total / 6.0));
  if (version4Cmyk) {
    EXPECT_LE(total / 600.0, 1.0) << "mean difference";
  }
  std::printf("%s: worst %d, mean %.2f\n", GetParam().c_str(), worst, total / 600.0);
  cmsDeleteTransform(reference);
  cmsCloseProfile(from);
  cmsCloseProfile(to);
}

std::string ReferenceProfileName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char c : std::filesystem::path(info.param).filename().string()) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Profiles, LcmsTransformTest, ::testing::ValuesIn(ReferenceProfiles()),
                         ReferenceProfileName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(LcmsTransformTest);

}  // namespace
}  // namespace color
