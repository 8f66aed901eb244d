#pragma once
// Soft-key menu bars built from a soft-key description: the left key's
// MenuItemDesc, whose next item is the right key. Each key shows its label
// and sends its command; a key with a submenu opens it as a popup.
#include <cstdint>

#include "platform/Messages.h"
#include "runtime/MenuItemDesc.h"

namespace shell {

class HostWindow;

// Key overrides on a menu bar (SHCMBM_OVERRIDEKEY): the key no longer acts
// on the bar and reaches the parent; or the bar's own handling restored.
inline constexpr platform::LPARAM kOverrideKey = 0x30003;
inline constexpr platform::LPARAM kRestoreKey = 3;

// The menu-bar template for a description: 102 (no keys) when `none` is
// set or neither key has a label; 103/104 left only (104 with a popup);
// 105 right only; 106-109 both (107 right popup, 108 left popup, 109 both).
uint32_t ChooseMenuBarId(const runtime::MenuItemDesc* softKeys, bool none);

// True when a label is there and not empty.
bool HasLabel(const runtime::MenuItemDesc* item);

// Makes a menu bar from template `templateId` for `parent`; null on failure.
platform::HWND MakeMenuBar(platform::HWND parent, uint32_t templateId, platform::DWORD flags);

// Button `index` of the bar gets the text and command; a key with neither
// is skipped (and counts as done).
bool SetSoftKey(platform::HWND bar, const char16_t* text, uint32_t id, int index);
// The popup menu of button `index`, or null.
platform::HMENU GetSoftKeyMenu(platform::HWND bar, int index);
// Replaces the menu's items with the list from `first` on; submenus become
// popups, registered with `wrapper` (when given) under their item's id.
bool BuildPopupMenu(platform::HMENU menu, const runtime::MenuItemDesc* first, HostWindow* wrapper);
// Labels both buttons and builds the keys' popups. True when every step
// succeeded.
bool UpdateSoftKeys(platform::HWND bar, const runtime::MenuItemDesc* softKeys, HostWindow* wrapper);

}  // namespace shell
