// Interpolation and profile reading checked against lcms2.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "color/ClutStage.h"
#include "color/IccReads.h"
#include "color/IccSignature.h"
#include "color/LutTable.h"
#include "tests/color/IccTestSupport.h"

namespace color {
namespace {

// A 3-input 17-point table of random 16-bit values, interpolated by both
// sides at 10,000 random points: tetrahedral results agree within 1/255.
TEST(LcmsReferenceTest, TetrahedralClutMatchesWithinOneLevel) {
  constexpr uint32_t kGrid = 17, kOutputs = 3;
  std::mt19937 random(2929);
  std::vector<uint16_t> words(kGrid * kGrid * kGrid * kOutputs);
  for (uint16_t& w : words) w = static_cast<uint16_t>(random() & 0xFFFF);
  std::vector<Fixed> samples;
  for (uint16_t w : words) samples.push_back(Sample16ToFixed(w));

  runtime::LibraryContext context;
  const uint32_t grid[3] = {kGrid, kGrid, kGrid};
  IccStageRef stage = ClutStage::Create(&context, samples.data(), static_cast<uint32_t>(samples.size()), 3, kOutputs,
                                        grid, IccSig("RGB "), IccSig("RGB "));
  ASSERT_EQ(static_cast<ClutStage*>(stage.Get())->InterpolationVariant(), ClutStage::kTetrahedral);

  cmsContext lcms = cmsCreateContext(nullptr, nullptr);
  cmsPipeline* pipeline = cmsPipelineAlloc(lcms, 3, kOutputs);
  ASSERT_NE(pipeline, nullptr);
  cmsStage* clut = cmsStageAllocCLut16bit(lcms, kGrid, 3, kOutputs, words.data());
  ASSERT_NE(clut, nullptr);
  ASSERT_TRUE(cmsPipelineInsertStage(pipeline, cmsAT_END, clut));

  int worst = 0;
  for (int i = 0; i < 10000; ++i) {
    cmsUInt16Number in[3], out[kOutputs];
    Fixed v[4] = {};
    for (int c = 0; c < 3; ++c) {
      in[c] = static_cast<cmsUInt16Number>(random() & 0xFFFF);
      v[c] = Sample16ToFixed(in[c]);
    }
    cmsPipelineEval16(in, out, pipeline);
    stage->Apply(v);
    for (uint32_t o = 0; o < kOutputs; ++o) {
      int ours = v[o] >= 0x10000 ? 0xFFFF : v[o];
      int difference = std::abs(ours - static_cast<int>(out[o]));
      worst = std::max(worst, difference);
      ASSERT_LE(difference, 257) << "point " << i << " output " << o;
    }
  }
  RecordProperty("worst_difference_in_65535", worst);
  cmsPipelineFree(pipeline);
  cmsDeleteContext(lcms);
}

// Every profile of the free profile collection (and the ones the PostScript
// interpreter ships) either reads or is refused with a clear code; what
// reads agrees with lcms2 on the header and the white point.
std::vector<std::string> FreeProfiles() {
  std::vector<std::string> files;
  std::error_code error;
  for (const char* folder : {"/usr/share/color/icc", "/usr/share/color/icc/ghostscript"}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
      std::string ext = entry.path().extension().string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (entry.is_regular_file() && (ext == ".icc" || ext == ".icm")) files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FreeProfileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FreeProfileTest, ReadsOrRefusesClearly) {
  const std::string bytes = ReadFile(GetParam());
  ASSERT_GE(bytes.size(), 128u);
  runtime::LibraryContext context;
  IccProfileRef profile;
  long code = testing::TryParse(&context, bytes, &profile);
  cmsHPROFILE reference = cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  ASSERT_NE(reference, nullptr) << "the reference cannot read it either";
  if (code != -1) {
    // Refusals are malformed data or an unsupported feature, nothing else.
    EXPECT_TRUE(code == runtime::kMalformed || code == runtime::kUnsupported) << code;
    RecordProperty("refused_with_code", static_cast<int>(code));
    cmsCloseProfile(reference);
    return;
  }
  EXPECT_EQ(profile->deviceClass, static_cast<uint32_t>(cmsGetDeviceClass(reference)));
  EXPECT_EQ(profile->dataSpace, static_cast<uint32_t>(cmsGetColorSpace(reference)));
  EXPECT_EQ(profile->pcs, static_cast<uint32_t>(cmsGetPCS(reference)));
  EXPECT_EQ(profile->ComponentCount(), static_cast<int32_t>(cmsChannelsOf(cmsGetColorSpace(reference))));
  auto* white = static_cast<cmsCIEXYZ*>(cmsReadTag(reference, cmsSigMediaWhitePointTag));
  if (white != nullptr && profile->whitePoint && white->X <= 10.0) {
    EXPECT_NEAR(profile->whitePoint->x / 65536.0, white->X, 1.0 / 65536);
    EXPECT_NEAR(profile->whitePoint->y / 65536.0, white->Y, 1.0 / 65536);
    EXPECT_NEAR(profile->whitePoint->z / 65536.0, white->Z, 1.0 / 65536);
  }
  EXPECT_EQ(static_cast<bool>(profile->aToB[0]), static_cast<bool>(cmsIsTag(reference, cmsSigAToB0Tag)));
  EXPECT_EQ(static_cast<bool>(profile->bToA[0]), static_cast<bool>(cmsIsTag(reference, cmsSigBToA0Tag)));
  EXPECT_EQ(static_cast<bool>(profile->trc[IccProfile::kGray]), static_cast<bool>(cmsIsTag(reference, cmsSigGrayTRCTag)));
  // Deferred tables read what the immediate reading would.
  for (const auto& lut : profile->aToB) {
    if (lut && lut->IsLegacyLut()) static_cast<void>(static_cast<LutTable*>(lut.Get())->clut.Samples());
  }
  cmsCloseProfile(reference);
}

std::string ProfileTestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = std::to_string(info.index) + "_";
  for (char c : std::filesystem::path(info.param).filename().string()) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Files, FreeProfileTest, ::testing::ValuesIn(FreeProfiles()), ProfileTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FreeProfileTest);

TEST(FreeProfilesPresent, UnderContinuousIntegration) {
  if (std::getenv("CI") == nullptr || std::string(std::getenv("CI")) != "true") GTEST_SKIP() << "not under CI";
  EXPECT_GE(FreeProfiles().size(), 10u) << "install icc-profiles-free (tools/dev setup)";
}

}  // namespace
}  // namespace color
