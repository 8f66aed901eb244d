// The probe's document commands, run as a program: what they print, and
// the error line and exit status on failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/pdf/PdfTestSupport.h"
#include "tests/pdf/ProbeRunner.h"

namespace {

using Result = pdftest::ProbeResult;

Result Probe(const std::string& arguments, bool mergeErrors = false) {
  return pdftest::RunProbe(arguments, mergeErrors);
}

const std::string kFixture = pdftest::FixturePath("xref_chain.pdf");

TEST(ProbeTest, Info) {
  const Result result = Probe("info " + kFixture);
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("version: 1.5\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("encrypted: no\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("objects: 22\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("trailer: << /Type /XRef"), std::string::npos) << result.out;
}

TEST(ProbeTest, ObjectsAndStreams) {
  const struct {
    const char* arguments;
    const char* expected;
  } cases[] = {
      {"object FILE 13", "<< /InStream 1 /S (compressed) >>\n"},
      {"object FILE 12 1", "null\n"},
      {"object FILE 3", "null\n"},
      {"object FILE 7", "<< /Length 9 /Filter [/FlateDecode] >>\nstream\n"},
      {"stream FILE 6", "BT /F1 12 Tf (Hi) Tj ET"},
      {"stream FILE 6 0 --raw", "4254202f4631203132205466202848692920546a204554>"},
      {"stream FILE 7", "Q"},
  };
  for (const auto& c : cases) {
    std::string arguments = c.arguments;
    arguments.replace(arguments.find("FILE"), 4, kFixture);
    const Result result = Probe(arguments);
    EXPECT_EQ(result.status, 0) << c.arguments;
    EXPECT_EQ(result.out, c.expected) << c.arguments;
  }
}

TEST(ProbeTest, ErrorsGoToStderrWithDomainAndCode) {
  const struct {
    const char* arguments;
    const char* expected;
    int status;
  } cases[] = {
      {"info /nonexistent/file.pdf", "probe: error pelorvantix_runtime 1\n", 1},
      {"info SOURCE/tests/pdf/CMakeLists.txt", "probe: error pelorvantix_runtime 2\n", 1},
      {"stream FILE 13", "probe: error pelorvantix_runtime 2\n", 1},
      {"object FILE x", nullptr, 2},
  };
  for (const auto& c : cases) {
    std::string arguments = c.arguments;
    if (const size_t at = arguments.find("FILE"); at != std::string::npos) {
      arguments.replace(at, 4, kFixture);
    }
    if (const size_t at = arguments.find("SOURCE"); at != std::string::npos) {
      arguments.replace(at, 6, FOLVANE_SOURCE_DIR);
    }
    const Result result = Probe(arguments, true);
    EXPECT_EQ(result.status, c.status) << c.arguments;
    if (c.expected != nullptr) {
      EXPECT_EQ(result.out, c.expected) << c.arguments;
    }
  }
}

TEST(ProbeTest, EncryptedDocuments) {
  std::string dir;
  pdftest::EncryptedCases(&dir);
  const std::string file = " " + dir + "/r3_40_user.pdf";
  const struct {
    std::string arguments;
    std::string expected;
    int status;
  } cases[] = {
      {"info" + file + " --password own",
       "security: Standard R3, 40-bit key, permissions 0xFFFFFFFC\nauthorised: owner\n", 0},
      {"info" + file + " --password usr",
       "security: Standard R3, 40-bit key, permissions 0xFFFFF0C0\nauthorised: user\n", 0},
      {"info" + file, "authorised: no\n", 0},
      {"object" + file + " 5 --password usr", "<< /Title (Secret title 42) >>\n", 0},
      {"stream" + file + " 6 --password own", "BT /F1 12 Tf 72 720 Td (Hidden text) Tj ET\n", 0},
      {"object" + file + " 5", "probe: wrong password\n", 3},
      {"info " + dir + "/aes_empty.pdf", "probe: error pelorvantix_runtime 5\n", 1},
  };
  for (const auto& c : cases) {
    const Result result = Probe(c.arguments, true);
    EXPECT_EQ(result.status, c.status) << c.arguments;
    EXPECT_NE(result.out.find(c.expected), std::string::npos) << c.arguments << "\n" << result.out;
  }
}

// Every page on its line, a page that fails reported on its own.
TEST(ProbeTest, Pages) {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Count 3 /Rotate -90 /Kids [3 0 R 4 0 R 5 0 R] >>")
      .Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /CropBox [10 10 300 400] >>")
      .Object(4, "<< /Type /Page /Parent 2 0 R /Rotate 45 >>")
      .Object(5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100.5 50] /Rotate 0 >>")
      .ClassicTable("/Root 1 0 R");
  const std::string path = ::testing::TempDir() + "probe_pages_" + std::to_string(getpid()) + ".pdf";
  {
    std::ofstream out(path, std::ios::binary);
    out << writer.Text();
  }
  const Result result = Probe("pages " + path);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "pages: 3\n"
            "page 1: media 0.00 0.00 595.00 842.00 crop 10.00 10.00 300.00 400.00 rotate 270\n"
            "page 2: error pelorvantix_runtime 2\n"
            "page 3: media 0.00 0.00 100.50 50.00 crop 0.00 0.00 100.50 50.00 rotate 0\n");
  std::remove(path.c_str());
}

// A file of a few hundred bytes that claims 2^31 objects and 1000 pages:
// every command walks what the file holds, not what it claims, and says
// of each page it cannot have that it cannot be read.
TEST(ProbeTest, HostileCountsAreBoundedByTheFile) {
  const std::string path =
      ::testing::TempDir() + "probe_hostile_" + std::to_string(getpid()) + ".pdf";
  {
    std::ofstream out(path, std::ios::binary);
    out << pdftest::HostileLinearizedFile();
  }
  const auto lines = [](const std::string& text) {
    size_t count = 0;
    for (char c : text) count += c == '\n' ? 1 : 0;
    return count;
  };
  // The file lists objects up to 9: ten object numbers.
  const struct {
    const char* arguments;
    const char* expected;
    size_t lines;
  } cases[] = {
      {"objects", "9 0 << /Linearized 1", 9},
      {"pages", "page 2: error pelorvantix_runtime 2\n", 1 + 10},
      {"pages --count", "pages: 1000\n", 1},
      {"pages --linearized", "hints: no\npage 1: object 3\n", 2 + 10},
  };
  for (const auto& c : cases) {
    const std::string command = std::string(c.arguments);
    const size_t space = command.find(' ');
    const std::string arguments = space == std::string::npos
                                      ? command + " " + path
                                      : command.substr(0, space) + " " + path + command.substr(space);
    const Result result = Probe(arguments);
    EXPECT_EQ(result.status, 0) << c.arguments;
    EXPECT_NE(result.out.find(c.expected), std::string::npos) << c.arguments << "\n" << result.out;
    EXPECT_EQ(lines(result.out), c.lines) << c.arguments << "\n" << result.out;
  }
  std::remove(path.c_str());
}

// The combined sweep: every command on every file in one process, the
// commands' own output dropped and a verdict per file and command on the
// error stream, in order; a malformed sweep line is refused whole.
TEST(ProbeTest, SweepRunsEveryCommandOnEveryFile) {
  const std::string missing = "/nonexistent/file.pdf";
  const Result quiet = Probe("sweep 'pages --count' 'object 13' 'object x' -- " + kFixture + " " + missing);
  EXPECT_EQ(quiet.status, 2) << "the worst status of the sweep";
  EXPECT_EQ(quiet.out, "") << "the commands' output is dropped";

  const Result merged = Probe("sweep 'pages --count' 'object 13' 'object x' -- " + kFixture + " " + missing, true);
  std::string verdicts;
  std::istringstream lines(merged.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("sweep: ", 0) == 0) verdicts += line + "\n";
  }
  EXPECT_EQ(verdicts, "sweep: 0 " + kFixture + " :: pages --count\n" +
                          "sweep: 0 " + kFixture + " :: object 13\n" +
                          "sweep: 2 " + kFixture + " :: object x\n" +
                          "sweep: 1 " + missing + " :: pages --count\n" +
                          "sweep: 1 " + missing + " :: object 13\n" +
                          "sweep: 2 " + missing + " :: object x\n");
  // Each verdict follows what its command wrote to the error stream.
  EXPECT_LT(merged.out.find("probe: error"), merged.out.find("sweep: 1 " + missing)) << merged.out;

  for (const char* refused : {"sweep -- FILE", "sweep info FILE", "sweep 'each info' -- FILE", "sweep ' ' -- FILE",
                              "sweep --seconds 0 info -- FILE", "sweep info --"}) {
    std::string arguments = refused;
    if (const size_t at = arguments.find("FILE"); at != std::string::npos) arguments.replace(at, 4, kFixture);
    const Result result = Probe(arguments, true);
    EXPECT_EQ(result.status, 2) << refused;
    EXPECT_EQ(result.out.find("sweep: "), std::string::npos) << refused << "\n" << result.out;
  }
}

// The tests' side of the sweep names the file and command of each fault
// and none where a command only failed cleanly.
TEST(ProbeTest, SweepFaultsNameTheFileAndCommand) {
  const std::string missing = "/nonexistent/file.pdf";
  const std::vector<pdftest::SweepFault> faults =
      pdftest::SweepCommands({"pages --count", "object x", "info"}, {kFixture, missing}, 30);
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_EQ(faults[0].file, kFixture);
  EXPECT_EQ(faults[0].command, "object x");
  EXPECT_EQ(faults[0].what.rfind("status 2", 0), 0u) << faults[0].what;
  EXPECT_EQ(faults[1].file, missing);
  EXPECT_EQ(faults[1].command, "object x");
}

}  // namespace
