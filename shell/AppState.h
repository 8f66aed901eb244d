#pragma once
// The shell's application-wide state, shared by the window procedures, the
// dialogs and HostServices, and what the shell asks of the viewer that
// drives it.
#include <cstdint>

#include "platform/Messages.h"

namespace runtime {
struct MenuItemDesc;
}  // namespace runtime

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

  // The main window's messages (MainWindowProc). `window` is the wrapper
  // of the window that got the message.
  // 1 when the size of the main container was taken.
  virtual int32_t OnSize(HostWindow* /*window*/, int32_t /*width*/, int32_t /*height*/) { return 0; }
  // True when the viewer painted (and validated) the window.
  virtual bool OnPaint(HostWindow* /*window*/) { return false; }
  virtual void OnCommand(uint32_t /*id*/) {}
  // Draws an owner-drawn button; non-zero when nothing else may draw it.
  virtual int32_t DrawToolbarButton(HostWindow* /*button*/, bool /*pressed*/) { return 0; }
  // Opens a path handed over by a second instance.
  virtual void OnCopyData(const char16_t* /*path*/) {}
  virtual void RestoreFocus() {}
  virtual void SetBackgroundMode(bool /*background*/) {}
  virtual void ReleaseCachedMemory() {}
  virtual void OnControlFocus(HostWindow* /*control*/) {}
  virtual void OnToolbarButton(HostWindow* /*button*/) {}
  virtual int32_t OnKeyCommand(char16_t /*code*/) { return 0; }
  // The keys with an operation of their own.
  virtual void OnKeyLeft(HostWindow* /*window*/) {}
  virtual void OnKeyRight(HostWindow* /*window*/) {}
  virtual void OnKeyUp(HostWindow* /*window*/) {}
  virtual void OnKeyDown(HostWindow* /*window*/) {}
  virtual void OnKeyHome(HostWindow* /*window*/) {}
  virtual void OnKeyEnd(HostWindow* /*window*/) {}
  // The next-link key (Tab) and the action key (Return).
  virtual void OnKeyNextLink(HostWindow* /*window*/) {}
  virtual void OnKeyAction(HostWindow* /*window*/) {}
  // Scroll-bar requests by line and by page (Page Up and Page Down too).
  virtual void OnLineLeft(HostWindow* /*window*/) {}
  virtual void OnLineRight(HostWindow* /*window*/) {}
  virtual void OnPageLeft(HostWindow* /*window*/) {}
  virtual void OnPageRight(HostWindow* /*window*/) {}
  virtual void OnLineUp(HostWindow* /*window*/) {}
  virtual void OnLineDown(HostWindow* /*window*/) {}
  virtual void OnPageUp(HostWindow* /*window*/) {}
  virtual void OnPageDown(HostWindow* /*window*/) {}
  // A thumb position: `position` and `page` within a range of `extent`.
  virtual void ScrollHorizontalTo(HostWindow* /*window*/, int32_t /*position*/, int32_t /*page*/,
                                  int32_t /*extent*/) {}
  virtual void ScrollVerticalTo(HostWindow* /*window*/, int32_t /*position*/, int32_t /*page*/,
                                int32_t /*extent*/) {}
  // The pen, in the window's client coordinates.
  virtual void OnMouseMove(int32_t /*x*/, int32_t /*y*/, HostWindow* /*window*/) {}
  virtual void OnMouseDown(int32_t /*x*/, int32_t /*y*/, HostWindow* /*window*/) {}
  virtual void OnMouseDownAlt(int32_t /*x*/, int32_t /*y*/, HostWindow* /*window*/) {}
  virtual void OnMouseUp(int32_t /*x*/, int32_t /*y*/, HostWindow* /*window*/) {}
  virtual void OnCaptureLost() {}
  // The first item of a popup's list, its states refreshed; null for none.
  virtual const runtime::MenuItemDesc* GetMenuForPopup(uint32_t /*id*/) { return nullptr; }
  // The zoom as a factor (0 without a page view), and a factor to apply.
  virtual float GetZoomFactor() { return 0.0f; }
  virtual void SetZoomFactor(float /*factor*/) {}
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
