#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "tests/support/PngPicture.h"

namespace platform {
namespace {

using testsupport::Picture;
using testsupport::ReadPng;

// Text and frames are dark; a screen of controls has many of them and
// several distinct colours.
void ExpectControls(const Picture& picture, const std::string& label) {
  size_t dark = 0, white = 0;
  for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3) {
    const int r = picture.rgb[i], g = picture.rgb[i + 1], b = picture.rgb[i + 2];
    if (r < 90 && g < 90 && b < 90) ++dark;
    if (r > 245 && g > 245 && b > 245) ++white;
  }
  const size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  EXPECT_GT(dark, pixels / 100) << label;
  EXPECT_GT(white, pixels / 4) << label;
}

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string kDemo = std::string(FOLVANE_BINARY_DIR) + "/platform/platform_demo";

TEST(DemoTest, HeadlessScreenshotsAtBothSizes) {
  testing::TempFolder folder;
  struct Case {
    const char* device;
    int width;
    int height;
  };
  for (const Case& c : {Case{"pocketpc-qvga", 240, 320}, Case{"pocketpc-vga", 480, 640}}) {
    const std::string shot = folder.path() + "/" + c.device + ".png";
    ASSERT_EQ(RunCommand(kDemo + " --screen=headless --device=" + c.device + " --screenshot=" + shot), 0) << c.device;
    Picture picture;
    ASSERT_TRUE(ReadPng(shot, picture)) << c.device;
    EXPECT_EQ(picture.width, c.width);
    EXPECT_EQ(picture.height, c.height);
    ExpectControls(picture, c.device);
  }
  EXPECT_NE(RunCommand(kDemo + " --device=desktop 2>/dev/null"), 0);
}

// In Arabic, on a Smartphone and with a message box: the dialogs still
// come up and show their controls.
TEST(DemoTest, ArabicDialogsOnBothKindsOfDevice) {
  testing::TempFolder folder;
  for (const char* options : {"--device=smartphone", "--device=pocketpc-qvga --message-box"}) {
    const std::string shot = folder.path() + "/arabic.png";
    ASSERT_EQ(RunCommand("FOLVANE_UI_LANGUAGE=401 " + kDemo + " --screen=headless " + options + " --screenshot=" + shot),
              0)
        << options;
    Picture picture;
    ASSERT_TRUE(ReadPng(shot, picture)) << options;
    ExpectControls(picture, options);
  }
}

TEST(DemoTest, OpensARealWindowUnderXvfb) {
  if (!std::filesystem::exists("/usr/bin/xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
  testing::TempFolder folder;
  const std::string shot = folder.path() + "/window.png";
  // The X and SDL libraries keep allocations to the end; their leaks are
  // not the program's.
  const std::string command = "ASAN_OPTIONS=detect_leaks=0 timeout 60 xvfb-run -a -s '-screen 0 800x800x24' " + kDemo +
                              " --screen=sdl --device=pocketpc-qvga --window-shot=" + shot + " 2>/dev/null";
  ASSERT_EQ(RunCommand(command), 0);
  Picture picture;
  ASSERT_TRUE(ReadPng(shot, picture));
  // The QVGA screen is shown at twice its size, with the hint line below.
  EXPECT_EQ(picture.width, 480);
  EXPECT_GT(picture.height, 640);
  ExpectControls(picture, "window");
}

}  // namespace
}  // namespace platform
