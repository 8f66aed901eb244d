#pragma once
// A test fixture for the shell's windows, bitmaps and timers: a fresh
// window system on the virtual clock, a chosen device profile, the shell's
// classes and resources registered, and everything put back afterwards.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Clock.h"
#include "platform/HandheldShell.h"
#include "platform/Device.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/Screen.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"
#include "shell/AppState.h"
#include "shell/Localization.h"
#include "shell/ShellResources.h"
#include "TestViewer.h"
#include "tests/platform/WindowTestSupport.h"

namespace shell::testing {

class ShellWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::testing::UsePrivateRuntimeFolder();
    platform::UseInMemoryRegistry();
    savedProfile_ = platform::GetDeviceProfile();
    platform::ResetWindowSystem();
    platform::UseVirtualClock(true);
    ResetAppState();
    ForgetPlatformType();
    ASSERT_TRUE(RegisterWindowClasses(nullptr));
    RegisterShellResources();
    App().viewer = &viewer_;
  }
  void TearDown() override {
    App().viewer = nullptr;
    platform::SetInputPanelShown(false);
    platform::ResetWindowSystem();
    platform::UseVirtualClock(false);
    platform::SetDeviceProfile(savedProfile_);
    platform::ResetScreen();
    platform::UseInMemoryRegistry();
    ResetAppState();
    ForgetPlatformType();
  }

  // Switches to a named profile with the given screen depth and starts its
  // screen afresh (the window system keeps its windows).
  void UseDevice(const char* name, int bitsPerPixel = 16) {
    ASSERT_TRUE(platform::SelectDevice(name)) << name;
    platform::DeviceProfile profile = platform::GetDeviceProfile();
    profile.bitsPerPixel = bitsPerPixel;
    platform::SetDeviceProfile(profile);
    platform::ResetScreen();
    ForgetPlatformType();
  }

  // The main class's windows record every message they get (in
  // platform::testing::Log(), emptied here).
  static void RecordMainWindowMessages() {
    platform::UnregisterClassW(kMainWindowClass, nullptr);
    ASSERT_TRUE(RegisterWindowClasses(platform::testing::RecordMessage));
    platform::testing::Log().clear();
  }

  // Dispatches everything that is ready now.
  static void Pump() {
    platform::MSG message;
    while (platform::PeekMessageW(&message, nullptr, 0, 0, platform::PM_REMOVE)) {
      if (message.message == platform::WM_QUIT) break;
      platform::TranslateMessage(&message);
      platform::DispatchMessageW(&message);
    }
  }
  // Moves the virtual clock on and runs what fell due.
  static void RunFor(int milliseconds) {
    platform::AdvanceVirtualClock(int64_t{milliseconds} * 1000);
    Pump();
  }

  // The viewer the shell's windows and dialogs report to.
  TestViewer viewer_;

 private:
  platform::DeviceProfile savedProfile_;
};

}  // namespace shell::testing
