// Every corpus file's first pages played through the probe's "ops"
// command: no crash, no hang and no sanitizer report. Errors the content
// rules call for (malformed operators, unsupported filters, files that do
// not open) are allowed; the probe reports them and exits normally.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

// Pages per file in the routine run; the whole corpus, every page, is run
// by hand with MAX 0.
constexpr int kPagesPerFile = 5;
constexpr int kSecondsPerFile = 120;

TEST(CorpusOpsTest, FirstPagesPlayWithoutCrashOrHang) {
  const std::filesystem::path root(pdftest::CorpusDir());
  std::error_code error;
  if (!std::filesystem::is_directory(root / "pdf", error)) GTEST_SKIP() << "no corpus";
  const std::string probe = std::string(FOLVANE_BINARY_DIR) + "/tools/probe";
  // One shell runs the files four at a time; each line it prints is the
  // probe's exit status (124 for a timeout, 125 for a sanitizer report,
  // 128 and up for a signal) and the file.
  const std::string script =
      "find '" + root.string() + "' -name '*.pdf' | sort | xargs -P 4 -I{} sh -c '"
      "out=$(timeout " + std::to_string(kSecondsPerFile) + " " + probe + " ops \"{}\" all " +
      std::to_string(kPagesPerFile) + " --quiet 2>&1); s=$?; "
      "case \"$out\" in *Sanitizer*|*\"runtime error:\"*) s=125;; esac; echo \"$s {}\"'";
  const std::string output = pdftest::RunCommand(script).out;
  std::istringstream lines(output);
  std::string line;
  int files = 0;
  while (std::getline(lines, line)) {
    ++files;
    const int status = std::atoi(line.c_str());
    EXPECT_TRUE(status == 0 || status == 1) << line;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
