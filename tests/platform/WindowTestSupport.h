#pragma once
// A window class that records the messages it receives, on the virtual
// clock, for the window-system tests.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

#include "TempFolder.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"

namespace platform::testing {

struct Received {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Received>& Log() {
  static std::vector<Received> log;
  return log;
}

inline LRESULT RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Log().push_back(Received{window, message, wParam, lParam});
  return DefWindowProcW(window, message, wParam, lParam);
}

// The messages of one kind in the log, in order.
inline std::vector<Received> Only(UINT message) {
  std::vector<Received> found;
  for (const auto& entry : Log()) {
    if (entry.message == message) found.push_back(entry);
  }
  return found;
}

// Lock files and sockets of the tests' windows stay apart from those of a
// running application.
inline void UsePrivateRuntimeFolder() {
  static TempFolder folder;
  if (std::getenv("FOLVANE_RUNTIME_DIR") == nullptr) ::setenv("FOLVANE_RUNTIME_DIR", folder.path().c_str(), 1);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UsePrivateRuntimeFolder();
    ResetWindowSystem();
    UseVirtualClock(true);
    Log().clear();
    WNDCLASSW windowClass{};
    windowClass.style = 8;  // double clicks
    windowClass.lpfnWndProc = RecordMessage;
    windowClass.lpszClassName = u"Recorder";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
  }
  void TearDown() override {
    ResetWindowSystem();
    UseVirtualClock(false);
  }

  HWND TopLevel(const char16_t* title = u"Top", RECT rect = RECT{0, 0, 240, 320}) {
    return CreateWindowExW(0, u"Recorder", title, WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
  }
  HWND Child(HWND parent, int id, RECT rect, DWORD style = 0) {
    return CreateWindowExW(0, u"Recorder", u"", WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
  }
  // Dispatches everything that is ready now; returns the messages seen.
  std::vector<UINT> Pump() {
    std::vector<UINT> seen;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      seen.push_back(message.message);
      if (message.message == WM_QUIT) break;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return seen;
  }
};

}  // namespace platform::testing
