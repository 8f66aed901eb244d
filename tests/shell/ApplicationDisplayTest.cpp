// The application in an SDL2 window on a virtual X display (Xvfb): the
// first page of a document shows as the probe renders it at the same
// size. Normal build only: the picture comparison checks the drawing, not
// memory safety, and starts a display server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "tests/pdf/CorpusFiles.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"

// The comparison checks drawing, not memory safety: normal build only.
#if !defined(FOLVANE_SANITIZE)
namespace shell {
namespace {

using testsupport::Picture;

// Runs a command and gives its standard output; the exit status in `status`.
std::string Output(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  for (char buffer[4096]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) output += buffer;
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

bool HaveProgram(const char* name) {
  int status = -1;
  Output(std::string("command -v ") + name + " >/dev/null 2>&1", &status);
  return status == 0;
}

struct Area {
  int left, top, right, bottom;
};

// Mean squared difference of `page` placed at (x, y) on `screen`, over the
// part of `area` that the page covers; infinity when that part is smaller
// than a quarter of the area.
double Difference(const Picture& screen, const Picture& page, int x, int y, const Area& area) {
  const int left = std::max(area.left, x), right = std::min(area.right, x + page.width);
  const int top = std::max(area.top, y), bottom = std::min(area.bottom, y + page.height);
  const int64_t covered = int64_t{std::max(0, right - left)} * std::max(0, bottom - top);
  if (covered * 4 < int64_t{area.right - area.left} * (area.bottom - area.top)) {
    return std::numeric_limits<double>::infinity();
  }
  double sum = 0;
  for (int row = top; row < bottom; ++row) {
    for (int column = left; column < right; ++column) {
      for (int c = 0; c < 3; ++c) {
        const int a = screen.rgb[(size_t(row) * screen.width + column) * 3 + c];
        const int b = page.rgb[(size_t(row - y) * page.width + column - x) * 3 + c];
        sum += double(a - b) * (a - b);
      }
    }
  }
  return sum / (double(covered) * 3);
}

// The page's left and right edges and its top, inside its one-pixel black
// border (and two-pixel shadow on the right): along the screen's middle
// row in from both sides past the grey margin and the border, then down
// the left border to where it starts. A page whose top lies above the
// page view shows its border from the view's top: the top found is then
// that row. False when no border shows.
bool FindPageTop(const Picture& screen, int* left, int* right, int* top) {
  const auto at = [&](int x, int y, int c) { return int{screen.rgb[(size_t(y) * screen.width + x) * 3 + c]}; };
  const auto black = [&](int x, int y) { return at(x, y, 0) < 40 && at(x, y, 1) < 40 && at(x, y, 2) < 40; };
  const int row = screen.height / 2;
  int x0 = 0;
  while (x0 < screen.width / 4 && !black(x0, row)) ++x0;
  int x1 = screen.width - 1;
  while (x1 > screen.width * 3 / 4 && !black(x1, row)) --x1;
  while (x1 > screen.width * 3 / 4 && black(x1 - 1, row)) --x1;
  if (!black(x0, row) || !black(x1, row)) return false;
  int y = 0;
  while (y < row && !black(x0, y)) ++y;
  *left = x0 + 1;
  *right = x1;
  *top = black(x0 + 1, y) ? y + 1 : y;
  return *right > *left;
}

// First pages of a few corpus files of different kinds: text, transparency,
// a landscape page, a fax-coded scan. Each opens at its first page's top
// (a file whose opening destination shows another place cannot be
// compared this way).
const std::vector<std::string> kDisplayedFiles = {"pdf/TAMReview.pdf", "pdf/alphatrans.pdf",
                                                  "pdf/Embedded_font.pdf", "ccitt/issue4379.pdf"};

class ApplicationDisplayTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ApplicationDisplayTest, TheWindowShowsTheFirstPageAsTheProbeRendersIt) {
  if (!HaveProgram("xvfb-run")) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "xvfb-run is missing";
    GTEST_SKIP() << "xvfb-run is missing";
  }
  const std::string file = pdftest::CorpusDir() + "/" + GetParam();
  if (!std::filesystem::exists(file)) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << file << " is missing";
    GTEST_SKIP() << file << " is missing";
  }
  platform::testing::TempFolder folder;
  const std::string screenPath = folder.path() + "/screen.png", scriptPath = folder.path() + "/script.txt";
  std::ofstream(scriptPath) << "screenshot " << screenPath << "\ncommand 102\n";
  int status = -1;
  Output("FOLVANE_RUNTIME_DIR=" + folder.path() + "/run FOLVANE_REGISTRY_FILE=" + folder.path() +
             "/registry.txt timeout 120 xvfb-run -a " + std::string(FOLVANE_BINARY_DIR) +
             "/shell/VantrelFolvaneZo --screen=sdl --script=" + scriptPath + " '" + file + "' 2>&1",
         &status);
  ASSERT_EQ(status, 0);
  Picture screen;
  ASSERT_TRUE(testsupport::ReadPng(screenPath, screen));
  int left = 0, right = 0, top = 0;
  ASSERT_TRUE(FindPageTop(screen, &left, &right, &top)) << "no page on the screen";

  // The probe's page at the shown width: its size at 72 dpi sets the scale.
  const std::string probe = std::string(FOLVANE_BINARY_DIR) + "/tools/probe render '" + file + "' 1";
  const std::string sized = Output(probe + " -o " + folder.path() + "/72.png", &status);
  ASSERT_EQ(status, 0) << sized;
  int width72 = 0, height72 = 0;
  ASSERT_EQ(std::sscanf(sized.c_str() + sized.find('('), "(%dx%d)", &width72, &height72), 2) << sized;
  const double dpi = 72.0 * (right - left) / width72;
  const std::string rendered =
      Output(probe + " --dpi " + std::to_string(dpi) + " -o " + folder.path() + "/page.png", &status);
  ASSERT_EQ(status, 0) << rendered;
  Picture page;
  ASSERT_TRUE(testsupport::ReadPng(folder.path() + "/page.png", page));

  // Compared over the page's top, which shows on any screen; the place may
  // differ by the rounding of the page's size, and a page taller than the
  // view may start a little above it.
  const Area area{left, top, right, std::min(top + std::min(page.height, 160), screen.height)};
  double best = std::numeric_limits<double>::infinity();
  for (int dy = -12; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) best = std::min(best, Difference(screen, page, left + dx, top + dy, area));
  }
  const double decibels = best <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / best);
  RecordProperty("psnr", std::to_string(decibels));
  EXPECT_GE(decibels, 32.0) << "page at " << left << "," << top << " width " << right - left;
}

INSTANTIATE_TEST_SUITE_P(FirstPages, ApplicationDisplayTest, ::testing::ValuesIn(kDisplayedFiles),
                         pdftest::CorpusTestName);

}  // namespace
}  // namespace shell
#endif
