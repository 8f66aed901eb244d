#include "platform/Menu.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/ControlSupport.h"
#include "platform/Resources.h"
#include "platform/WideText.h"
#include "platform/Window.h"
#include "platform/WindowSystem.h"

namespace platform {
namespace {

struct MenuItem {
  UINT flags = 0;
  UINT_PTR id = 0;
  std::u16string text;
  HMENU popup = nullptr;
};

struct MenuRecord {
  std::vector<MenuItem> items;
};

// Menus nest at most this deep (in resources and while tracking).
constexpr int kMaxDepth = 8;
constexpr const char16_t* kPopupClass = u"#32768";

std::set<MenuRecord*>& Menus() {
  static auto* menus = new std::set<MenuRecord*>();
  return *menus;
}

MenuRecord* MenuOf(HMENU handle) {
  auto* menu = reinterpret_cast<MenuRecord*>(handle);
  return Menus().count(menu) != 0 ? menu : nullptr;
}

// The item an id or position names.
MenuItem* Find(MenuRecord* menu, UINT item, UINT flags) {
  if (menu == nullptr) return nullptr;
  if (flags & MF_BYPOSITION) return item < menu->items.size() ? &menu->items[item] : nullptr;
  for (auto& entry : menu->items) {
    if (!(entry.flags & MF_POPUP) && entry.id == item) return &entry;
  }
  for (auto& entry : menu->items) {
    if (entry.flags & MF_POPUP) {
      if (MenuItem* found = Find(MenuOf(entry.popup), item, flags); found != nullptr) return found;
    }
  }
  return nullptr;
}

bool Remove(HMENU handle, UINT item, UINT flags, bool destroy) {
  MenuRecord* menu = MenuOf(handle);
  if (menu == nullptr) return false;
  for (size_t i = 0; i < menu->items.size(); ++i) {
    const MenuItem& entry = menu->items[i];
    const bool match = (flags & MF_BYPOSITION) ? i == item : (!(entry.flags & MF_POPUP) && entry.id == item);
    if (!match) continue;
    if (destroy && (entry.flags & MF_POPUP)) DestroyMenu(entry.popup);
    menu->items.erase(menu->items.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }
  return false;
}

// ---- tracking ------------------------------------------------------------------------

struct OpenPopup {
  HMENU menu;
  HWND window;
  int highlighted;
};

struct Tracking {
  HWND owner = nullptr;
  std::vector<OpenPopup> open;
  bool done = false;
  UINT_PTR chosen = 0;
  HFONT font = nullptr;
};

Tracking* g_tracking = nullptr;

int ItemHeight(const MenuItem& item) { return item.flags & MF_SEPARATOR ? Scaled(7) : Scaled(22); }

LRESULT PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT || g_tracking == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  const auto it = std::find_if(g_tracking->open.begin(), g_tracking->open.end(),
                               [&](const OpenPopup& popup) { return popup.window == window; });
  ControlPainter painter(window, g_tracking->font);
  painter.Fill(painter.client(), GetSysColor(COLOR_WINDOW));
  painter.Frame(painter.client(), kFrameColor);
  if (it == g_tracking->open.end()) return 0;
  const MenuRecord* menu = MenuOf(it->menu);
  if (menu == nullptr) return 0;
  int y = 1;
  for (size_t i = 0; i < menu->items.size(); ++i) {
    const MenuItem& item = menu->items[i];
    const int height = ItemHeight(item);
    const RECT row{1, y, painter.client().right - 1, y + height};
    if (item.flags & MF_SEPARATOR) {
      painter.Fill(RECT{Scaled(4), y + height / 2, row.right - Scaled(4), y + height / 2 + 1}, kFrameColor);
    } else {
      const bool lit = static_cast<int>(i) == it->highlighted;
      if (lit) painter.Fill(row, kSelectionColor);
      const COLORREF color = (item.flags & MF_GRAYED) ? kDisabledTextColor : (lit ? RGB(255, 255, 255) : kTextColor);
      const size_t tab = item.text.find(u'\t');
      const std::u16string_view label = std::u16string_view(item.text).substr(0, tab);
      painter.Text(RECT{Scaled(16), y, row.right - Scaled(6), y + height}, label, DT_SINGLELINE | DT_VCENTER, color);
      if (tab != std::u16string::npos) {
        painter.Text(RECT{Scaled(16), y, row.right - Scaled(8), y + height}, std::u16string_view(item.text).substr(tab + 1),
                     DT_SINGLELINE | DT_VCENTER | DT_RIGHT, color);
      }
      if (item.flags & MF_CHECKED) {
        const int size = Scaled(6);
        painter.Fill(RECT{Scaled(5), y + (height - size) / 2, Scaled(5) + size, y + (height + size) / 2}, color);
      }
      if (item.flags & MF_POPUP) {
        painter.Text(RECT{Scaled(16), y, row.right - Scaled(6), y + height}, u">", DT_SINGLELINE | DT_VCENTER | DT_RIGHT,
                     color);
      }
    }
    y += height;
  }
  return 0;
}

void EnsurePopupClass() {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kPopupClass, &existing)) return;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PopupProc;
  windowClass.lpszClassName = kPopupClass;
  RegisterClassW(&windowClass);
}

// Opens a popup with its bottom-left (or top-left) corner at a point.
void Open(HMENU menu, int x, int y, bool bottomAligned, int index) {
  if (g_tracking->open.size() >= static_cast<size_t>(kMaxDepth)) return;
  SendMessageW(g_tracking->owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(static_cast<WORD>(index), 0));
  const MenuRecord* record = MenuOf(menu);
  if (record == nullptr || g_tracking->done) return;
  const HDC dc = GetDC(nullptr);
  SelectObject(dc, g_tracking->font);
  int width = Scaled(80), height = 2;
  for (const MenuItem& item : record->items) {
    SIZE size{};
    GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &size);
    width = std::max<int>(width, size.cx + Scaled(44));
    height += ItemHeight(item);
  }
  ReleaseDC(nullptr, dc);
  const DeviceProfile& screen = GetDeviceProfile();
  width = std::min(width, screen.width);
  int top = bottomAligned ? y - height : y;
  top = std::clamp(top, 0, std::max(0, screen.height - height));
  const int left = std::clamp(x, 0, std::max(0, screen.width - width));
  const HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kPopupClass, u"", WS_POPUP, left, top, width,
                                      height, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) return;
  g_tracking->open.push_back(OpenPopup{menu, window, -1});
  ShowWindow(window, SW_SHOWNA);
}

void CloseLast() {
  if (g_tracking->open.empty()) return;
  DestroyWindow(g_tracking->open.back().window);
  g_tracking->open.pop_back();
}

void Highlight(size_t level, int index) {
  OpenPopup& popup = g_tracking->open[level];
  if (popup.highlighted == index) return;
  popup.highlighted = index;
  InvalidateRect(popup.window, nullptr, FALSE);
}

// Chooses (or opens) the highlighted item of the innermost popup.
void Activate(size_t level) {
  OpenPopup& popup = g_tracking->open[level];
  const MenuRecord* menu = MenuOf(popup.menu);
  if (menu == nullptr || popup.highlighted < 0 || static_cast<size_t>(popup.highlighted) >= menu->items.size()) return;
  const MenuItem& item = menu->items[static_cast<size_t>(popup.highlighted)];
  if (item.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)) return;
  if (item.flags & MF_POPUP) {
    while (g_tracking->open.size() > level + 1) CloseLast();
    RECT rect{};
    GetWindowRect(popup.window, &rect);
    int y = rect.top + 1;
    for (int i = 0; i < popup.highlighted; ++i) y += ItemHeight(menu->items[static_cast<size_t>(i)]);
    Open(item.popup, rect.left + Scaled(24), y, false, popup.highlighted);
    if (g_tracking->open.size() > level + 1) Highlight(level + 1, 0);
    return;
  }
  g_tracking->chosen = item.id;
  g_tracking->done = true;
}

// The popup level and item under a screen point, or false.
bool ItemAt(POINT point, size_t& level, int& index) {
  for (size_t i = g_tracking->open.size(); i-- > 0;) {
    RECT rect{};
    GetWindowRect(g_tracking->open[i].window, &rect);
    if (point.x < rect.left || point.x >= rect.right || point.y < rect.top || point.y >= rect.bottom) continue;
    const MenuRecord* menu = MenuOf(g_tracking->open[i].menu);
    int y = rect.top + 1;
    level = i;
    index = -1;
    for (size_t item = 0; menu != nullptr && item < menu->items.size(); ++item) {
      const int height = ItemHeight(menu->items[item]);
      if (point.y >= y && point.y < y + height) index = static_cast<int>(item);
      y += height;
    }
    return true;
  }
  return false;
}

void OnKey(int key) {
  if (g_tracking->open.empty()) return;
  const size_t level = g_tracking->open.size() - 1;
  OpenPopup& popup = g_tracking->open[level];
  const MenuRecord* menu = MenuOf(popup.menu);
  const int count = menu == nullptr ? 0 : static_cast<int>(menu->items.size());
  const auto selectable = [&](int i) { return !(menu->items[static_cast<size_t>(i)].flags & MF_SEPARATOR); };
  switch (key) {
    case VK_DOWN:
    case VK_UP: {
      if (count == 0) return;
      const int step = key == VK_DOWN ? 1 : -1;
      int next = popup.highlighted;
      for (int tries = 0; tries < count; ++tries) {
        next = ((next < 0 && step < 0 ? 0 : next) + step + count) % count;
        if (selectable(next)) break;
      }
      Highlight(level, next);
      return;
    }
    case VK_RIGHT:
    case VK_RETURN:
      if (key == VK_RIGHT && (popup.highlighted < 0 || !(menu->items[static_cast<size_t>(popup.highlighted)].flags & MF_POPUP))) {
        return;
      }
      Activate(level);
      return;
    case VK_LEFT:
    case VK_ESCAPE:
      if (level > 0) {
        CloseLast();
      } else {
        g_tracking->done = true;
      }
      return;
    case VK_TSOFT1:
    case VK_TSOFT2:
      // The soft key again dismisses the menu.
      g_tracking->done = true;
      return;
    default: return;
  }
}

}  // namespace

bool IsMenuTracking() { return g_tracking != nullptr; }

HMENU CreatePopupMenu() {
  auto* menu = new MenuRecord();
  Menus().insert(menu);
  return reinterpret_cast<HMENU>(menu);
}

HMENU CreateMenu() { return CreatePopupMenu(); }

BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  MenuRecord* menu = MenuOf(handle);
  if (menu == nullptr) return FALSE;
  if ((flags & MF_POPUP) && MenuOf(reinterpret_cast<HMENU>(idOrPopup)) == nullptr) return FALSE;
  MenuItem item;
  item.flags = flags & ~MF_BYPOSITION;
  item.id = (flags & MF_POPUP) ? 0 : idOrPopup;
  item.popup = (flags & MF_POPUP) ? reinterpret_cast<HMENU>(idOrPopup) : nullptr;
  if (!(flags & MF_SEPARATOR)) item.text = WideView(text);
  menu->items.push_back(std::move(item));
  return TRUE;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  MenuItem* entry = Find(MenuOf(menu), item, flags);
  if (entry == nullptr) return 0xFFFFFFFF;
  const UINT previous = entry->flags & (MF_GRAYED | MF_DISABLED);
  entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  MenuItem* entry = Find(MenuOf(menu), item, flags);
  if (entry == nullptr) return 0xFFFFFFFF;
  const DWORD previous = entry->flags & MF_CHECKED;
  entry->flags = (entry->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  return previous;
}

BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) { return Remove(menu, item, flags, true) ? TRUE : FALSE; }

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags) { return Remove(menu, item, flags, false) ? TRUE : FALSE; }

int GetMenuItemCount(HMENU handle) {
  const MenuRecord* menu = MenuOf(handle);
  return menu == nullptr ? -1 : static_cast<int>(menu->items.size());
}

UINT GetMenuItemID(HMENU handle, int position) {
  const MenuRecord* menu = MenuOf(handle);
  if (menu == nullptr || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return 0xFFFFFFFF;
  const MenuItem& item = menu->items[static_cast<size_t>(position)];
  return (item.flags & MF_POPUP) ? 0xFFFFFFFF : static_cast<UINT>(item.id);
}

HMENU GetSubMenu(HMENU handle, int position) {
  const MenuRecord* menu = MenuOf(handle);
  if (menu == nullptr || position < 0 || static_cast<size_t>(position) >= menu->items.size()) return nullptr;
  return menu->items[static_cast<size_t>(position)].popup;
}

BOOL DestroyMenu(HMENU handle) {
  MenuRecord* menu = MenuOf(handle);
  if (menu == nullptr) return FALSE;
  Menus().erase(menu);
  for (const MenuItem& item : menu->items) {
    if (item.flags & MF_POPUP) DestroyMenu(item.popup);
  }
  delete menu;
  return TRUE;
}

BOOL IsMenu(HMENU menu) { return MenuOf(menu) != nullptr; }

namespace {

// Reads one level of a menu resource; false when it runs past the end.
bool ReadMenuLevel(const uint8_t*& at, const uint8_t* end, HMENU menu, int depth) {
  if (depth > kMaxDepth) return false;
  for (;;) {
    const auto readWord = [&](uint16_t& word) {
      if (end - at < 2) return false;
      word = static_cast<uint16_t>(at[0] | (at[1] << 8));
      at += 2;
      return true;
    };
    uint16_t flags = 0, id = 0;
    if (!readWord(flags)) return false;
    if (!(flags & MF_POPUP) && !readWord(id)) return false;
    std::u16string text;
    for (uint16_t c = 0; readWord(c) && c != 0;) text.push_back(static_cast<char16_t>(c));
    if (flags & MF_POPUP) {
      const HMENU popup = CreatePopupMenu();
      if (!ReadMenuLevel(at, end, popup, depth + 1)) {
        DestroyMenu(popup);
        return false;
      }
      AppendMenuW(menu, (flags & ~MF_END) | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), text.c_str());
    } else {
      AppendMenuW(menu, (flags & ~MF_END) | (text.empty() && id == 0 ? MF_SEPARATOR : 0), id, text.c_str());
    }
    if (flags & MF_END) return true;
  }
}

}  // namespace

HMENU LoadMenuW(HINSTANCE module, LPCWSTR name) {
  const HRSRC resource = FindResourceW(module, name, RT_MENU);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  const DWORD size = SizeofResource(module, resource);
  if (data == nullptr || size < 4) return nullptr;
  const uint8_t* at = data + 4;
  const HMENU menu = CreateMenu();
  if (size > 4 && !ReadMenuLevel(at, data + size, menu, 0)) {
    DestroyMenu(menu);
    return nullptr;
  }
  return menu;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void*) {
  if (MenuOf(menu) == nullptr || g_tracking != nullptr) return FALSE;
  EnsurePopupClass();
  Tracking tracking;
  tracking.owner = owner;
  LOGFONTW font{};
  font.lfHeight = -Scaled(12);
  font.lfWeight = FW_NORMAL;
  std::copy_n(u"Tahoma", 7, font.lfFaceName);
  tracking.font = CreateFontIndirectW(&font);
  g_tracking = &tracking;
  SendMessageW(owner, WM_ENTERMENULOOP, FALSE, 0);
  Open(menu, x, y, (flags & TPM_BOTTOMALIGN) != 0, 0);
  if (tracking.open.empty()) tracking.done = true;
  MSG message{};
  bool penDown = false;
  while (!tracking.done) {
    if (!GetMessageW(&message, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    // The menu takes all input while it is open.
    switch (message.message) {
      case WM_KEYDOWN:
        OnKey(static_cast<int>(message.wParam));
        continue;
      case WM_KEYUP:
      case WM_CHAR:
        continue;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
      case WM_MOUSEMOVE:
      case WM_LBUTTONUP: {
        size_t level = 0;
        int index = -1;
        const bool inside = ItemAt(message.pt, level, index);
        if (message.message == WM_LBUTTONDOWN || message.message == WM_LBUTTONDBLCLK) penDown = true;
        if (!inside) {
          // A tap outside every popup dismisses the menu.
          if (message.message == WM_LBUTTONDOWN) tracking.done = true;
          continue;
        }
        while (tracking.open.size() > level + 1 && message.message != WM_MOUSEMOVE) CloseLast();
        Highlight(level, index);
        if (message.message == WM_LBUTTONUP && penDown) Activate(level);
        if (message.message == WM_LBUTTONUP) penDown = false;
        continue;
      }
      default:
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
  }
  while (!tracking.open.empty()) CloseLast();
  g_tracking = nullptr;
  DeleteObject(tracking.font);
  SendMessageW(owner, WM_EXITMENULOOP, FALSE, 0);
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(tracking.chosen);
  if (tracking.chosen != 0 && IsWindow(owner)) {
    SendMessageW(owner, WM_COMMAND, MAKELONG(static_cast<WORD>(tracking.chosen), 0), 0);
  }
  return TRUE;
}

}  // namespace platform
