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
#include <vector>

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

struct ExtractedProfile {
  int object = 0;
  std::string path;
  int components = 0;
};

// Extracts the profiles of a group of files through one run of the script
// (an interpreter start costs more than reading most files): the profiles
// of each file, in the order of `pdfs`, or nothing when the script did not
// reach every file.
std::vector<std::vector<ExtractedProfile>> ExtractProfiles(const std::vector<std::string>& pdfs,
                                                           const std::filesystem::path& dir) {
  std::string command = testsupport::Python() + " '" + std::string(FOLVANE_SOURCE_DIR) +
                        "/tests/color/corpus_profiles.py' '" + dir.string() + "'";
  for (const std::string& pdf : pdfs) command += " '" + pdf + "'";
  std::string listing;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) listing.append(buffer, n);
    ::pclose(pipe);
  }
  std::vector<std::vector<ExtractedProfile>> files;
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string first;
    if (!(fields >> first)) continue;
    if (first == "file") {
      files.emplace_back();
      continue;
    }
    ExtractedProfile profile;
    if (files.empty() || !(std::istringstream(first) >> profile.object) ||
        !(fields >> profile.path >> profile.components)) {
      continue;
    }
    files.back().push_back(profile);
  }
  return files;
}

// One file's profiles.
void CheckEmbeddedProfiles(const std::vector<ExtractedProfile>& profiles) {
  runtime::LibraryContext context;
  for (const ExtractedProfile& extracted : profiles) {
    const int object = extracted.object;
    const int components = extracted.components;
    std::ifstream in(extracted.path, std::ios::binary);
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
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  std::vector<std::string> pdfs;
  for (const std::string& file : files) pdfs.push_back(pdftest::CorpusDir() + "/" + file);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("color-profiles-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam()));
  std::filesystem::create_directories(dir);
  const std::vector<std::vector<ExtractedProfile>> profiles = ExtractProfiles(pdfs, dir);
  EXPECT_EQ(profiles.size(), files.size()) << "the extraction script stopped early";
  for (size_t i = 0; i < files.size() && i < profiles.size(); ++i) {
    SCOPED_TRACE(files[i]);
    CheckEmbeddedProfiles(profiles[i]);
  }
  std::error_code error;
  std::filesystem::remove_all(dir, error);
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
