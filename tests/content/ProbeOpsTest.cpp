// The probe's "ops" command run as a program over a small generated file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/pdf/PdfTestSupport.h"

namespace {

struct Result {
  std::string out;
  int status = -1;
};

Result Probe(const std::string& arguments) {
  const std::string command =
      std::string(FOLVANE_BINARY_DIR) + "/tools/probe " + arguments + " 2>&1";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.out.append(buffer, count);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Two pages: the first inherits its resources and draws a form, the second
// stops at a malformed operator.
std::string WriteFixture() {
  const std::string first = "q 1 0 0 rg /Fm Do Q BT /F1 10 Tf (Hi) Tj ET";
  const std::string second = "0.5 g 1 w foo 2 w";
  const std::string form = "0 0 5 5 re f";
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2"
                 " /Resources << /XObject << /Fm 7 0 R >> >> >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>")
      .Object(4, "<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>")
      .Object(5, "<< /Length " + std::to_string(first.size()) + " >>\nstream\n" + first +
                     "\nendstream")
      .Object(6, "<< /Length " + std::to_string(second.size()) + " >>\nstream\n" + second +
                     "\nendstream")
      .Object(7, "<< /Subtype /Form /BBox [0 0 5 5] /Length " + std::to_string(form.size()) +
                     " >>\nstream\n" + form + "\nendstream")
      .ClassicTable("/Root 1 0 R");
  char path[] = "/tmp/ops_fixture_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "";
  close(fd);
  std::ofstream(path, std::ios::binary) << writer.Text();
  return path;
}

TEST(ProbeOpsTest, PrintsOneLinePerCallAndTheStoredError) {
  const std::string file = WriteFixture();
  ASSERT_FALSE(file.empty());
  const Result first = Probe("ops " + file + " 1");
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.out,
            "SaveState\n"
            "SetColorSpace fill 1\n"
            "SetColor fill 1 0 0\n"
            "PaintForm /Fm 1 0 0 1 0 0\n"
            "ConcatMatrix 1 0 0 1 0 0\n"
            "PaintPath fill 0 0 m 5 0 l 5 5 l 0 5 l h\n"
            "BeginText\n"
            "SetFont /F1 10\n"
            "ShowText (Hi) at 0 0\n"
            "EndText\n");
  const Result second = Probe("ops " + file + " 2");
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.out,
            "SetColorSpace fill 0\nSetColor fill 0.5\nSetLineWidth 1\n"
            "error pelorvantix_runtime 2\n");
  const Result summary = Probe("ops " + file + " all --quiet");
  EXPECT_EQ(summary.out, "page 1: 10 calls\npage 2: 3 calls, error pelorvantix_runtime 2\n");
  EXPECT_EQ(Probe("ops " + file + " 3").status, 1);
  std::remove(file.c_str());
}

}  // namespace
