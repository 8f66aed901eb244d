// The text of the corpus's first pages against pdftotext's: both split
// into words at white space and compared as sequences (2 × the longest
// common subsequence over the two lengths). Pages where pdftotext finds
// text are compared; a page scoring under kGoodSimilarity must be a known
// difference, listed below with its reason. The comparison runs in the
// normal build only; the sweep that plays the same pages for crashes and
// hangs runs in both. One probe process serves a whole group.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/support/FormFeedPages.h"

namespace {

// Pages of each file compared.
constexpr int kPages = 5;
// A page with fewer words in pdftotext's text is no text page.
constexpr size_t kMinWords = 10;
constexpr double kGoodSimilarity = 0.95;

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// 2 × LCS / (|a| + |b|), by the two-row table; beyond 40 million cells the
// sequences are compared as bags of words instead (the same figure for
// text in the same order).
double Similarity(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.empty() && b.empty()) return 1.0;
  size_t common = 0;
  if (a.size() * b.size() <= 40'000'000) {
    std::vector<uint32_t> previous(b.size() + 1, 0), current(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
      for (size_t j = 1; j <= b.size(); ++j) {
        current[j] = a[i - 1] == b[j - 1] ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
      }
      std::swap(previous, current);
    }
    common = previous[b.size()];
  } else {
    std::map<std::string, long> counts;
    for (const std::string& w : a) ++counts[w];
    for (const std::string& w : b) {
      if (counts[w]-- > 0) ++common;
    }
  }
  return 2.0 * static_cast<double>(common) / static_cast<double>(a.size() + b.size());
}

// Pages split at the form feeds both tools end pages with.
std::vector<std::string> Pages(const std::string& text) { return testsupport::FormFeedPages(text); }

// Whether page `page` (1-based) of `path` shows text in a font that the
// font layer cannot draw or load yet (such text is not extracted, as it is
// not shown), or the document is one the library cannot open (an
// unsupported feature).
bool BeyondTheLibraryYet(const std::string& path, size_t page) {
  const std::string fonts =
      pdftest::RunProbe("fonts '" + path + "' " + std::to_string(page), true).out;
  return fonts.find("drawn=none") != std::string::npos || fonts.find(" error ") != std::string::npos ||
         fonts.find("probe: error") != std::string::npos;
}

// Pages known to differ, "folder/file.pdf:page" with the reason.
const std::map<std::string, std::string>& KnownTextDifferences() {
  static const char* const kOrder = "the same words in another order: pdftotext orders blocks and table cells by its own layout analysis";
  static const char* const kForms = "form field text: pdftotext adds the widget annotations' appearances, the probe reads the page's content only";
  static const char* const kNames = "the font's glyph names (g18, G43, ...) give no Unicode and it has no ToUnicode map";
  static const char* const kBreaks = "word breaks differ: gaps between strings that pdftotext reads as spaces and we do not, or the reverse";
  static const char* const kUnknown = "not investigated yet";
  static const char* const kNewFonts =
      "fonts that load only since composite and TrueType programs landed: the page's text now comes out, "
      "differently from pdftotext's, not investigated yet";
  static const char* const kType3 =
      "Type 3 fonts, which load since their glyph procedures draw: the page's text now comes out, with word "
      "breaks other than pdftotext's, not investigated yet";
  static const std::map<std::string, std::string> known = {
      {"pdf/SimFang-variant.pdf:1", kType3},
      {"pdf/Type3WordSpacing.pdf:1",
       "six strings drawn over each other on one baseline (T* with no leading): pdftotext merges their letters "
       "by position, we read the strings one after another"},
      {"pdf/issue19971.pdf:2", kType3},
      {"pdf/issue19971.pdf:3", kType3},
      {"jbig2/issue12963.pdf:1", kNewFonts},
      {"jbig2/issue12963.pdf:2", kNewFonts},
      {"jbig2/issue12963.pdf:3", kNewFonts},
      {"jbig2/issue12963.pdf:4", kNewFonts},
      {"jbig2/issue12963.pdf:5", kNewFonts},
      {"pdf/ArabicCIDTrueType.pdf:1", kNewFonts},
      {"pdf/bug1146106.pdf:1", kNewFonts},
      {"pdf/bug1529502.pdf:1", kNewFonts},
      {"pdf/bug1669099.pdf:1", kNewFonts},
      {"pdf/bug1873345.pdf:1", kNewFonts},
      {"pdf/bug1937438_from_word.pdf:1", kNewFonts},
      {"pdf/bug1997343.pdf:1", kNewFonts},
      {"pdf/bug2009627.pdf:1", kNewFonts},
      {"pdf/bug2025674.pdf:1", kNewFonts},
      {"pdf/bug854315.pdf:1", kNewFonts},
      {"pdf/bug900822.pdf:1", kNewFonts},
      {"pdf/canvas.pdf:1", kNewFonts},
      {"pdf/canvas.pdf:2", kNewFonts},
      {"pdf/complex_ttf_font.pdf:1", kNewFonts},
      {"pdf/issue11656.pdf:1", kNewFonts},
      {"pdf/issue13211.pdf:1", kNewFonts},
      {"pdf/issue14497.pdf:1", kNewFonts},
      {"pdf/issue14847.pdf:1", kNewFonts},
      {"pdf/issue14847.pdf:5", kNewFonts},
      {"pdf/issue15096.pdf:1", kNewFonts},
      {"pdf/issue19182.pdf:1", kNewFonts},
      {"pdf/issue19802.pdf:1", kNewFonts},
      {"pdf/issue19971.pdf:4", kNewFonts},
      {"pdf/issue19971.pdf:5", kNewFonts},
      {"pdf/issue2948.pdf:1", kNewFonts},
      {"pdf/issue5874.pdf:1", kNewFonts},
      {"pdf/issue6127.pdf:3", kNewFonts},
      {"pdf/issue6387.pdf:1", kNewFonts},
      {"pdf/issue7426.pdf:1", kNewFonts},
      {"pdf/issue840.pdf:1", kNewFonts},
      {"pdf/issue840.pdf:2", kNewFonts},
      {"pdf/issue8424.pdf:1", kNewFonts},
      {"pdf/issue9949.pdf:1", kNewFonts},
      {"pdf/javauninstall-7r.pdf:1", kNewFonts},
      {"pdf/pdfjs_wikipedia.pdf:1", kNewFonts},
      {"pdf/pr12828.pdf:1", kNewFonts},
      {"pdf/prefilled_f1040.pdf:1", kNewFonts},
      {"pdf/prefilled_f1040.pdf:2", kNewFonts},
      {"pdf/rotated.pdf:1", kNewFonts},
      {"ccitt/freeculture.pdf:3", kUnknown},
      {"ccitt/freeculture.pdf:4", kUnknown},
      {"ccitt/freeculture.pdf:5", kUnknown},
      {"pdf/160F-2019.pdf:1", kOrder},
      {"pdf/TAMReview.pdf:2", kNames},
      {"pdf/TAMReview.pdf:3", kNames},
      {"pdf/TAMReview.pdf:4", kNames},
      {"pdf/TAMReview.pdf:5", kNames},
      {"pdf/annotation-text-widget.pdf:1", kForms},
      {"pdf/blendmode.pdf:1", kOrder},
      {"pdf/bug886717.pdf:1", kBreaks},
      {"pdf/bug946506.pdf:1", kUnknown},
      {"pdf/chrome-text-selection-markedContent.pdf:1", kOrder},
      {"pdf/font_ascent_descent.pdf:1", kNames},
      {"pdf/issue10640.pdf:1", kBreaks},
      {"pdf/issue11045.pdf:1", kBreaks},
      {"pdf/issue12295.pdf:1", kOrder},
      {"pdf/issue13226.pdf:1", "soft hyphens: pdftotext keeps U+00AD inside the word, we fold it away and the gap it leaves splits the word"},
      {"pdf/issue16316.pdf:1", "the crop box shows a small part of the page: we extract what the page shows, pdftotext the whole media box"},
      {"pdf/issue18823.pdf:1", kBreaks},
      {"pdf/issue20324.pdf:1", kOrder},
      {"pdf/issue20489.pdf:1", kOrder},
      {"pdf/issue6108.pdf:1", kUnknown},
      {"pdf/issue7454.pdf:1", kOrder},
      {"pdf/issue8702.pdf:1", kBreaks},
      {"pdf/issue8702.pdf:2", kBreaks},
      {"pdf/knockout_groups_test.pdf:2", kOrder},
      {"pdf/knockout_groups_test.pdf:3", kOrder},
      {"pdf/resetform.pdf:1", kForms},
  };
  return known;
}

class TextCorpusTest : public ::testing::TestWithParam<int> {};

TEST_P(TextCorpusTest, PagesReadAsPdftotextReadsThem) {
  if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "pdftotext is missing";
    GTEST_SKIP() << "no pdftotext";
  }
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  std::string list;
  for (const std::string& file : files) list += " '" + pdftest::CorpusDir() + "/" + file + "'";
  const std::string ours = pdftest::RunCommand("timeout " + std::to_string(30 * files.size()) + " '" +
                                               std::string(FOLVANE_BINARY_DIR) + "/tools/probe' each text all " +
                                               std::to_string(kPages) + " --" + list + " 2>/dev/null")
                               .out;
  // The probe's output of each file ends with its "each:" line.
  std::vector<std::string> perFile;
  size_t start = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const size_t mark = ours.find("each: ", start);
    if (mark == std::string::npos) break;
    perFile.push_back(ours.substr(start, mark - start));
    const size_t lineEnd = ours.find('\n', mark);
    start = lineEnd == std::string::npos ? ours.size() : lineEnd + 1;
  }
  ASSERT_EQ(perFile.size(), files.size()) << "the probe did not finish the group";
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string path = pdftest::CorpusDir() + "/" + files[i];
    const std::string reference =
        pdftest::RunCommand("timeout 60 pdftotext -q -l " + std::to_string(kPages) + " '" + path + "' - 2>/dev/null")
            .out;
    const std::vector<std::string> theirs = Pages(reference);
    const std::vector<std::string> mine = Pages(perFile[i]);
    for (size_t page = 0; page < theirs.size(); ++page) {
      const std::vector<std::string> expected = Words(theirs[page]);
      if (expected.size() < kMinWords) continue;
      const std::vector<std::string> got = page < mine.size() ? Words(mine[page]) : std::vector<std::string>{};
      const double similarity = Similarity(got, expected);
      const std::string key = files[i] + ":" + std::to_string(page + 1);
      std::printf("text-similarity %s %.4f %zu %zu\n", key.c_str(), similarity, got.size(), expected.size());
      if (similarity >= kGoodSimilarity) continue;
      if (KnownTextDifferences().count(key) != 0) continue;
      EXPECT_TRUE(BeyondTheLibraryYet(path, page + 1)) << key << " scores " << similarity;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, TextCorpusTest, ::testing::ValuesIn(pdftest::ReferenceCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TextCorpusTest);

class TextCorpusSweep : public ::testing::TestWithParam<int> {};

// Every group's first pages extract without a crash, a sanitizer report
// or a hang.
TEST_P(TextCorpusSweep, PagesExtractWithoutCrashOrHang) {
  std::vector<std::string> paths;
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) paths.push_back(pdftest::CorpusDir() + "/" + file);
  const pdftest::SweepResult result =
      pdftest::SweepWithProbe("text all " + std::to_string(kPages), paths, 60);
  EXPECT_LE(result.processStatus, 1) << "the probe crashed, hung or reported a sanitizer error";
  for (size_t i = 0; i < paths.size(); ++i) EXPECT_GE(result.statuses[i], 0) << paths[i];
}

// The sanitizer build extracts the first pages in the combined sweep.
INSTANTIATE_TEST_SUITE_P(Corpus, TextCorpusSweep, ::testing::ValuesIn(pdftest::NormalBuildCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TextCorpusSweep);

}  // namespace
