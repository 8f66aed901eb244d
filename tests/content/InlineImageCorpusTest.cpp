// The inline images of every corpus file's first pages: as many reach
// PaintImage as the reference tool lists, so none is lost to its filters,
// and no image swallows the content after it. A comparison with a
// reference tool: normal build only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

constexpr int kPages = 5;

class InlineImageCorpusTest : public ::testing::TestWithParam<int> {};

TEST_P(InlineImageCorpusTest, InlineImagesMatchTheReference) {
  if (pdftest::kSanitizerBuild) GTEST_SKIP() << "reference comparison: normal build only";
  if (std::system("command -v pdfimages >/dev/null 2>&1") != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "pdfimages is missing";
    GTEST_SKIP() << "no pdfimages";
  }
  const std::string pages = std::to_string(kPages);
  std::vector<std::string> files, paths;
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    files.push_back(file);
    paths.push_back(pdftest::CorpusDir() + "/" + file);
  }
  // Ours for the whole group from one probe process.
  const pdftest::EachOutput ours = pdftest::RunProbeEach("ops all " + pages, paths, 60);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string reference = pdftest::RunCommand(
        "timeout 60 pdfimages -f 1 -l " + pages + " -list '" + paths[i] + "' 2>/dev/null | grep -c '\\[inline\\]'").out;
    int painted = 0;
    std::istringstream lines(ours.outputs[i]);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("PaintImage", 0) == 0) ++painted;
    }
    EXPECT_EQ(painted, std::atoi(reference.c_str())) << files[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, InlineImageCorpusTest, ::testing::ValuesIn(pdftest::ReferenceCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(InlineImageCorpusTest);

}  // namespace
