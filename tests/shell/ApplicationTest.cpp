// The application entry: start-up failures, and the program itself run as
// users run it (headless), alone and as a second instance.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Clock.h"
#include "platform/Kernel.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/WindowSystem.h"
#include "shell/AppState.h"
#include "shell/Application.h"
#include "viewer/ViewerApp.h"
#include "tests/platform/TempFolder.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/support/PngPicture.h"
#include "tests/support/SmallPdfFile.h"

namespace shell {
namespace {

viewer::ViewerApp* NoViewer(runtime::HostServices*, uint32_t) { return nullptr; }

// A viewer without a host: its start cannot make a single control.
viewer::ViewerApp* ViewerWithoutHost(runtime::HostServices*, uint32_t options) {
  return viewer::ViewerApp::Create(nullptr, options);
}

class ApplicationStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("FOLVANE_RUNTIME_DIR", runtimeFolder_.path().c_str(), 1);
    platform::UseInMemoryRegistry();
    platform::ResetWindowSystem();
    platform::UseVirtualClock(true);
    ResetAppState();
  }
  void TearDown() override {
    platform::ResetWindowSystem();
    platform::UseVirtualClock(false);
    ResetAppState();
    ::unsetenv("FOLVANE_RUNTIME_DIR");
  }
  platform::testing::TempFolder runtimeFolder_;
};

TEST_F(ApplicationStartTest, AViewerThatCannotBeMadeEndsTheStartWithAnError) {
  ApplicationHooks hooks;
  hooks.createViewer = NoViewer;
  EXPECT_EQ(WinMain(platform::GetModuleHandleW(nullptr), nullptr, u"", 0, &hooks), kStartFailedExitCode);
  EXPECT_EQ(App().viewer, nullptr);
}

TEST_F(ApplicationStartTest, AViewerThatCannotStartIsDestroyedAndTheStartFails) {
  ApplicationHooks hooks;
  hooks.createViewer = ViewerWithoutHost;
  EXPECT_EQ(WinMain(platform::GetModuleHandleW(nullptr), nullptr, u"", 0, &hooks), kStartFailedExitCode);
  EXPECT_EQ(App().viewer, nullptr);
}

TEST_F(ApplicationStartTest, ASecondInstanceWhoseFirstHasNoWindowGivesUpAfterFiveRounds) {
  // Another opener holds the mutex, but no window of the class exists.
  const platform::HANDLE held = platform::CreateMutexW(nullptr, platform::FALSE, kMainWindowClass);
  ASSERT_NE(held, nullptr);
  const auto now = [] {
    int64_t count = 0, frequency = 1;
    platform::QueryPerformanceCounter(&count);
    platform::QueryPerformanceFrequency(&frequency);
    return static_cast<int64_t>(static_cast<__int128>(count) * 1000000 / frequency);
  };
  const int64_t before = now();
  bool found = true;
  EXPECT_EQ(ActivateRunningInstance(kMainWindowClass, u"title", u"x.pdf", &found), kActivateFailed);
  EXPECT_FALSE(found);
  // Five rounds of two looks, 500 ms apart.
  EXPECT_EQ(now() - before, int64_t{kActivateTries} * kActivateRetryMilliseconds * 1000);
  platform::CloseHandle(held);
}

// The program, in a folder of its own: its lock files, sockets and
// registry file stay apart from every other run.
class ApplicationRunTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_.path() + "/" + name; }

  std::string Command(const std::string& arguments) const {
    return "FOLVANE_RUNTIME_DIR=" + Path("run") + " FOLVANE_REGISTRY_FILE=" + Path("registry.txt") +
           " timeout 300 " + std::string(FOLVANE_BINARY_DIR) + "/shell/VantrelFolvaneZo --screen=headless " +
           arguments;
  }
  void Write(const std::string& name, const std::string& text) const { std::ofstream(Path(name)) << text; }
  std::string Read(const std::string& name) const {
    std::ifstream stream(Path(name));
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
  // Recent file `index` as the registry file holds it (each "\" written
  // twice); empty when there is none.
  std::string RecentFile(int index) const {
    const std::string registry = Read("registry.txt");
    const std::string name = "\"" + std::to_string(index) + "\"=\"";
    const size_t start = registry.find(name);
    if (start == std::string::npos) return "";
    const size_t value = start + name.size();
    const size_t end = registry.find("\"\n", value);
    return registry.substr(value, end == std::string::npos ? std::string::npos : end - value);
  }
  // A value of the application's settings key as the registry file holds
  // it (the text after "="); empty when there is none.
  std::string SettingValue(const std::string& name) const {
    const std::string registry = Read("registry.txt");
    const size_t key = registry.find("[HKEY_CURRENT_USER\\Software\\Vantrel\\VantrelFolvaneZo.25]\n");
    if (key == std::string::npos) return "";
    const size_t next = registry.find("\n[", key);
    const std::string section = registry.substr(key, next == std::string::npos ? std::string::npos : next - key);
    const std::string start = "\n\"" + name + "\"=";
    const size_t at = section.find(start);
    if (at == std::string::npos) return "";
    const size_t value = at + start.size();
    return section.substr(value, section.find('\n', value) - value);
  }
  // A host path in the registry file's form: the device's "\" for "/",
  // each written twice.
  static std::string AsRegistryPath(const std::string& hostPath) {
    std::string text;
    for (const char c : hostPath) text += c == '/' ? std::string("\\\\") : std::string(1, c);
    return text;
  }
  void WriteOnePagePdf(const std::string& name, const std::string& mediaBox = "0 0 200 200",
                       const std::string& content = "0 0 1 rg 50 50 100 100 re f") const {
    Write(name, testsupport::SmallPdfFile({
                    "<< /Type /Catalog /Pages 2 0 R >>",
                    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                    "<< /Type /Page /Parent 2 0 R /MediaBox [" + mediaBox + "] /Contents 4 0 R >>",
                    testsupport::StreamBody("", content),
                }));
  }

  platform::testing::TempFolder folder_;
};

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

TEST_F(ApplicationRunTest, HeadlessWithoutAScriptLeavesAScreenshotAndSaysWhere) {
  WriteOnePagePdf("one.pdf");
  FILE* pipe = popen(Command("--screenshot=" + Path("screen.png") + " " + Path("one.pdf")).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[512] = {};
  const bool said = std::fgets(line, sizeof line, pipe) != nullptr;
  EXPECT_EQ(ExitCode(pclose(pipe)), 0);
  ASSERT_TRUE(said);
  EXPECT_NE(std::string(line).find(Path("screen.png")), std::string::npos) << line;
  EXPECT_TRUE(Exists("screen.png"));
}

TEST_F(ApplicationRunTest, ASecondStartHandsItsFileToTheFirstAndEnds) {
  WriteOnePagePdf("first.pdf");
  WriteOnePagePdf("second one.pdf");
  // The first instance says when its window is up (the screenshot line),
  // then waits for the test's word before it exits through Exit.
  Write("first.txt", "wait-for " + Path("go") + "\ncommand 102\n");
  FILE* first = popen(Command("--screenshot=" + Path("first.png") + " --script=" + Path("first.txt") + " " +
                              Path("first.pdf"))
                          .c_str(),
                      "r");
  ASSERT_NE(first, nullptr);
  char line[512] = {};
  const bool up = std::fgets(line, sizeof line, first) != nullptr;

  int second = -1;
  std::string secondOutput;
  if (up) {
    FILE* pipe = popen(Command("--screenshot=" + Path("second.png") + " \"" + Path("second one.pdf") + "\"").c_str(),
                       "r");
    if (pipe != nullptr) {
      for (char buffer[512]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) secondOutput += buffer;
      second = ExitCode(pclose(pipe));
    }
  }
  Write("go", "");
  EXPECT_EQ(ExitCode(pclose(first)), 0);
  ASSERT_TRUE(up);
  // The second start made no window of its own: it never got to a
  // screenshot.
  EXPECT_EQ(second, 0);
  EXPECT_EQ(secondOutput, "");
  EXPECT_FALSE(Exists("second.png"));
  // The first instance opened the handed-over file: it is now the most
  // recent one, the first file next.
  EXPECT_EQ(RecentFile(0), AsRegistryPath(Path("second one.pdf"))) << Read("registry.txt");
  EXPECT_EQ(RecentFile(1), AsRegistryPath(Path("first.pdf"))) << Read("registry.txt");
}

TEST_F(ApplicationRunTest, AScriptedRunOpensTheDocumentZoomsAndExitsThroughExit) {
  WriteOnePagePdf("one.pdf");
  Write("script.txt", "zoom 2\nreport-zoom\nscreenshot " + Path("zoomed.png") + "\ncommand 102\n");
  int status = -1;
  std::string output;
  FILE* pipe = popen(Command("--device=pocketpc-qvga --script=" + Path("script.txt") + " " + Path("one.pdf")).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  for (char buffer[512]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) output += buffer;
  status = ExitCode(pclose(pipe));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, "zoom 2\n");
  EXPECT_TRUE(Exists("zoomed.png"));
  // The document went into the recent files, first.
  EXPECT_EQ(RecentFile(0), AsRegistryPath(Path("one.pdf"))) << Read("registry.txt");
}

// A user's way to 200 %: the Tools soft key, Zoom, "To %" (third from the
// bottom of the Zoom list, whether "Quick Zoom" is there or not), the track
// bar one preset up, OK. The registry asks for 150 % at start, so the
// dialog opens on 150 and one step right is 200. A 60 x 40 page filled red
// stays smaller than the view at both zooms: its red area, measured in the
// two screenshots, grows by 200 / 150, and grey surrounds it. The soft-key
// bar is at the bottom with a label in each half. The registry file keeps
// the document as recent file "0" and the initial zoom exactly as it was
// given: the application reads its settings and writes only the recent
// files.
TEST_F(ApplicationRunTest, AScriptedRunZoomsThroughTheMenuAndTheZoomDialog) {
  WriteOnePagePdf("small.pdf", "0 0 60 40", "1 0 0 rg 0 0 60 40 re f");
  Write("registry.txt",
        "[HKEY_CURRENT_USER\\Software\\Vantrel\\VantrelFolvaneZo.25]\n"
        "\"InitialZoomType\"=dword:00000000\n"
        "\"InitialZoomLevel\"=dword:00000096\n");
  Write("script.txt", "report-zoom\nscreenshot " + Path("start.png") +
                          "\n"
                          "softkey 1\nkey DOWN\nkey RETURN\nkey UP\nkey UP\nkey UP\nkey RETURN\n"
                          "key RIGHT\nsoftkey 1\n"
                          "report-zoom\nscreenshot " +
                          Path("zoomed.png") + "\ncommand 102\n");
  std::string output;
  FILE* pipe =
      popen(Command("--device=pocketpc-qvga --script=" + Path("script.txt") + " " + Path("small.pdf")).c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  for (char buffer[512]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) output += buffer;
  EXPECT_EQ(ExitCode(pclose(pipe)), 0);
  EXPECT_EQ(output, "zoom 1.5\nzoom 2\n");

  struct Shot {
    int left = 0, top = 0, right = -1, bottom = -1;
  };
  const auto measure = [&](const std::string& name, Shot& shot) {
    SCOPED_TRACE(name);
    testsupport::Picture picture;
    ASSERT_TRUE(testsupport::ReadPng(Path(name), picture));
    const auto pixel = [&](int x, int y) {
      const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x)) * 3;
      return std::array<int, 3>{picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]};
    };
    const auto near = [](const std::array<int, 3>& p, int r, int g, int b) {
      return std::abs(p[0] - r) <= 4 && std::abs(p[1] - g) <= 4 && std::abs(p[2] - b) <= 4;
    };
    shot = Shot{picture.width, picture.height, -1, -1};
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        if (!near(pixel(x, y), 255, 0, 0)) continue;
        shot.left = std::min(shot.left, x);
        shot.right = std::max(shot.right, x + 1);
        shot.top = std::min(shot.top, y);
        shot.bottom = std::max(shot.bottom, y + 1);
      }
    }
    ASSERT_LT(shot.left, shot.right) << "no page on the screen";
    EXPECT_NEAR(static_cast<double>(shot.right - shot.left) / (shot.bottom - shot.top), 1.5, 0.1);
    // The page view's grey (127, 127, 127; 123, 125, 123 on a 16-bit
    // screen) on every side of the page, beyond its frame and shadow.
    const int middleX = (shot.left + shot.right) / 2;
    const int middleY = (shot.top + shot.bottom) / 2;
    const std::array<std::array<int, 2>, 4> around = {{{shot.left - 8, middleY},
                                                       {shot.right + 7, middleY},
                                                       {middleX, shot.top - 8},
                                                       {middleX, shot.bottom + 7}}};
    for (const auto& [x, y] : around) {
      ASSERT_TRUE(x >= 0 && x < picture.width && y >= 0 && y < picture.height) << x << "," << y;
      const std::array<int, 3> p = pixel(x, y);
      EXPECT_TRUE(near(p, 127, 127, 127)) << x << "," << y << ": " << p[0] << " " << p[1] << " " << p[2];
    }
    // The soft-key bar (32, 48, 80; 33, 48, 82 on a 16-bit screen) along
    // the bottom, with white label pixels in its left and right halves.
    int barTop = picture.height;
    while (barTop > 0 && near(pixel(1, barTop - 1), 33, 48, 82)) --barTop;
    EXPECT_GE(picture.height - barTop, 12) << "no soft-key bar";
    EXPECT_GE(barTop, shot.bottom);
    int labels[2] = {0, 0};
    for (int y = barTop; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const std::array<int, 3> p = pixel(x, y);
        if (p[0] >= 240 && p[1] >= 240 && p[2] >= 240) ++labels[x < picture.width / 2 ? 0 : 1];
      }
    }
    EXPECT_GT(labels[0], 0) << "no left soft key";
    EXPECT_GT(labels[1], 0) << "no right soft key";
  };
  Shot start, zoomed;
  measure("start.png", start);
  measure("zoomed.png", zoomed);
  // 200 / 150, within the rounding of either page's placement.
  EXPECT_NEAR(zoomed.right - zoomed.left, (start.right - start.left) * 4.0 / 3.0, 2.0);
  EXPECT_NEAR(zoomed.bottom - zoomed.top, (start.bottom - start.top) * 4.0 / 3.0, 2.0);

  EXPECT_EQ(RecentFile(0), AsRegistryPath(Path("small.pdf"))) << Read("registry.txt");
  EXPECT_EQ(SettingValue("InitialZoomType"), "dword:00000000") << Read("registry.txt");
  EXPECT_EQ(SettingValue("InitialZoomLevel"), "dword:00000096") << Read("registry.txt");
}

// A script that names a key, soft key or character that does not exist is
// refused, with its line, before the application starts.
TEST_F(ApplicationRunTest, AScriptWithAnUnknownKeyIsRefusedWithItsLine) {
  WriteOnePagePdf("one.pdf");
  const struct {
    const char* line;
  } kBadLines[] = {{"key NOPE"}, {"key 256"}, {"key 0"}, {"softkey 0"}, {"softkey 3"}, {"char ab"}, {"type"}};
  for (const auto& bad : kBadLines) {
    SCOPED_TRACE(bad.line);
    Write("bad.txt", "report-zoom\n" + std::string(bad.line) + "\ncommand 102\n");
    std::string output;
    FILE* pipe = popen((Command("--script=" + Path("bad.txt") + " " + Path("one.pdf")) + " 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    for (char buffer[512]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) output += buffer;
    EXPECT_EQ(ExitCode(pclose(pipe)), 2);
    EXPECT_NE(output.find("line 2: " + std::string(bad.line)), std::string::npos) << output;
    EXPECT_EQ(output.find("zoom"), std::string::npos) << output;
  }
}

// The page view paints the rendered page: a 400 x 100 page with a red
// rectangle over its middle half (x 100..300, y 25..75) shown fitting the
// width. The page's white area is found in the screenshot; the rectangle
// must fill the middle half of it both ways (within 2 pixels, the rounding
// of the page's placement), and the window shows its grey background above
// and below the page, on a VGA and a QVGA screen.
TEST_F(ApplicationRunTest, TheScreenShowsTheRenderedPageOnTheGreyBackground) {
  WriteOnePagePdf("red.pdf", "0 0 400 100", "1 0 0 rg 100 25 200 50 re f");
  const struct {
    const char* device;
    const char* shot;
  } kScreens[] = {
    {"", "default.png"},
#if !defined(FOLVANE_SANITIZE)
    // Each start costs about two seconds; the sanitizer build keeps one.
    {"--device=pocketpc-qvga ", "qvga.png"},
#endif
  };
  for (const auto& screen : kScreens) {
    SCOPED_TRACE(screen.shot);
    FILE* pipe = popen(Command(std::string(screen.device) + "--screenshot=" + Path(screen.shot) + " " + Path("red.pdf"))
                           .c_str(),
                       "r");
    ASSERT_NE(pipe, nullptr);
    for (char buffer[512]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) {
    }
    EXPECT_EQ(ExitCode(pclose(pipe)), 0);
    testsupport::Picture picture;
    ASSERT_TRUE(testsupport::ReadPng(Path(screen.shot), picture));
    const auto pixel = [&](int x, int y) {
      const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x)) * 3;
      return std::array<int, 3>{picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]};
    };
    const auto near = [](const std::array<int, 3>& p, int r, int g, int b, int slack) {
      return std::abs(p[0] - r) <= slack && std::abs(p[1] - g) <= slack && std::abs(p[2] - b) <= slack;
    };
    const auto red = [&](int x, int y) { return near(pixel(x, y), 255, 0, 0, 2); };
    const auto white = [&](int x, int y) { return near(pixel(x, y), 255, 255, 255, 2); };
    // White, red and the smoothed edge between them: what the page shows.
    const auto onPage = [&](int x, int y) { return pixel(x, y)[0] >= 253; };
    // The red pixels' bounds.
    int left = picture.width, top = picture.height, right = -1, bottom = -1;
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        if (!red(x, y)) continue;
        left = std::min(left, x);
        right = std::max(right, x + 1);
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
      }
    }
    ASSERT_LT(left, right) << "no red pixel on the screen";
    // The page's white area, walking out from the rectangle's middle.
    const int middleX = (left + right) / 2;
    const int middleY = (top + bottom) / 2;
    int pageLeft = left, pageRight = right, pageTop = top, pageBottom = bottom;
    while (pageLeft > 0 && onPage(pageLeft - 1, middleY)) --pageLeft;
    while (pageRight < picture.width && onPage(pageRight, middleY)) ++pageRight;
    while (pageTop > 0 && onPage(middleX, pageTop - 1)) --pageTop;
    while (pageBottom < picture.height && onPage(middleX, pageBottom)) ++pageBottom;
    const double width = pageRight - pageLeft;
    const double height = pageBottom - pageTop;
    EXPECT_NEAR(width / height, 4.0, 0.1);
    EXPECT_NEAR(left, pageLeft + width / 4, 2);
    EXPECT_NEAR(right, pageLeft + width * 3 / 4, 2);
    EXPECT_NEAR(top, pageTop + height / 4, 2);
    EXPECT_NEAR(bottom, pageTop + height * 3 / 4, 2);
    // Solid red inside, white away from the rectangle's edges.
    int stray = 0;
    for (int y = pageTop; y < pageBottom; ++y) {
      for (int x = pageLeft; x < pageRight; ++x) {
        const bool inside = x >= left + 1 && x < right - 1 && y >= top + 1 && y < bottom - 1;
        const bool outside = x < left - 2 || x >= right + 2 || y < top - 2 || y >= bottom + 2;
        if ((inside && !red(x, y)) || (outside && !white(x, y))) ++stray;
      }
    }
    EXPECT_EQ(stray, 0);
    // The page view's grey (127, 127, 127, which a 16-bit screen holds as
    // 123, 125, 123) a little above and below the page.
    const int gap = static_cast<int>(height / 4);
    ASSERT_GE(pageTop - gap, 0);
    ASSERT_LT(pageBottom + gap, picture.height);
    for (const int y : {pageTop - gap, pageBottom + gap}) {
      for (const int x : {pageLeft + 4, middleX, pageRight - 4}) {
        const std::array<int, 3> p = pixel(x, y);
        EXPECT_TRUE(near(p, 127, 127, 127, 4)) << x << "," << y << ": " << p[0] << " " << p[1] << " " << p[2];
      }
    }
  }
}

}  // namespace
}  // namespace shell
