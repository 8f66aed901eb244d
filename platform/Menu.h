#pragma once
// Menus: popup menus built item by item or loaded from menu resources, and
// the popup that lets the user choose one of their items with the pen or
// the keys.
#include "platform/Messages.h"

namespace platform {

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_END = 0x0080;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;

HMENU CreatePopupMenu();
HMENU CreateMenu();
// Text "label\tshortcut" shows the shortcut right-aligned.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
// Return the previous state (MF_GRAYED / MF_CHECKED), or -1 (0xFFFFFFFF).
UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
// DeleteMenu destroys a popup it removes; RemoveMenu hands it back.
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// A menu resource (RT_MENU): a header of two words, then items of flags,
// id (not for popups) and text, MF_END marking the last of each level.
HMENU LoadMenuW(HINSTANCE module, LPCWSTR name);

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_RETURNCMD = 0x0100;
// Opens the menu at a screen point and runs until an item is chosen or the
// menu is dismissed. The owner gets WM_ENTERMENULOOP, WM_INITMENUPOPUP for
// each popup as it opens, WM_EXITMENULOOP, then WM_COMMAND for the chosen
// item (unless TPM_RETURNCMD, which returns its id instead).
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void* parameters);

}  // namespace platform
