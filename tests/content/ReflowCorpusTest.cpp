// Reflowing the corpus's first pages at 240 and 480 pixels loses no text:
// the characters of the placed lines, white space and dashes aside (line
// ends move and hyphens at old line ends go), are those the text engine
// extracts from the page in content order. One probe process per group
// and command; the normal build only (the crash sweep of the same pages
// belongs to the combined sanitizer sweep).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/support/FormFeedPages.h"

namespace {

// Pages of each file reflowed.
constexpr int kReflowPages = 3;
// A page with fewer words is no text page.
constexpr size_t kMinReflowWords = 10;

// What `probe each ARGUMENTS` wrote for each file of the group.
std::vector<std::string> PerFileOutput(const std::string& arguments, const std::vector<std::string>& files) {
  std::vector<std::string> paths;
  for (const std::string& file : files) paths.push_back(pdftest::CorpusDir() + "/" + file);
  pdftest::EachOutput each = pdftest::RunProbeEach(arguments, paths, 30);
  // A file the process never answered for counts as missing.
  std::vector<std::string> done;
  for (size_t i = 0; i < files.size() && each.statuses[i] >= 0; ++i) done.push_back(std::move(each.outputs[i]));
  return done;
}

size_t WordCount(const std::string& text) {
  size_t words = 0;
  bool inWord = false;
  for (unsigned char c : text) {
    const bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\r';
    if (!blank && !inWord) ++words;
    inWord = !blank;
  }
  return words;
}

// The text without white space and dashes (UTF-8 of U+2010-U+2015 and the
// soft hyphen included).
std::string Letters(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '-') continue;
    if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        static_cast<unsigned char>(text[i + 2]) >= 0x90 && static_cast<unsigned char>(text[i + 2]) <= 0x95) {
      i += 2;
      continue;
    }
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xAD) {
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

// Pages whose reflowed text differs from the extracted text, "folder/file.pdf:page"
// with the reason.
const std::map<std::string, std::string>& KnownReflowDifferences() {
  static const char* const kOffPage =
      "text outside the crop box: the reflow leaves it out as the painter does, the text engine keeps it";
  static const char* const kUnknown = "strings that the text engine extracts and the reflow does not: not investigated";
  static const std::map<std::string, std::string> known = {
      {"pdf/issue19182.pdf:1", kOffPage},
      {"pdf/issue7454.pdf:1", kOffPage},
      {"pdf/issue6127.pdf:1", kUnknown},
      {"pdf/issue6127.pdf:2", kUnknown},
      {"pdf/issue6127.pdf:3", kUnknown},
      {"pdf/mixedfonts.pdf:1", kUnknown},
  };
  return known;
}

class ReflowCorpusTest : public ::testing::TestWithParam<int> {};

TEST_P(ReflowCorpusTest, ReflowedPagesKeepEveryWordInOrder) {
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  const std::string pages = std::to_string(kReflowPages);
  const std::vector<std::string> extracted = PerFileOutput("text all " + pages + " --content-order", files);
  ASSERT_EQ(extracted.size(), files.size()) << "the text probe did not finish the group";
  for (const char* width : {"240", "480"}) {
    const std::vector<std::string> reflowed =
        PerFileOutput(std::string("reflow all --width ") + width + " --pages " + pages, files);
    ASSERT_EQ(reflowed.size(), files.size()) << "the reflow probe did not finish the group at " << width;
    for (size_t i = 0; i < files.size(); ++i) {
      const std::vector<std::string> expected = testsupport::FormFeedPages(extracted[i]);
      const std::vector<std::string> got = testsupport::FormFeedPages(reflowed[i]);
      for (size_t page = 0; page < expected.size(); ++page) {
        if (WordCount(expected[page]) < kMinReflowWords) continue;
        const std::string key = files[i] + ":" + std::to_string(page + 1);
        if (KnownReflowDifferences().count(key) != 0) continue;
        const std::string mine = page < got.size() ? Letters(got[page]) : std::string();
        EXPECT_EQ(mine, Letters(expected[page])) << key << " at " << width << " pixels";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, ReflowCorpusTest, ::testing::ValuesIn(pdftest::ReferenceCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ReflowCorpusTest);

}  // namespace
