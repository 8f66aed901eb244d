#include "platform/HandheldShell.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/ControlSupport.h"
#include "platform/Device.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/Resources.h"
#include "platform/WideText.h"
#include "platform/WindowSystem.h"

namespace platform {

bool IsMenuTracking();

namespace {

constexpr const char16_t* kMenuBarClass = u"menu_worker";
constexpr const char16_t* kPanelClass = u"SipWndClass";
constexpr COLORREF kBarColor = RGB(32, 48, 80);
constexpr int kButtons = 2;

struct SoftKey {
  bool present = false;
  int command = 0;
  BYTE state = TBSTATE_ENABLED;
  BYTE style = 0;
  std::u16string text;
  HMENU popup = nullptr;
};

struct MenuBarState {
  HWND parent = nullptr;
  SoftKey keys[kButtons];
  HMENU menu = nullptr;  // the loaded menu resource that owns the popups
  WORD overrides[256] = {};
  int pressed = -1;
};

ControlStates<MenuBarState> g_bars;
std::vector<HWND> g_barWindows;
bool g_taskBarShown = true;
HWND g_panel = nullptr;

int ButtonAt(HWND bar, int x) {
  RECT client{};
  GetClientRect(bar, &client);
  return x < client.right / 2 ? 0 : 1;
}

void Press(HWND bar, int index) {
  MenuBarState* state = g_bars.Find(bar);
  if (state == nullptr || index < 0 || index >= kButtons) return;
  const SoftKey& key = state->keys[index];
  if (!key.present || (key.state & TBSTATE_HIDDEN) || !(key.state & TBSTATE_ENABLED)) return;
  const HWND parent = state->parent;
  if (key.popup != nullptr && IsMenu(key.popup)) {
    RECT rect{};
    GetWindowRect(bar, &rect);
    const int x = index == 0 ? rect.left : rect.left + (rect.right - rect.left) / 2;
    state->pressed = index;
    InvalidateRect(bar, nullptr, FALSE);
    TrackPopupMenuEx(key.popup, TPM_BOTTOMALIGN | TPM_LEFTALIGN, x, rect.top, parent, nullptr);
    if (MenuBarState* after = g_bars.Find(bar); after != nullptr) {
      after->pressed = -1;
      InvalidateRect(bar, nullptr, FALSE);
    }
    return;
  }
  if (key.command != 0) SendMessageW(parent, WM_COMMAND, MAKELONG(static_cast<WORD>(key.command), 0), 0);
}

void PaintBar(HWND bar) {
  MenuBarState& state = g_bars.Get(bar);
  LOGFONTW logical{};
  logical.lfHeight = -Scaled(12);
  logical.lfWeight = FW_BOLD;
  std::copy_n(u"Tahoma", 7, logical.lfFaceName);
  const HFONT font = CreateFontIndirectW(&logical);
  {
    ControlPainter painter(bar, font);
    const RECT client = painter.client();
    painter.Fill(client, kBarColor);
    const int half = client.right / 2;
    for (int i = 0; i < kButtons; ++i) {
      const SoftKey& key = state.keys[i];
      const RECT area{i == 0 ? 0 : half, 0, i == 0 ? half : client.right, client.bottom};
      if (state.pressed == i) painter.Fill(area, RGB(70, 100, 150));
      if (!key.present || (key.state & TBSTATE_HIDDEN)) continue;
      const COLORREF color = (key.state & TBSTATE_ENABLED) ? RGB(255, 255, 255) : RGB(140, 150, 170);
      const RECT label{area.left + Scaled(8), 0, area.right - Scaled(8), client.bottom};
      painter.Text(label, key.text, DT_SINGLELINE | DT_VCENTER | (i == 0 ? DT_LEFT : DT_RIGHT), color);
    }
    painter.Fill(RECT{half, Scaled(6), half + 1, client.bottom - Scaled(6)}, RGB(90, 110, 140));
  }
  DeleteObject(font);
}

LRESULT MenuBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      PaintBar(bar);
      return 0;
    case WM_LBUTTONDOWN: {
      MenuBarState& state = g_bars.Get(bar);
      state.pressed = ButtonAt(bar, GET_X_LPARAM(lParam));
      SetCapture(bar);
      InvalidateRect(bar, nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP: {
      MenuBarState& state = g_bars.Get(bar);
      const int pressed = state.pressed;
      state.pressed = -1;
      if (GetCapture() == bar) ReleaseCapture();
      InvalidateRect(bar, nullptr, FALSE);
      RECT client{};
      GetClientRect(bar, &client);
      const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const bool inside = point.x >= 0 && point.y >= 0 && point.x < client.right && point.y < client.bottom;
      if (inside && pressed == ButtonAt(bar, point.x)) Press(bar, pressed);
      return 0;
    }
    case TB_GETBUTTONINFOW:
    case TB_SETBUTTONINFOW: {
      auto* info = reinterpret_cast<TBBUTTONINFOW*>(lParam);
      MenuBarState& state = g_bars.Get(bar);
      if (info == nullptr) return -1;
      int index = -1;
      if (info->dwMask & TBIF_BYINDEX) {
        index = static_cast<int>(wParam);
      } else {
        for (int i = 0; i < kButtons; ++i) {
          if (state.keys[i].present && state.keys[i].command == static_cast<int>(wParam)) index = i;
        }
      }
      if (index < 0 || index >= kButtons || !state.keys[index].present) return -1;
      SoftKey& key = state.keys[index];
      if (message == TB_GETBUTTONINFOW) {
        if (info->dwMask & TBIF_COMMAND) info->idCommand = key.command;
        if (info->dwMask & TBIF_STATE) info->fsState = key.state;
        if (info->dwMask & TBIF_STYLE) info->fsStyle = key.style;
        if (info->dwMask & TBIF_LPARAM) info->lParam = reinterpret_cast<uintptr_t>(key.popup);
        if ((info->dwMask & TBIF_TEXT) && info->pszText != nullptr && info->cchText > 0) {
          WideCopy(info->pszText, static_cast<size_t>(info->cchText), key.text);
        }
        return index;
      }
      if (info->dwMask & TBIF_COMMAND) key.command = info->idCommand;
      if (info->dwMask & TBIF_STATE) key.state = info->fsState;
      if (info->dwMask & TBIF_LPARAM) key.popup = reinterpret_cast<HMENU>(info->lParam);
      if (info->dwMask & TBIF_TEXT) key.text = WideView(info->pszText);
      InvalidateRect(bar, nullptr, FALSE);
      return TRUE;
    }
    case SHCMBM_OVERRIDEKEY: {
      MenuBarState& state = g_bars.Get(bar);
      const auto key = static_cast<size_t>(wParam & 0xFF);
      const WORD mask = LOWORD(static_cast<uintptr_t>(lParam));
      const WORD values = HIWORD(static_cast<uintptr_t>(lParam));
      state.overrides[key] = static_cast<WORD>((state.overrides[key] & ~mask) | (values & mask));
      return TRUE;
    }
    case WM_DESTROY: {
      MenuBarState& state = g_bars.Get(bar);
      if (state.menu != nullptr) DestroyMenu(state.menu);
      std::erase(g_barWindows, bar);
      g_bars.Drop(bar);
      return 0;
    }
    default:
      return DefWindowProcW(bar, message, wParam, lParam);
  }
}

// Soft keys and overridden keys reach the menu bar of the active window
// before anything else sees them.
bool FilterKeys(void*, UINT message, WPARAM key, LPARAM) {
  if (key != static_cast<WPARAM>(VK_TSOFT1) && key != static_cast<WPARAM>(VK_TSOFT2) &&
      key != static_cast<WPARAM>(VK_TBACK)) {
    return false;
  }
  if (IsMenuTracking()) return false;
  const HWND bar = FindMenuBar(GetActiveWindow());
  MenuBarState* state = bar == nullptr ? nullptr : g_bars.Find(bar);
  if (state == nullptr) return false;
  const WORD flags = state->overrides[key & 0xFF];
  const bool up = message == WM_KEYUP;
  if (flags & OVERRIDE_NOTIFY) {
    const WORD modifiers = up ? static_cast<WORD>(MOD_KEYUP) : 0;
    SendMessageW(state->parent, WM_HOTKEY, key, MAKELPARAM(modifiers, static_cast<WORD>(key)));
  }
  if (flags & OVERRIDE_NO_DEFAULT) return true;
  if (key == static_cast<WPARAM>(VK_TBACK)) return false;  // Back keeps its meaning: Escape
  if (!up) Press(bar, key == static_cast<WPARAM>(VK_TSOFT1) ? 0 : 1);
  return true;
}

void EnsureClasses() {
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, kMenuBarClass, &existing)) return;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MenuBarProc;
  windowClass.lpszClassName = kMenuBarClass;
  RegisterClassW(&windowClass);
  SetKeyFilter(FilterKeys, nullptr);
}

// ---- the input panel ------------------------------------------------------------------------

constexpr const char16_t* kPanelRows[] = {u"1234567890", u"qwertyuiop", u"asdfghjkl", u"zxcvbnm\b"};
constexpr int kPanelKeyRows = 4;  // then the space bar

RECT PanelRect() {
  const DeviceProfile& profile = GetDeviceProfile();
  const int height = 100 * profile.dpi / 96;
  const int bottom = profile.height - profile.menuBarHeight;
  return RECT{0, bottom - height, profile.width, bottom};
}

LRESULT PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  RECT client{};
  GetClientRect(panel, &client);
  const int rowHeight = std::max(1, static_cast<int>(client.bottom) / (kPanelKeyRows + 1));
  const int keyWidth = std::max(1, static_cast<int>(client.right) / 10);
  switch (message) {
    case WM_PAINT: {
      ControlPainter painter(panel, nullptr);
      painter.Fill(client, RGB(200, 204, 212));
      for (int row = 0; row <= kPanelKeyRows; ++row) {
        const bool keyRow = row < kPanelKeyRows;
        const std::u16string_view keys = keyRow ? std::u16string_view(kPanelRows[row]) : u" ";
        const int width = keyRow ? keyWidth : keyWidth * 6;
        const int left = keyRow ? (client.right - static_cast<int>(keys.size()) * keyWidth) / 2 : keyWidth * 2;
        for (size_t i = 0; i < keys.size(); ++i) {
          const RECT key{left + static_cast<int>(i) * width + 1, row * rowHeight + 1,
                         left + static_cast<int>(i + 1) * width - 1, (row + 1) * rowHeight - 1};
          painter.Fill(key, RGB(250, 250, 250));
          painter.Frame(key, kFrameColor);
          const char16_t* label = keys[i] == u'\b' ? u"<" : (keys[i] == u' ' ? u"space" : nullptr);
          const std::u16string text = label != nullptr ? std::u16string(label) : std::u16string(1, keys[i]);
          painter.Text(key, text, DT_SINGLELINE | DT_VCENTER | DT_CENTER, kTextColor);
        }
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      const int x = GET_X_LPARAM(lParam);
      const int row = GET_Y_LPARAM(lParam) / rowHeight;
      if (row == kPanelKeyRows) {
        if (x >= keyWidth * 2 && x < keyWidth * 8) InjectChar(u' ');
      } else if (row >= 0 && row < kPanelKeyRows) {
        const std::u16string_view keys = kPanelRows[row];
        const int left = (client.right - static_cast<int>(keys.size()) * keyWidth) / 2;
        const int index = (x - left) / keyWidth;
        if (x >= left && index >= 0 && static_cast<size_t>(index) < keys.size()) {
          InjectChar(keys[static_cast<size_t>(index)]);
        }
      }
      return 0;
    }
    default:
      return DefWindowProcW(panel, message, wParam, lParam);
  }
}

// ---- the OK button in the system's bar ---------------------------------------------------

constexpr const char16_t* kDoneClass = u"DoneButton";

LRESULT DoneProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      LOGFONTW logical{};
      logical.lfHeight = -Scaled(11);
      logical.lfWeight = FW_BOLD;
      std::copy_n(u"Tahoma", 7, logical.lfFaceName);
      const HFONT font = CreateFontIndirectW(&logical);
      {
        ControlPainter painter(button, font);
        painter.Fill(painter.client(), RGB(16, 32, 64));
        const RECT inner{Scaled(2), Scaled(3), painter.client().right - Scaled(2), painter.client().bottom - Scaled(3)};
        painter.Fill(inner, RGB(0, 82, 164));
        painter.Text(inner, u"ok", DT_SINGLELINE | DT_VCENTER | DT_CENTER, RGB(255, 255, 255));
      }
      DeleteObject(font);
      return 0;
    }
    case WM_LBUTTONUP:
      // The dialog that owns the button ends as with its own OK.
      if (const HWND owner = GetWindow(button, GW_OWNER); owner != nullptr) PostMessageW(owner, WM_COMMAND, 1, 0);
      return 0;
    default:
      return DefWindowProcW(button, message, wParam, lParam);
  }
}

void AddDoneButton(HWND dialog) {
  WNDCLASSW existing{};
  if (!GetClassInfoW(nullptr, kDoneClass, &existing)) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DoneProc;
    windowClass.lpszClassName = kDoneClass;
    RegisterClassW(&windowClass);
  }
  const DeviceProfile& profile = GetDeviceProfile();
  const int height = profile.taskBarHeight;
  const int width = height * 6 / 5;
  CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kDoneClass, u"", WS_POPUP | WS_VISIBLE, profile.width - width, 0,
                  width, height, dialog, nullptr, nullptr, nullptr);
}

}  // namespace

BOOL CreateSoftKeyBar(MenuBarInfo* info) {
  if (info == nullptr || info->cbSize < kDeviceMenuBarInfoSize || !IsWindow(info->hwndParent)) return FALSE;
  info->hwndMB = nullptr;
  EnsureClasses();
  MenuBarState state;
  state.parent = info->hwndParent;
  if (!(info->dwFlags & MENUBAR_EMPTY)) {
    const HRSRC resource = FindResourceW(info->hInstRes, MAKEINTRESOURCEW(info->nToolBarId), RT_RCDATA);
    const auto* words = static_cast<const uint16_t*>(LockResource(LoadResource(info->hInstRes, resource)));
    const DWORD size = SizeofResource(info->hInstRes, resource);
    if (words == nullptr || size < 4) return FALSE;
    const size_t count = std::min<size_t>(words[1], kButtons);
    if (size < 4 + count * 14) return FALSE;
    state.menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(info->nToolBarId));
    for (size_t i = 0; i < count; ++i) {
      const uint16_t* button = words + 2 + i * 7;
      SoftKey& key = state.keys[i];
      key.present = true;
      key.command = button[1];
      key.state = static_cast<BYTE>(button[2]);
      key.style = static_cast<BYTE>(button[3]);
      WCHAR label[64];
      if (LoadStringW(info->hInstRes, button[4], label, 64) > 0) key.text = label;
      if (button[6] != 0xFFFF && state.menu != nullptr) key.popup = GetSubMenu(state.menu, button[6]);
    }
  }
  const DeviceProfile& profile = GetDeviceProfile();
  const HWND bar = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kMenuBarClass, u"",
                                   WS_POPUP | ((info->dwFlags & MENUBAR_HIDDEN) ? 0 : WS_VISIBLE), 0,
                                   profile.height - profile.menuBarHeight, profile.width, profile.menuBarHeight,
                                   info->hwndParent, nullptr, nullptr, nullptr);
  if (bar == nullptr) {
    if (state.menu != nullptr) DestroyMenu(state.menu);
    return FALSE;
  }
  g_bars.Get(bar) = state;
  g_barWindows.push_back(bar);
  info->hwndMB = bar;
  return TRUE;
}

HWND FindMenuBar(HWND window) {
  // The newest bar of a window is its own: a dialog gets an empty bar at
  // set-up and then the bar with its soft keys.
  for (auto it = g_barWindows.rbegin(); it != g_barWindows.rend(); ++it) {
    const MenuBarState* state = g_bars.Find(*it);
    if (state != nullptr && state->parent == window && IsWindow(*it)) return *it;
  }
  return nullptr;
}

BOOL InputPanelInfoRequest(UINT action, UINT, void* data, UINT) {
  auto* info = static_cast<InputPanelInfo*>(data);
  if (info == nullptr || info->cbSize < kDeviceInputPanelInfoSize) return FALSE;
  if (action == SPI_SETSIPINFO) return SetInputPanelShown((info->fdwFlags & SIPF_ON) != 0);
  if (action != SPI_GETSIPINFO) return FALSE;
  const bool shown = IsInputPanelShown();
  const RECT panel = PanelRect();
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  info->fdwFlags = SIPF_DOCKED | (shown ? SIPF_ON : 0);
  info->rcSipRect = panel;
  info->rcVisibleDesktop = RECT{work.left, work.top, work.right, shown ? panel.top : panel.bottom};
  info->dwImDataSize = 0;
  return TRUE;
}

BOOL SetInputPanelShown(bool shown) {
  if (shown == IsInputPanelShown()) return TRUE;
  if (shown && !IsWindow(g_panel)) {
    WNDCLASSW existing{};
    if (!GetClassInfoW(nullptr, kPanelClass, &existing)) {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = PanelProc;
      windowClass.lpszClassName = kPanelClass;
      RegisterClassW(&windowClass);
    }
    const RECT rect = PanelRect();
    g_panel = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kPanelClass, u"", WS_POPUP, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
  }
  if (IsWindow(g_panel)) ShowWindow(g_panel, shown ? SW_SHOWNA : SW_HIDE);
  const std::vector<HWND> tops = TopLevelWindows();
  for (HWND top : tops) {
    if (IsWindow(top) && top != g_panel) SendMessageW(top, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
  }
  return TRUE;
}

bool IsInputPanelShown() { return IsWindow(g_panel) && IsWindowVisible(g_panel); }

BOOL InitFullScreenDialog(DialogInitInfo* info) {
  if (info == nullptr || !IsWindow(info->hDlg)) return FALSE;
  const DeviceProfile& profile = GetDeviceProfile();
  if (info->dwFlags & DIALOG_FULL_SCREEN) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int bottom = profile.kind == PlatformKind::kPocketPc ? work.bottom - profile.menuBarHeight : work.bottom;
    MoveWindow(info->hDlg, work.left, work.top, work.right - work.left, bottom - work.top, TRUE);
  }
  if (info->dwFlags & DIALOG_PANEL_DOWN) SetInputPanelShown(false);
  if (info->dwFlags & DIALOG_DONE_BUTTON) AddDoneButton(info->hDlg);
  if (info->dwFlags & DIALOG_EMPTY_MENU) {
    MenuBarInfo bar{kDeviceMenuBarInfoSize, info->hDlg, MENUBAR_EMPTY, 0, nullptr, 0, 0, nullptr, 0};
    CreateSoftKeyBar(&bar);
  }
  return TRUE;
}

BOOL SetFullScreenParts(HWND, DWORD flags) {
  const bool before = g_taskBarShown;
  if (flags & SHOW_TASK_BAR) g_taskBarShown = true;
  if (flags & HIDE_TASK_BAR) g_taskBarShown = false;
  if (before != g_taskBarShown) {
    const DeviceProfile& profile = GetDeviceProfile();
    InvalidateScreenRect(RECT{0, 0, profile.width, profile.taskBarHeight});
  }
  return TRUE;
}

bool IsTaskBarShown() { return g_taskBarShown; }

void SendBackKeyToFocus(UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_HOTKEY || HIWORD(static_cast<uintptr_t>(lParam)) != VK_TBACK) return;
  if (LOWORD(static_cast<uintptr_t>(lParam)) & MOD_KEYUP) return;
  const HWND focus = GetFocus();
  WCHAR name[16] = {};
  GetClassNameW(focus, name, 16);
  if (WideEqualsNoCase(name, u"EDIT")) SendMessageW(focus, WM_CHAR, VK_BACK, 1);
}

}  // namespace platform
