#pragma once
// The shell's application-wide state, shared by the window procedures, the
// dialogs and HostServices, and what the shell asks of the viewer that
// drives it.
#include <cstdint>

#include "platform/Messages.h"

namespace shell {

class HostWindow;

// The viewer as the shell's windows and dialogs see it. The application
// connects the viewer here; without one, every call does nothing.
class ShellViewer {
 public:
  virtual ~ShellViewer() = default;
  // The view window that has the viewer's attention, or null.
  virtual HostWindow* ActiveViewWindow() { return nullptr; }
  // Bracket a modal shell dialog (the viewer hides its wait cursor).
  virtual void BeginModalUi() {}
  virtual void EndModalUi() {}
  // Enter in the page-number box.
  virtual void GoToTypedPage() {}
  // A row of the bookmark tree was selected (not by a drag of the pen).
  virtual void OnBookmarkSelected() {}
};

// Command sent to the tree's parent on Enter: Select.
inline constexpr uint32_t kCommandSelectBookmark = 131;
// The tree's selection changes, passed back from the main window to the
// tree control under this private message.
inline constexpr platform::UINT kTreeNotifyMessage = 0xBC4E;

// Fixed names of the application.
inline constexpr char16_t kMainWindowClass[] = u"Vantrel Folvane";
inline constexpr char16_t kTimerWindowClass[] = u"Vantrel Folvane Timer";
inline constexpr char16_t kMainWindowTitle[] = u"Vantrel Folvane";

// Back-key override of the menu bars: none, installed on the current bar,
// or to be installed on the next one.
inline constexpr uint32_t kBackKeyNone = 0;
inline constexpr uint32_t kBackKeyInstalled = 1;
inline constexpr uint32_t kBackKeyPending = 2;

struct AppState {
  platform::HINSTANCE instance = nullptr;
  uint32_t optionBits = 0;
  uint32_t backKeyState = kBackKeyNone;
  ShellViewer* viewer = nullptr;
  // The view window in full-screen mode and its menu bar, or none.
  platform::HWND fullScreenWindow = nullptr;
  platform::HWND fullScreenMenuBar = nullptr;
  // Shell dialogs open; while above 0 full screen is not resumed.
  int32_t modalCount = 0;
  // Height of the last main menu bar made for a top-level view window.
  int32_t menuBarHeight = 0;
  uint8_t splashShowing = 0;
  // The tree controls' pen tracking, to tell a tap from a drag.
  uint8_t treePenDown = 0;
  int32_t treePenMoves = 0;
};

AppState& App();
// Back to the state at load (tests).
void ResetAppState();

// The connected viewer's active view window, or null.
HostWindow* ActiveViewWindow();

// Registers the main window class (with `mainProcedure`, or DefWindowProcW
// when null) and the timer window class. False when either fails.
bool RegisterWindowClasses(platform::WNDPROC mainProcedure);

}  // namespace shell
