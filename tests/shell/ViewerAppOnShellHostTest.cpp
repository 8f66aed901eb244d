// The viewer application started against the shell's HostServices on the
// headless platform: its windows, soft keys, timers and commands go through
// the real shell. Built once the application object is part of the tree.
#if __has_include("viewer/ViewerApp.h")

#include <gtest/gtest.h>

#include "ShellWindowFixture.h"
#include "platform/HandheldShell.h"
#include "shell/HostServices.h"
#include "shell/HostWindow.h"
#include "shell/Settings.h"
#include "shell/SoftKeyBar.h"
#include "viewer/ViewerApp.h"

namespace shell {
namespace {

// What the application's window procedures will do: the viewer's main
// container is the active view window, and modal shell UI is bracketed.
class AppConnection : public ShellViewer {
 public:
  viewer::ViewerApp* app = nullptr;
  HostWindow* ActiveViewWindow() override {
    return app != nullptr ? dynamic_cast<HostWindow*>(app->viewer.mainContainer) : nullptr;
  }
  void BeginModalUi() override {
    if (app != nullptr) app->BeginModalUi();
  }
  void EndModalUi() override {
    if (app != nullptr) app->EndModalUi();
  }
};

class ViewerAppOnShellHostTest : public testing::ShellWindowTest {
 protected:
  void SetUp() override {
    testing::ShellWindowTest::SetUp();
    App().viewer = &connection_;
  }
  AppConnection connection_;
  HostServices host_;
};

TEST_F(ViewerAppOnShellHostTest, StartsShowsItsSoftKeysAndQuits) {
  UseDevice("pocketpc-qvga");
  viewer::ViewerApp* app = viewer::ViewerApp::Create(&host_, kOptionPocketPc);
  ASSERT_NE(app, nullptr);
  connection_.app = app;
  // A file that does not open: without one the start timer would run the
  // file browser modally, waiting for a user.
  app->OpenInitialDocument(u"\\nowhere\\missing.pdf");
  auto* main = dynamic_cast<HostWindow*>(app->viewer.mainContainer);
  ASSERT_NE(main, nullptr);
  main->SetActive(true);
  // The splash paints at once and goes 1500 ms later; the start timer
  // fires once and tries the file.
  Pump();
  RunFor(2000);
  EXPECT_EQ(app->viewer.startTimer, nullptr);
  EXPECT_EQ(App().splashShowing, 0);
  const platform::HWND bar = platform::FindMenuBar(main->Handle());
  ASSERT_NE(bar, nullptr);
  char16_t left[32] = {}, right[32] = {};
  for (int index = 0; index < 2; ++index) {
    platform::TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = platform::TBIF_BYINDEX | platform::TBIF_TEXT;
    info.pszText = index == 0 ? left : right;
    info.cchText = 32;
    platform::SendMessageW(bar, platform::TB_GETBUTTONINFOW, static_cast<platform::WPARAM>(index),
                           reinterpret_cast<platform::LPARAM>(&info));
  }
  EXPECT_EQ(std::u16string(left), u"Tools");
  EXPECT_EQ(std::u16string(right), u"Menu");
  // The Exit command ends the message loop.
  app->OnCommand(102);
  platform::MSG message;
  bool quit = false;
  while (platform::PeekMessageW(&message, nullptr, 0, 0, platform::PM_REMOVE)) quit = quit || message.message == platform::WM_QUIT;
  EXPECT_TRUE(quit);
  connection_.app = nullptr;
  viewer::ViewerApp::Destroy(app);
}

}  // namespace
}  // namespace shell

#endif
