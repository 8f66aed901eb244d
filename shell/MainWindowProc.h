#pragma once
// The window procedure of the main class. Every window the viewer has the
// shell make for it (its top-level view window and the child views) gets
// its messages here; they become calls on the viewer connected in the
// application state, with the window's wrapper telling the viewer which
// of its windows it is.
#include "platform/Messages.h"
#include "shell/DialogCommands.h"

namespace shell {

platform::LRESULT MainWindowProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                 platform::LPARAM lParam);

// SystemParametersInfo actions whose WM_SETTINGCHANGE moves the work area
// (the input panel going up or down).
inline constexpr platform::WPARAM kSettingInputPanel = 224;
inline constexpr platform::WPARAM kSettingWorkArea = 0x3002;

// Commands the window procedure issues itself: Exit (kCommandExit) for WM_CLOSE, the
// bookmark list's Cancel for the overridden Back key, and Bookmarks, which
// overrides the Back key on a device without the button bar.
inline constexpr uint32_t kCommandBookmarks = 130;
inline constexpr uint32_t kCommandBookmarkCancel = 132;

// The zoom messages other programs may send: WM_USER asks for the zoom,
// WM_USER + 1 sets one; both carry the bits of a 32-bit float.
inline constexpr platform::UINT kZoomQueryMessage = platform::WM_USER;
inline constexpr platform::UINT kZoomSetMessage = platform::WM_USER + 1;

// A factor WM_USER + 1 may apply: false for a value that is not finite or
// not above 0; others are brought into the layout's zoom range.
bool AcceptZoomFactor(float requested, float* factor);

}  // namespace shell
