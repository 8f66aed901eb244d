#pragma once
// Windows, window classes, the message queue, focus, capture, activation and
// timers of the simulated handheld. One UI thread drives everything; a
// second process reaches our windows only through FindWindowW and
// SendMessageW (see Kernel.h for the single-instance mutex).
#include "platform/Messages.h"

namespace platform {

ATOM RegisterClassW(const WNDCLASSW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* windowClass);

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* parameter);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The words hold pointers here, so they are pointer-sized.
LONG_PTR GetWindowLongW(HWND window, int index);
LONG_PTR SetWindowLongW(HWND window, int index, LONG_PTR value);

// Sending calls the window procedure at once (a window of another process
// gets the message through its message loop and the caller waits for the
// result); posting queues the message for the message loop.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Order of retrieval: messages sent from other processes, posted messages,
// input, WM_QUIT, WM_PAINT, WM_TIMER. Returns 0 for WM_QUIT.
BOOL GetMessageW(MSG* message, HWND window, UINT first, UINT last);
BOOL PeekMessageW(MSG* message, HWND window, UINT first, UINT last, UINT remove);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageW(const MSG* message);
// High word: kinds of messages waiting; low word: kinds that arrived since
// the last call; both masked with flags.
DWORD GetQueueStatus(UINT flags);

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND window, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND window, RECT* rect);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL BringWindowToTop(HWND window);
HWND GetParent(HWND window);
HWND GetWindow(HWND window, UINT relation);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
BOOL IsChild(HWND parent, HWND window);
HWND WindowFromPoint(POINT screenPoint);
HWND ChildWindowFromPoint(HWND parent, POINT clientPoint);

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND window);

BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR buffer, int capacity);
int GetWindowTextLengthW(HWND window);
int GetClassNameW(HWND window, LPWSTR buffer, int capacity);
// Top-level windows of this process and of other running processes.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);

// Activation and focus. SetForegroundWindow ignores the lowest bit of the
// handle (callers set it to also bring the window's popups forward).
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
HWND SetFocus(HWND window);
HWND GetFocus();
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
// 0x8000 while the key is down; bit 0 when it was pressed since the last call.
int16_t GetAsyncKeyState(int virtualKey);

// Timers run on the one clock; a timer whose interval elapsed several times
// while the loop was busy fires once per elapsed interval on the virtual
// clock (tests), once on the real clock.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);

}  // namespace platform
