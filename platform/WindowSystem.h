#pragma once
// The window system's records, shared by the parts of the platform layer
// (drawing, controls, the screen and the link between processes). The
// application uses Window.h instead.
#include <memory>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform {

struct ScrollBarState {
  int minimum = 0;
  int maximum = 0;
  int page = 0;
  int position = 0;
  int trackPosition = 0;
  bool visible = false;
};

// A window of another process, reached through its process's socket.
struct RemoteWindow {
  std::string socketPath;
  uint64_t handle = 0;
};

struct WindowRecord {
  HWND handle = nullptr;
  std::u16string className;
  UINT classStyle = 0;
  HBRUSH background = nullptr;
  HCURSOR cursor = nullptr;
  WNDPROC procedure = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::u16string text;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;  // top of the Z order first
  RECT rect{};  // relative to the parent's client area, or the screen
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  std::vector<LONG_PTR> extraWords;  // the class's extra bytes, one word per 4 bytes
  bool destroying = false;
  bool updatePending = false;
  bool erasePending = false;
  RECT update{};  // client coordinates
  ScrollBarState bars[2];  // 0 horizontal, 1 vertical
  std::unique_ptr<RemoteWindow> remote;
};

// The record of a live window (or null).
WindowRecord* LookupWindow(HWND window);
// Top-level windows, top of the Z order first.
const std::vector<HWND>& TopLevelWindows();
// The window's client area and its window rectangle on the screen.
RECT ClientRectOnScreen(HWND window);
RECT WindowRectOnScreen(HWND window);
// Whether the window and all its ancestors are visible.
bool IsShownOnScreen(HWND window);
// The top-level window that holds a window.
HWND RootWindow(HWND window);
// Re-computes the client area after a scroll bar appeared or went away.
void UpdateNonClientArea(HWND window);
// Invalidates every shown window that covers part of a screen rectangle.
void InvalidateScreenRect(const RECT& screen);

// A window of another process (made by FindWindowW).
HWND MakeRemoteWindow(const std::string& socketPath, uint64_t handle);
// Finds one of our own top-level windows.
HWND FindLocalWindow(LPCWSTR className, LPCWSTR windowName);

// Descriptors watched while the message loop waits (the link between
// processes, the screen back end). The callback runs on the UI thread; it
// may read and queue, but must not dispatch messages (GetQueueStatus polls
// the descriptors too).
using DescriptorCallback = void (*)(void* user);
void WatchDescriptor(int descriptor, DescriptorCallback callback, void* user);
void UnwatchDescriptor(int descriptor);
// Waits up to timeoutMilliseconds (0: just look) for watched descriptors and
// runs the callbacks of the ready ones.
void PollWatchedDescriptors(int timeoutMilliseconds);
bool HasWatchedDescriptors();

// How the message loop waits when it has nothing to do. The default polls
// the watched descriptors; a screen back end puts its own in place (which
// should poll the descriptors too). microseconds < 0: no timer is pending.
using IdleWaiter = void (*)(void* user, int64_t microseconds);
void SetIdleWaiter(IdleWaiter waiter, void* user);

// Moves input that the screen back end holds into the input queue, without
// dispatching anything. The message loop and GetQueueStatus call it, so
// input is seen while the application only checks for pending input.
using InputPump = void (*)(void* user);
void SetInputPump(InputPump pump, void* user);

// Forgets every window, class, timer and queued message (tests).
void ResetWindowSystem();

}  // namespace platform
