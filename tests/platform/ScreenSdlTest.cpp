#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Screen.h"

namespace platform {
namespace {

// The desktop window on SDL2's dummy driver: no display is needed, and the
// desktop's events are made by the test.
class ScreenSdlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::UsePrivateRuntimeFolder();
    ResetWindowSystem();
    UseVirtualClock(false);
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ResetScreen();
    if (StartScreen(ScreenBackend::kSdl) != ScreenBackend::kSdl) {
      StopScreen();
      GTEST_SKIP() << "SDL2 cannot start its dummy driver";
    }
    testing::Log().clear();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = testing::RecordMessage;
    windowClass.lpszClassName = u"Recorder";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    window_ = CreateWindowExW(0, u"Recorder", u"Top", WS_VISIBLE, 0, 40, 240, 200, nullptr, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(window_, nullptr);
    SetFocus(window_);
  }
  void TearDown() override {
    StopScreen();
    ResetWindowSystem();
    ::unsetenv("SDL_VIDEODRIVER");
  }
  static void PushText(const char* text) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, text, sizeof event.text.text - 1);
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
  static void PushWindowEvent(Uint8 kind) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = kind;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
  // Dispatches what is ready, translating keys as the application does.
  void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // Lets the loop go idle `ticks` times, woken by a 1 ms timer.
  void Idle(int ticks) {
    SetTimer(window_, 7, 1, nullptr);
    MSG message;
    for (int seen = 0; seen < ticks && GetMessageW(&message, nullptr, 0, 0);) {
      if (message.message == WM_TIMER) ++seen;
      DispatchMessageW(&message);
    }
    KillTimer(window_, 7);
  }
  HWND window_ = nullptr;
};

TEST_F(ScreenSdlTest, KeypadKeysArriveAsKeyPressesWithTheirCharacters) {
  PushText("1*#a");
  // Checking for input, as a work slice does, sees the keys.
  EXPECT_NE(HIWORD(GetQueueStatus(QS_KEY)) & QS_KEY, 0u);
  Pump();
  std::vector<std::pair<UINT, WPARAM>> seen;
  for (const auto& entry : testing::Log()) {
    if (entry.message == WM_KEYDOWN || entry.message == WM_CHAR) seen.emplace_back(entry.message, entry.wParam);
  }
  const std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_KEYDOWN, '1'}, {WM_CHAR, '1'},        {WM_KEYDOWN, VK_TSTAR}, {WM_CHAR, '*'},
      {WM_KEYDOWN, VK_TPOUND}, {WM_CHAR, '#'}, {WM_CHAR, 'a'}};
  EXPECT_EQ(seen, expected);
}

TEST_F(ScreenSdlTest, LosingTheDesktopFocusDeactivatesTheApplication) {
  Pump();
  testing::Log().clear();
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  Pump();
  EXPECT_TRUE(IsAnotherApplicationActive());
  const auto deactivations = testing::Only(WM_ACTIVATE);
  ASSERT_EQ(deactivations.size(), 1u);
  EXPECT_EQ(LOWORD(deactivations[0].wParam), WA_INACTIVE);
  EXPECT_EQ(deactivations[0].lParam, 0);
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  Pump();
  EXPECT_FALSE(IsAnotherApplicationActive());
  EXPECT_EQ(GetActiveWindow(), window_);
}

TEST_F(ScreenSdlTest, TheScreenIsDrawnOnlyWhenItChanged) {
  Pump();
  Idle(3);
  const uint64_t settled = ScreenPresentCount();
  Idle(20);
  EXPECT_EQ(ScreenPresentCount(), settled);
  // A change of the framebuffer is shown once.
  const HDC dc = GetDC(window_);
  RECT box{10, 10, 60, 60};
  FillRect(dc, &box, GetSysColorBrush(COLOR_HIGHLIGHT));
  ReleaseDC(window_, dc);
  Idle(20);
  EXPECT_EQ(ScreenPresentCount(), settled + 1);
}

}  // namespace
}  // namespace platform
