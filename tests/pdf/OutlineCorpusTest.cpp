// Outlines of the corpus files against `mutool show FILE outline`, one
// call of each program per file: the same items in the same order and
// depth, leading to the same pages, with the same titles. Files the probe
// cannot open must fail cleanly; encrypted files are only required not to
// fail uncleanly (their titles need the security handler).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

struct Row {
  int depth = 0;
  std::string page;  // zero-based, or "-"
  std::string title;
  bool operator==(const Row&) const = default;
};

std::string Capture(const std::string& command) { return pdftest::RunCommand(command).out; }

// Titles are compared without trailing blanks (a trailing line break reads
// as a space here and is trimmed there).
std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// mutool: FLAG, one tab per level (the first for level 0), "title", a tab,
// then "#page=N..." for a page of this document.
std::vector<Row> ReferenceRows(const std::string& text, bool* titlesComparable) {
  std::vector<Row> rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || (line[0] != '|' && line[0] != '+' && line[0] != '-')) continue;
    size_t i = 1;
    while (i < line.size() && line[i] == '\t') ++i;
    Row row;
    row.depth = static_cast<int>(i) - 2;
    const size_t tab = line.rfind('\t');
    const size_t open = line.find('"', i);
    const size_t close = tab != std::string::npos && tab > i ? tab - 1 : line.size() - 1;
    if (open != std::string::npos && close > open) row.title = line.substr(open + 1, close - open - 1);
    // Escaped characters are written differently; such titles are not compared.
    if (row.title.find('\\') != std::string::npos) *titlesComparable = false;
    row.title = Trimmed(row.title);
    row.page = "-";
    if (tab != std::string::npos && line.compare(tab + 1, 6, "#page=") == 0) {
      row.page = std::to_string(std::stol(line.substr(tab + 7)) - 1);
    }
    rows.push_back(row);
  }
  return rows;
}

std::vector<Row> ProbeRows(const std::string& text) {
  std::vector<Row> rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (int n = 0; n < 3; ++n) {
      const size_t tab = line.find('\t', start);
      if (tab == std::string::npos) break;
      fields.push_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    if (fields.size() != 3) continue;
    rows.push_back({std::stoi(fields[1]), fields[2], Trimmed(line.substr(start))});
  }
  return rows;
}

// The seconds the probe may take on one file before it is taken for a hang.
constexpr int kOutlineSecondsPerFile = 60;

// One file, given what the probe wrote for it and its status: the probe
// must end cleanly; where the reference lists an outline, ours must be the
// same. Under the sanitizers only the first half runs (the comparison
// checks logic, not memory safety), through a sweep.
void CheckOutline(const std::string& file, const pdftest::ProbeResult& ours, bool compare) {
  // Exit status 0 or a clean error (1); never a crash (-1: the process
  // ended before it answered for this file).
  ASSERT_TRUE(ours.status == 0 || ours.status == 1) << "status " << ours.status;
  if (!compare) return;
  const std::string reference = Capture("mutool show '" + file + "' outline 2>/dev/null");
  if (reference.empty()) return;
  if (ours.status != 0) return;  // files the probe refuses are listed in the pdf tests
  if (pdftest::ReadFile(file).find("/Encrypt") != std::string::npos) return;
  bool titlesComparable = true;
  std::vector<Row> expected = ReferenceRows(reference, &titlesComparable);
  std::vector<Row> actual = ProbeRows(ours.out);
  if (!titlesComparable) {
    for (Row& row : expected) row.title.clear();
    for (Row& row : actual) row.title.clear();
  }
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].depth, expected[i].depth) << "item " << i;
    EXPECT_EQ(actual[i].page, expected[i].page) << "item " << i << " " << expected[i].title;
    EXPECT_EQ(actual[i].title, expected[i].title) << "item " << i;
  }
}

class OutlineCorpusTest : public ::testing::TestWithParam<int> {};

TEST_P(OutlineCorpusTest, OutlinesMatchTheReference) {
  const bool haveMutool = !Capture("command -v mutool").empty();
  if (!haveMutool && pdftest::UnderContinuousIntegration()) FAIL() << "mutool is missing";
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  std::vector<std::string> paths;
  for (const std::string& file : files) paths.push_back(pdftest::CorpusDir() + "/" + file);
  // One probe process reads the group's outlines: starting it costs more
  // than reading most outlines.
  const pdftest::EachOutput ours = pdftest::RunProbeEach("outline", paths, kOutlineSecondsPerFile);
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    pdftest::ProbeResult result;
    result.out = ours.outputs[i];
    result.status = ours.statuses[i];
    CheckOutline(paths[i], result, haveMutool);
  }
}

// The sanitizer build walks the outlines in the combined sweep.
INSTANTIATE_TEST_SUITE_P(Corpus, OutlineCorpusTest, ::testing::ValuesIn(pdftest::NormalBuildCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OutlineCorpusTest);

}  // namespace
