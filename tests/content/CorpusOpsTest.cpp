// Every corpus file's first pages played through the probe's "ops"
// command: no crash, no hang and no sanitizer report. Errors the content
// rules call for (malformed operators, unsupported filters, files that do
// not open) are allowed; the probe reports them and exits normally. In the
// sanitizer build the combined sweep (tests/pdf/CorpusSweepTest.cpp) plays
// the same pages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

// Pages per file in the routine run; the whole corpus, every page, is run
// by hand with MAX 0.
constexpr int kPagesPerFile = 5;
// A file still playing after this long is taken for a hang.
constexpr int kSecondsPerFile = 100;

class CorpusOpsTest : public ::testing::TestWithParam<int> {};

TEST_P(CorpusOpsTest, FirstPagesPlayWithoutCrashOrHang) {
  const std::vector<std::string> files = pdftest::CorpusGroup(GetParam());
  std::vector<std::string> paths;
  for (const std::string& file : files) paths.push_back(pdftest::CorpusDir() + "/" + file);
  const pdftest::SweepResult sweep =
      pdftest::SweepWithProbe("ops all " + std::to_string(kPagesPerFile) + " --quiet", paths, kSecondsPerFile);
  // An empty answer means the shell itself did not run: no verdict, a failure.
  ASSERT_NE(sweep.processStatus, -1) << "the sweep's shell did not answer";
  EXPECT_TRUE(sweep.processStatus == 0 || sweep.processStatus == 1)
      << "the probe ended with status " << sweep.processStatus;
  for (size_t i = 0; i < files.size(); ++i) {
    // A file without an answer is where the process crashed, hung or
    // reported a sanitizer error.
    EXPECT_TRUE(sweep.statuses[i] == 0 || sweep.statuses[i] == 1) << files[i] << ": status " << sweep.statuses[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusOpsTest, ::testing::ValuesIn(pdftest::NormalBuildCorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusOpsTest);

TEST(CorpusOpsPresent, UnderContinuousIntegration) {
  if (!pdftest::UnderContinuousIntegration()) GTEST_SKIP() << "not under CI";
  EXPECT_FALSE(pdftest::CorpusFiles().empty()) << "the corpus is missing";
}

}  // namespace
