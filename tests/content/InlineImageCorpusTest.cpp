// The inline images of every corpus file's first pages: as many reach
// PaintImage as the reference tool lists, so none is lost to its filters,
// and no image swallows the content after it. A comparison with a
// reference tool: normal build only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    const std::string path = pdftest::CorpusDir() + "/" + file;
    const std::string reference = pdftest::RunCommand(
        "timeout 60 pdfimages -f 1 -l " + pages + " -list '" + path + "' 2>/dev/null | grep -c '\\[inline\\]'").out;
    const std::string ours = pdftest::RunCommand(
        "timeout 60 '" + std::string(FOLVANE_BINARY_DIR) + "/tools/probe' ops '" + path + "' all " + pages +
        " 2>/dev/null | grep -c '^PaintImage'").out;
    EXPECT_EQ(std::atoi(ours.c_str()), std::atoi(reference.c_str())) << file;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, InlineImageCorpusTest, ::testing::ValuesIn(pdftest::ReferenceCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(InlineImageCorpusTest);

}  // namespace
