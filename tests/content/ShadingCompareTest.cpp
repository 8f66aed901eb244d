// Pages of the corpus that paint smooth shadings, by "sh" or through a
// shading pattern, rendered at 72 dpi through the probe and by mutool and
// compared like the first pages of RenderCorpusTest: the PSNR after a 3 x 3
// box blur of both, at least 25 dB unless the page is listed below with the
// reason. mutool's resource listing ("mutool info") names the pages, so the
// test follows the corpus as it is (normal build only).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/content/PageImages.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

constexpr double kShadedPageMinimumPsnr = 25.0;
constexpr int kShadedPageSeconds = 100;
// Pages compared per file: the first pages that use a shading.
constexpr size_t kShadedPagesPerFile = 8;

// Why a shaded page stays below 25 dB.
enum ShadedPageReason {
  kShadedJpx,           // JPX images on the page are not decoded
  kShadedColourValues,  // CMYK colours go through profiles here, through
                        // plain formulas in the mutool build used (no ICC)
  kShadedSteps,         // a function with hard steps: both sample it into
                        // a table of 256 entries, at other points, so band
                        // edges move by up to half an entry (pdftoppm's
                        // bands are closer to ours than to mutool's)
  kShadedSubstitute,    // the shaded text is in a font that is not
                        // embedded, drawn with another substitute here
};

// "file:page" of the shaded pages below 25 dB, each with its reason.
const std::map<std::string, ShadedPageReason>& ShadedPageDifferences() {
  static const std::map<std::string, ShadedPageReason> known = {
      {"pdf/S2.pdf:1", kShadedJpx},
      {"pdf/function_based_shading_cmyk.pdf:1", kShadedColourValues},
      {"pdf/function_based_shading_cmyk.pdf:2", kShadedColourValues},
      {"pdf/issue10572.pdf:1", kShadedSteps},
      {"pdf/issue9243.pdf:1", kShadedSubstitute},
      {"pdf/postscript_type4_many_outputs.pdf:1", kShadedColourValues},
  };
  return known;
}

// The pages (1-based, ascending) whose resources hold a shading or a
// shading pattern, from mutool's listing: the "Shading patterns" section
// and the "Shading" rows of the "Patterns" section.
std::set<int> ShadedPages(const std::string& listing) {
  std::set<int> pages;
  std::istringstream lines(listing);
  std::string line;
  enum { kOther, kShadings, kPatterns } section = kOther;
  while (std::getline(lines, line)) {
    if (line.rfind("Shading patterns", 0) == 0) {
      section = kShadings;
    } else if (line.rfind("Patterns", 0) == 0) {
      section = kPatterns;
    } else if (line.empty() || line[0] != '\t') {
      section = kOther;
    } else if (section != kOther) {
      // "\tPAGE\t(N 0 R):\tKIND ...": the page, then the kind after the
      // page object's reference.
      const int page = std::atoi(line.c_str() + 1);
      const size_t colon = line.find("):\t");
      if (page < 1 || colon == std::string::npos) continue;
      if (section == kShadings || line.compare(colon + 3, 8, "Shading ") == 0) pages.insert(page);
    }
  }
  return pages;
}

// mutool draws the listed pages of a group in one process, as
// RenderCorpusTest's script draws first pages: arguments come in threes,
// file, page index and output.
constexpr const char* kShadedPagesScript = R"(var a = scriptArgs;
for (var i = 0; i + 2 < a.length; i += 3) {
  try {
    var page = new Document(a[i]).loadPage(parseInt(a[i + 1]));
    page.toPixmap([1, 0, 0, 1, 0, 0], DeviceRGB, false).saveAsPNG(a[i + 2]);
  } catch (e) {}
}
)";

struct ShadedPage {
  std::string file;  // "folder/name.pdf"
  int page = 0;
  std::string ours, reference;  // PNG paths
};

class ShadingCompareTest : public ::testing::TestWithParam<int> {};

TEST_P(ShadingCompareTest, ShadedPagesMatchMutoolAfterABlur) {
  if (std::system("mutool -v >/dev/null 2>&1") != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "mutool is missing";
    GTEST_SKIP() << "mutool is missing";
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("folvane-shaded-" + std::to_string(GetParam()) + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::vector<ShadedPage> pages;
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    const std::string path = pdftest::CorpusDir() + "/" + file;
    const std::set<int> found = ShadedPages(
        pdftest::RunCommand("timeout " + std::to_string(kShadedPageSeconds) + " mutool info '" + path + "' 2>/dev/null")
            .out);
    const std::string stem = std::filesystem::path(file).stem().string();
    size_t taken = 0;
    for (int page : found) {
      if (taken++ == kShadedPagesPerFile) break;
      const std::string base = (dir / (stem + "-" + std::to_string(page))).string();
      pages.push_back({file, page, base + ".png", base + "-ref.png"});
    }
  }
  std::error_code ignored;
  if (pages.empty()) {
    std::filesystem::remove_all(dir, ignored);
    return;
  }
  std::string arguments;
  for (const ShadedPage& page : pages) {
    const std::string path = pdftest::CorpusDir() + "/" + page.file;
    pdftest::RunCommand("timeout " + std::to_string(kShadedPageSeconds) + " '" + FOLVANE_BINARY_DIR +
                        "/tools/probe' render '" + path + "' " + std::to_string(page.page) + " --dpi 72 -o '" +
                        page.ours + "' >/dev/null 2>&1");
    arguments += " '" + path + "' " + std::to_string(page.page - 1) + " '" + page.reference + "'";
  }
  const std::string script = (dir / "draw.js").string();
  if (FILE* file = std::fopen(script.c_str(), "w")) {
    std::fputs(kShadedPagesScript, file);
    std::fclose(file);
  }
  pdftest::RunCommand("timeout " + std::to_string(kShadedPageSeconds * static_cast<int>(pages.size())) +
                      " mutool run '" + script + "'" + arguments + " >/dev/null 2>&1");
  for (const ShadedPage& page : pages) {
    const std::string name = page.file + ":" + std::to_string(page.page);
    pageimages::RgbImage theirs, ours;
    if (!pageimages::ReadPng(page.reference, theirs)) {
      std::printf("psnr %s: mutool renders no page\n", name.c_str());
      continue;
    }
    const bool rendered = pageimages::ReadPng(page.ours, ours);
    const double psnr = rendered ? pageimages::Psnr(ours, theirs) : 0.0;
    std::printf("psnr %s: %.2f dB\n", name.c_str(), psnr);
    if (ShadedPageDifferences().count(name) != 0) continue;
    EXPECT_TRUE(rendered) << name << ": no page rendered";
    EXPECT_GE(psnr, kShadedPageMinimumPsnr) << name;
  }
  std::filesystem::remove_all(dir, ignored);
}

INSTANTIATE_TEST_SUITE_P(Corpus, ShadingCompareTest, ::testing::ValuesIn(pdftest::ReferenceCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ShadingCompareTest);

}  // namespace
