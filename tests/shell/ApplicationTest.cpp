// The application entry: start-up failures, and the program itself run as
// users run it (headless), alone and as a second instance.
#include <gtest/gtest.h>

#include <cstdio>
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
  void WriteOnePagePdf(const std::string& name) const {
    Write(name, testsupport::SmallPdfFile({
                    "<< /Type /Catalog /Pages 2 0 R >>",
                    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
                    testsupport::StreamBody("", "0 0 1 rg 50 50 100 100 re f"),
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
  // recent one.
  const std::string registry = Read("registry.txt");
  const size_t recent = registry.find("\"0\"=\"");
  ASSERT_NE(recent, std::string::npos) << registry;
  EXPECT_NE(registry.find("second one.pdf", recent), std::string::npos) << registry;
  EXPECT_LT(registry.find("second one.pdf", recent), registry.find('\n', recent)) << registry;
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
  const std::string registry = Read("registry.txt");
  EXPECT_NE(registry.find("\"0\"=\""), std::string::npos) << registry;
  EXPECT_NE(registry.find("one.pdf"), std::string::npos) << registry;
}

}  // namespace
}  // namespace shell
