// The inline images of every corpus file's first pages: as many reach
// PaintImage as the reference tool lists, so none is lost to its filters,
// and no image swallows the content after it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

constexpr int kPages = 5;

TEST(InlineImageCorpusTest, InlineImagesMatchTheReference) {
  const std::filesystem::path root(pdftest::CorpusDir());
  std::error_code error;
  if (!std::filesystem::is_directory(root / "pdf", error)) GTEST_SKIP() << "no corpus";
  if (std::system("command -v pdfimages >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no pdfimages";
  }
  const std::string probe = std::string(FOLVANE_BINARY_DIR) + "/tools/probe";
  const std::string pages = std::to_string(kPages);
  // Per file: the reference's count of inline images, ours, and the file.
  const std::string script =
      "find '" + root.string() + "' -name '*.pdf' | sort | xargs -P 4 -I{} sh -c '"
      "r=$(timeout 60 pdfimages -f 1 -l " + pages + " -list \"{}\" 2>/dev/null | "
      "grep -c \"\\[inline\\]\"); "
      "o=$(timeout 60 " + probe + " ops \"{}\" all " + pages + " 2>/dev/null | "
      "grep -c \"^PaintImage\"); echo \"$r $o {}\"'";
  const std::string output = pdftest::RunCommand(script).out;
  std::istringstream lines(output);
  int files = 0;
  int withImages = 0;
  int reference = 0;
  int ours = 0;
  std::string file;
  while (lines >> reference >> ours && std::getline(lines, file)) {
    ++files;
    if (reference != 0) ++withImages;
    EXPECT_EQ(ours, reference) << file;
  }
  EXPECT_GT(files, 0);
  std::printf("%d files, %d with inline images\n", files, withImages);
}

}  // namespace
