#pragma once
// The handheld shell's services: the soft-key menu bar at the bottom of the
// screen, the input panel, full-screen dialogs and windows, and the Back
// key. The device's shell library offers these under its own names; ours
// say what they do.
#include "platform/Messages.h"

namespace platform {

// ---- the soft-key menu bar -------------------------------------------------------------

// The record that asks for a menu bar (36 bytes on the device; its cbSize
// is checked against the device's size, not this one's).
struct MenuBarInfo {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;  // RCDATA with the buttons, and RT_MENU of the same id
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the menu bar
  COLORREF clrBk;
};
constexpr DWORD kDeviceMenuBarInfoSize = 36;
constexpr DWORD MENUBAR_EMPTY = 0x0001;
constexpr DWORD MENUBAR_HIDDEN = 0x0002;
constexpr DWORD MENUBAR_NO_PANEL_BUTTON = 0x0004;

// Makes the menu bar of a window from its RCDATA template: menu id, button
// count, then per button image, command, state (4 enabled, 8 hidden), style,
// label string id, 0 and the index of its popup in the menu (0xFFFF none).
BOOL CreateSoftKeyBar(MenuBarInfo* info);
// The menu bar of a window, or null.
HWND FindMenuBar(HWND window);

// Button messages of the bar, by index with TBIF_BYINDEX.
constexpr UINT TB_GETBUTTONINFOW = WM_USER + 63;
constexpr UINT TB_SETBUTTONINFOW = WM_USER + 64;
constexpr DWORD TBIF_IMAGE = 0x00000001;
constexpr DWORD TBIF_TEXT = 0x00000002;
constexpr DWORD TBIF_STATE = 0x00000004;
constexpr DWORD TBIF_STYLE = 0x00000008;
constexpr DWORD TBIF_LPARAM = 0x00000010;
constexpr DWORD TBIF_COMMAND = 0x00000020;
constexpr DWORD TBIF_BYINDEX = 0x80000000;
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTATE_HIDDEN = 0x08;
struct TBBUTTONINFOW {
  UINT cbSize;
  DWORD dwMask;
  int idCommand;
  int iImage;
  BYTE fsState;
  BYTE fsStyle;
  WORD cx;
  uintptr_t lParam;  // the button's popup menu
  LPWSTR pszText;
  int cchText;
};

// Overrides a key on the bar: wParam the key (VK_TBACK, VK_TSOFT1,
// VK_TSOFT2); lParam low word the mask and high word the values of
// OVERRIDE_NO_DEFAULT (the bar does not act on the key) and OVERRIDE_NOTIFY
// (the key reaches the parent as WM_HOTKEY). 0x30003 overrides, 3 restores.
constexpr UINT SHCMBM_OVERRIDEKEY = WM_USER + 403;
constexpr WORD OVERRIDE_NO_DEFAULT = 0x0001;
constexpr WORD OVERRIDE_NOTIFY = 0x0002;

// ---- the input panel ---------------------------------------------------------------------

constexpr DWORD SIPF_ON = 0x0001;
constexpr DWORD SIPF_DOCKED = 0x0002;
struct InputPanelInfo {
  DWORD cbSize;
  DWORD fdwFlags;
  RECT rcVisibleDesktop;
  RECT rcSipRect;
  DWORD dwImDataSize;
  void* pvImData;
};
constexpr DWORD kDeviceInputPanelInfoSize = 48;
// SPI_GETSIPINFO fills the record; SPI_SETSIPINFO raises or lowers the
// panel after its SIPF_ON flag.
BOOL InputPanelInfoRequest(UINT action, UINT parameter, void* info, UINT flags);
// Raises or lowers the panel; every top-level window gets
// WM_SETTINGCHANGE(SPI_SETSIPINFO) when it changes.
BOOL SetInputPanelShown(bool shown);
bool IsInputPanelShown();

// ---- full screen ------------------------------------------------------------------------

// Dialog set-up flags: 1 adds an OK button, 4 sizes the dialog to the
// screen less the system bars, 8 lowers the input panel, 32 gives it an
// empty menu bar.
constexpr DWORD DIALOG_DONE_BUTTON = 0x0001;
constexpr DWORD DIALOG_FULL_SCREEN = 0x0004;
constexpr DWORD DIALOG_PANEL_DOWN = 0x0008;
constexpr DWORD DIALOG_EMPTY_MENU = 0x0020;
struct DialogInitInfo {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
};
BOOL InitFullScreenDialog(DialogInitInfo* info);

// Shows or hides the system's parts: 1 show the task bar, 2 hide it,
// 4 show the start icon, 8 hide it (the shell passes 5, 8 and 10).
constexpr DWORD SHOW_TASK_BAR = 0x0001;
constexpr DWORD HIDE_TASK_BAR = 0x0002;
constexpr DWORD SHOW_START_ICON = 0x0004;
constexpr DWORD HIDE_START_ICON = 0x0008;
BOOL SetFullScreenParts(HWND window, DWORD flags);
bool IsTaskBarShown();

// ---- the Back key ---------------------------------------------------------------------------

// Hands a Back key (as WM_HOTKEY arrived) to the focused edit field, where
// it deletes the character before the caret.
void SendBackKeyToFocus(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform
