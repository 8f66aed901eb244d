// The ICC profiles embedded in the corpus files, extracted at test time
// with qpdf: each one the reference library reads must read here too (a
// profile it refuses must at least be refused cleanly).
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "color/IccConverter.h"
#include "tests/color/IccTestSupport.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/support/Python.h"

namespace color {
namespace {

bool HaveQpdf() { return std::system("qpdf --version > /dev/null 2>&1") == 0; }

// What parses converts into the display profile, or is refused with a
// clear code; a few colours go through the converter.
void ConvertSomeColours(runtime::LibraryContext* context, IccProfile& profile, int object) {
  IccProfileRef display = testing::DisplayProfile(context);
  const long code = testsupport::RuntimeCodeOf(context, [&] {
    ColorConverterPtr converter = profile.MakeConverter8(*display, kRelativeColorimetric, 0, false);
    ASSERT_TRUE(converter);
    for (uint8_t value : {0, 77, 128, 255}) {
      const uint8_t in[4] = {value, value, value, value};
      uint8_t out[3];
      converter->ConvertPixel(out, 1, in, 1);
    }
  });
  EXPECT_TRUE(code == -1 || code == runtime::kMalformed || code == runtime::kUnsupported)
      << "object " << object << " code " << code;
}

// One file's profiles.
void CheckEmbeddedProfiles(const std::string& name) {
  const std::string pdf = pdftest::CorpusDir() + "/" + name;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("color-profiles-" + std::to_string(::getpid()) + "-" +
                                                std::to_string(std::hash<std::string>()(name)));
  std::filesystem::create_directories(dir);
  const std::string command = testsupport::Python() + " '" + std::string(FOLVANE_SOURCE_DIR) + "/tests/color/corpus_profiles.py' '" + pdf + "' '" +
                              dir.string() + "'";
  std::string listing;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) listing.append(buffer, n);
    ::pclose(pipe);
  }
  std::istringstream lines(listing);
  int object = 0, components = 0;
  std::string path;
  runtime::LibraryContext context;
  while (lines >> object >> path >> components) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    IccProfileRef profile;
    const long code = testing::TryParse(&context, bytes, &profile);
    cmsHPROFILE reference = cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
    if (reference != nullptr && cmsChannelsOf(cmsGetColorSpace(reference)) <= 4) {
      EXPECT_EQ(code, -1) << "object " << object;
      if (code == -1) {
        EXPECT_EQ(profile->dataSpace, static_cast<uint32_t>(cmsGetColorSpace(reference))) << "object " << object;
        if (components != 0) {
          EXPECT_EQ(profile->ComponentCount(), components) << "object " << object;
        }
      }
    } else {
      EXPECT_TRUE(code == -1 || code == runtime::kMalformed || code == runtime::kUnsupported)
          << "object " << object << " code " << code;
    }
    if (code == -1) ConvertSomeColours(&context, *profile, object);
    if (reference != nullptr) cmsCloseProfile(reference);
  }
  std::error_code error;
  std::filesystem::remove_all(dir, error);
}

class CorpusProfilesTest : public ::testing::TestWithParam<int> {};

// A comparison with the reference library through qpdf's extraction: the
// normal build only (the parser's memory safety has its fuzz target).
TEST_P(CorpusProfilesTest, EmbeddedProfilesRead) {
  if (pdftest::kSanitizerBuild) GTEST_SKIP() << "reference comparison: normal build only";
  if (!HaveQpdf()) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "qpdf is missing";
    GTEST_SKIP() << "qpdf is missing";
  }
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    SCOPED_TRACE(file);
    CheckEmbeddedProfiles(file);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusProfilesTest, ::testing::ValuesIn(pdftest::ReferenceCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusProfilesTest);

TEST(CorpusProfilesPresent, UnderContinuousIntegration) {
  if (!pdftest::UnderContinuousIntegration()) GTEST_SKIP() << "not under CI";
  EXPECT_FALSE(pdftest::CorpusFiles().empty()) << "the corpus is missing";
}

}  // namespace
}  // namespace color
