// Every corpus file's first pages played through the probe's "ops"
// command: no crash, no hang and no sanitizer report. Errors the content
// rules call for (malformed operators, unsupported filters, files that do
// not open) are allowed; the probe reports them and exits normally. This
// sweep runs in the sanitizer build too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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
  for (const std::string& file : pdftest::CorpusGroup(GetParam())) {
    const std::string path = pdftest::CorpusDir() + "/" + file;
    // The exit status is the probe's, 124 for a timeout, 125 for a
    // sanitizer report, 128 and up for a signal.
    const std::string script =
        "out=$(timeout " + std::to_string(kSecondsPerFile) + " '" + std::string(FOLVANE_BINARY_DIR) +
        "/tools/probe' ops '" + path + "' all " + std::to_string(kPagesPerFile) +
        " --quiet 2>&1); s=$?; "
        "case \"$out\" in *Sanitizer*|*\"runtime error:\"*) s=125;; esac; echo $s";
    // An empty answer means the shell itself did not run: no verdict, a failure.
    const std::string answer = pdftest::RunCommand(script).out;
    ASSERT_FALSE(answer.empty()) << file << ": the sweep's shell did not answer";
    const int status = std::atoi(answer.c_str());
    EXPECT_TRUE(status == 0 || status == 1) << file << ": status " << status;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusOpsTest, ::testing::ValuesIn(pdftest::CorpusGroups()),
                         pdftest::CorpusGroupName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusOpsTest);

TEST(CorpusOpsPresent, UnderContinuousIntegration) {
  if (!pdftest::UnderContinuousIntegration()) GTEST_SKIP() << "not under CI";
  EXPECT_FALSE(pdftest::CorpusFiles().empty()) << "the corpus is missing";
}

}  // namespace
