#include "shell/SoftKeyBar.h"

#include "platform/HandheldShell.h"
#include "platform/Menu.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/HostWindow.h"
#include "shell/Localization.h"
#include "shell/WString.h"

namespace shell {

namespace {

// Popups nest only a few levels; a description that loops or runs deeper
// is cut off here.
constexpr int kMaxPopupDepth = 8;
constexpr int kMaxPopupItems = 256;

bool BuildLevel(platform::HMENU menu, const runtime::MenuItemDesc* first, HostWindow* wrapper, int depth) {
  if (depth > kMaxPopupDepth) return false;
  while (platform::GetMenuItemCount(menu) > 0) {
    if (!platform::DeleteMenu(menu, 0, platform::MF_BYPOSITION)) return false;
  }
  const bool smartphone = GetPlatformType() == kPlatformSmartphone;
  bool ok = true;
  int count = 0;
  for (const runtime::MenuItemDesc* item = first; item != nullptr; item = item->next) {
    if (++count > kMaxPopupItems) return false;
    WString label;
    label.AssignCString(item->text);
    if (smartphone && !label.IsEmpty() && item->shortcut != 0) {
      const char16_t tail[2] = {u'\t', item->shortcut};
      label.Append(tail, 2);
    }
    if (item->submenu != nullptr) {
      const platform::HMENU popup = platform::CreatePopupMenu();
      if (popup == nullptr) return false;
      if (wrapper != nullptr) wrapper->RegisterPopup(popup, item->id);
      ok = BuildLevel(popup, item->submenu, wrapper, depth + 1) && ok;
      if (!platform::AppendMenuW(menu, platform::MF_POPUP, reinterpret_cast<platform::UINT_PTR>(popup),
                                 label.Chars())) {
        platform::DestroyMenu(popup);
        return false;
      }
      continue;
    }
    platform::UINT flags = platform::MF_STRING;
    if (item->grayed) flags |= platform::MF_GRAYED;
    if (label.IsEmpty()) flags |= platform::MF_SEPARATOR;
    if (item->checked) flags |= platform::MF_CHECKED;
    ok = platform::AppendMenuW(menu, flags, item->id, label.Chars()) && ok;
  }
  return ok;
}

}  // namespace

bool HasLabel(const runtime::MenuItemDesc* item) {
  return item != nullptr && item->text != nullptr && item->text[0] != 0;
}

uint32_t ChooseMenuBarId(const runtime::MenuItemDesc* softKeys, bool none) {
  if (none || softKeys == nullptr) return 102;
  const runtime::MenuItemDesc* left = softKeys;
  const runtime::MenuItemDesc* right = left->next;
  const bool leftLabel = HasLabel(left);
  const bool rightLabel = HasLabel(right);
  const bool leftPopup = left->submenu != nullptr;
  const bool rightPopup = right != nullptr && right->submenu != nullptr;
  if (leftLabel && rightLabel) {
    if (leftPopup && rightPopup) return 109;
    if (leftPopup) return 108;
    if (rightPopup) return 107;
    return 106;
  }
  if (leftLabel) return leftPopup ? 104 : 103;
  if (rightLabel) return 105;
  return 102;
}

platform::HWND MakeMenuBar(platform::HWND parent, uint32_t templateId, platform::DWORD flags) {
  platform::MenuBarInfo info{};
  info.cbSize = platform::kDeviceMenuBarInfoSize;
  info.hwndParent = parent;
  info.dwFlags = flags;
  info.nToolBarId = templateId;
  info.hInstRes = App().instance;
  if (!platform::CreateSoftKeyBar(&info)) return nullptr;
  return info.hwndMB;
}

bool SetSoftKey(platform::HWND bar, const char16_t* text, uint32_t id, int index) {
  if (text == nullptr && id == 0) return true;
  platform::TBBUTTONINFOW info{};
  info.cbSize = sizeof info;
  info.dwMask = platform::TBIF_BYINDEX | platform::TBIF_TEXT | platform::TBIF_COMMAND;
  info.idCommand = static_cast<int>(id);
  info.pszText = const_cast<char16_t*>(text != nullptr ? text : u"");
  return platform::SendMessageW(bar, platform::TB_SETBUTTONINFOW, static_cast<platform::WPARAM>(index),
                                reinterpret_cast<platform::LPARAM>(&info)) != 0;
}

platform::HMENU GetSoftKeyMenu(platform::HWND bar, int index) {
  platform::TBBUTTONINFOW info{};
  info.cbSize = sizeof info;
  info.dwMask = platform::TBIF_BYINDEX | platform::TBIF_LPARAM;
  if (platform::SendMessageW(bar, platform::TB_GETBUTTONINFOW, static_cast<platform::WPARAM>(index),
                             reinterpret_cast<platform::LPARAM>(&info)) == -1) {
    return nullptr;
  }
  const auto menu = reinterpret_cast<platform::HMENU>(info.lParam);
  return platform::IsMenu(menu) ? menu : nullptr;
}

bool BuildPopupMenu(platform::HMENU menu, const runtime::MenuItemDesc* first, HostWindow* wrapper) {
  return menu != nullptr && BuildLevel(menu, first, wrapper, 0);
}

bool UpdateSoftKeys(platform::HWND bar, const runtime::MenuItemDesc* softKeys, HostWindow* wrapper) {
  if (bar == nullptr || softKeys == nullptr) return false;
  const runtime::MenuItemDesc* keys[2] = {softKeys, softKeys->next};
  bool ok = true;
  for (int index = 0; index < 2; ++index) {
    if (keys[index] != nullptr) ok = SetSoftKey(bar, keys[index]->text, keys[index]->id, index) && ok;
  }
  if (wrapper != nullptr) wrapper->ClearPopups();
  for (int index = 0; index < 2; ++index) {
    if (keys[index] == nullptr || keys[index]->submenu == nullptr) continue;
    const platform::HMENU menu = GetSoftKeyMenu(bar, index);
    if (menu == nullptr) {
      ok = false;
      continue;
    }
    if (wrapper != nullptr) wrapper->RegisterPopup(menu, keys[index]->id);
    ok = BuildPopupMenu(menu, keys[index]->submenu, wrapper) && ok;
  }
  return ok;
}

}  // namespace shell
