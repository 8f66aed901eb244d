#include "shell/MainWindowProc.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/Clock.h"
#include "platform/Controls.h"
#include "platform/Menu.h"
#include "platform/Window.h"
#include "runtime/MenuItemDesc.h"
#include "shell/AppState.h"
#include "shell/CommandLine.h"
#include "shell/HostWindow.h"
#include "shell/Settings.h"

namespace shell {

namespace {

using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WPARAM;

// Bit 30 of a key message's lParam: the key was already down (a repeat).
constexpr uintptr_t kKeyRepeatBit = uintptr_t{1} << 30;
// Notification code of an edit control that got the focus.
constexpr platform::WORD kEditGotFocus = 256;
// Keypad characters the viewer knows the star and pound keys by.
constexpr char16_t kStarKey = u'*';
constexpr char16_t kPoundKey = u'#';
// How long the overridden Back key waits before it cancels, so that its
// release is not taken by the window that appears next.
constexpr uint32_t kBackKeyDelayMilliseconds = 500;

// Scroll-bar request codes.
constexpr platform::WORD kScrollLineUp = 0;
constexpr platform::WORD kScrollLineDown = 1;
constexpr platform::WORD kScrollPageUp = 2;
constexpr platform::WORD kScrollPageDown = 3;
constexpr platform::WORD kScrollThumbTrack = 5;
constexpr platform::WORD kScrollTop = 6;
constexpr platform::WORD kScrollBottom = 7;
constexpr platform::WORD kScrollEnd = 8;

ShellViewer& Viewer() {
  static ShellViewer none;
  ShellViewer* viewer = App().viewer;
  return viewer != nullptr ? *viewer : none;
}

void ResumeFullScreen() {
  if (App().fullScreenWindow == nullptr) return;
  HostWindow* wrapper = HostWindow::FromHandle(App().fullScreenWindow);
  if (wrapper != nullptr) wrapper->ResumeFullScreen();
}

void RelayoutActiveView() {
  HostWindow* active = ActiveViewWindow();
  if (active != nullptr) active->Relayout(false);
}

int32_t Saturate(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

void OnActivate(HostWindow* wrapper, WPARAM wParam, LPARAM lParam) {
  const bool active = platform::LOWORD(wParam) != platform::WA_INACTIVE;
  ShellViewer& viewer = Viewer();
  if (active) {
    viewer.RestoreFocus();
    viewer.SetBackgroundMode(false);
  }
  if (wrapper != nullptr) {
    wrapper->SetActive(active);
    ResumeFullScreen();
  }
  // Another application takes over: give its memory back and slow down.
  if (!active && lParam == 0) {
    viewer.ReleaseCachedMemory();
    viewer.SetBackgroundMode(true);
  }
  if (active) RelayoutActiveView();
}

LRESULT OnDrawItem(platform::HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* item = reinterpret_cast<const platform::DRAWITEMSTRUCT*>(lParam);
  HostWindow* button = item != nullptr ? HostWindow::FromHandle(item->hwndItem) : nullptr;
  if (button == nullptr) return 0;
  button->SetDrawItem(item);
  const int32_t drawn = Viewer().DrawToolbarButton(button, (item->itemState & platform::ODS_SELECTED) != 0);
  button->SetDrawItem(nullptr);
  if (drawn != 0) return platform::TRUE;
  return platform::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OnKeyDown(HostWindow* wrapper, WPARAM wParam, LPARAM lParam) {
  ResumeFullScreen();
  const int key = static_cast<int>(wParam);
  // A repeat that arrives after the key went up would scroll on and on.
  if ((static_cast<uintptr_t>(lParam) & kKeyRepeatBit) != 0 &&
      (static_cast<uint16_t>(platform::GetAsyncKeyState(key)) & 0x8000) == 0) {
    return 0;
  }
  ShellViewer& viewer = Viewer();
  switch (key) {
    case platform::VK_LEFT: viewer.OnKeyLeft(wrapper); return 0;
    case platform::VK_RIGHT: viewer.OnKeyRight(wrapper); return 0;
    case platform::VK_UP: viewer.OnKeyUp(wrapper); return 0;
    case platform::VK_DOWN: viewer.OnKeyDown(wrapper); return 0;
    case platform::VK_HOME: viewer.OnKeyHome(wrapper); return 0;
    case platform::VK_END: viewer.OnKeyEnd(wrapper); return 0;
    case platform::VK_PRIOR: viewer.OnPageUp(wrapper); return 0;
    case platform::VK_NEXT: viewer.OnPageDown(wrapper); return 0;
    case platform::VK_TAB: viewer.OnKeyNextLink(wrapper); return 0;
    case platform::VK_RETURN: viewer.OnKeyAction(wrapper); return 0;
    default: break;
  }
  char16_t code = static_cast<char16_t>(key);
  if (key == platform::VK_MULTIPLY || key == platform::VK_F8) code = kStarKey;
  if (key == platform::VK_F9) code = kPoundKey;
  viewer.OnKeyCommand(code);
  return 0;
}

LRESULT OnCommand(WPARAM wParam, LPARAM lParam) {
  ShellViewer& viewer = Viewer();
  const platform::WORD notification = platform::HIWORD(wParam);
  HostWindow* control = lParam != 0 ? HostWindow::FromHandle(reinterpret_cast<platform::HWND>(lParam)) : nullptr;
  if (notification != 0) {
    if (notification == kEditGotFocus && control != nullptr) viewer.OnControlFocus(control);
    return 0;
  }
  if (control != nullptr) {
    viewer.OnToolbarButton(control);
    return 0;
  }
  const uint32_t id = platform::LOWORD(wParam);
  if (id == 0) return 0;
  // Without the button bar the bookmark list takes the Back key for its
  // Cancel; the next menu bar installs that.
  if (id == kCommandBookmarks && (App().optionBits & 4) == 0) App().backKeyState = kBackKeyPending;
  viewer.OnCommand(id);
  return 0;
}

LRESULT OnScroll(platform::HWND window, HostWindow* wrapper, bool vertical, WPARAM wParam) {
  ResumeFullScreen();
  platform::SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = platform::SIF_ALL;
  platform::GetScrollInfo(window, vertical ? platform::SB_VERT : platform::SB_HORZ, &info);
  ShellViewer& viewer = Viewer();
  const platform::WORD request = platform::LOWORD(wParam);
  switch (request) {
    case kScrollLineUp: vertical ? viewer.OnLineUp(wrapper) : viewer.OnLineLeft(wrapper); return 0;
    case kScrollLineDown: vertical ? viewer.OnLineDown(wrapper) : viewer.OnLineRight(wrapper); return 0;
    case kScrollPageUp: vertical ? viewer.OnPageUp(wrapper) : viewer.OnPageLeft(wrapper); return 0;
    case kScrollPageDown: vertical ? viewer.OnPageDown(wrapper) : viewer.OnPageRight(wrapper); return 0;
    case kScrollEnd: return 0;
    default: break;
  }
  int64_t position = info.nPos;
  if (request == kScrollThumbTrack) position = info.nTrackPos;
  if (request == kScrollTop) position = info.nMin;
  if (request == kScrollBottom) position = int64_t{info.nMax} - info.nPage;
  const int32_t offset = Saturate(position - info.nMin);
  const int32_t page = Saturate(int64_t{info.nPage});
  const int32_t extent = Saturate(int64_t{info.nMax} - info.nMin);
  if (vertical) {
    viewer.ScrollVerticalTo(wrapper, offset, page, extent);
  } else {
    viewer.ScrollHorizontalTo(wrapper, offset, page, extent);
  }
  return 0;
}

LRESULT OnInitMenuPopup(platform::HWND window, HostWindow* wrapper, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto menu = reinterpret_cast<platform::HMENU>(wParam);
  uint32_t id = 0;
  if (wrapper == nullptr || !wrapper->FindPopup(menu, &id)) {
    return platform::DefWindowProcW(window, message, wParam, lParam);
  }
  UINT position = 0;
  for (const runtime::MenuItemDesc* item = Viewer().GetMenuForPopup(id); item != nullptr; item = item->next) {
    platform::EnableMenuItem(menu, position,
                             platform::MF_BYPOSITION | (item->grayed != 0 ? platform::MF_GRAYED : platform::MF_ENABLED));
    platform::CheckMenuItem(menu, position,
                            platform::MF_BYPOSITION | (item->checked != 0 ? platform::MF_CHECKED : platform::MF_UNCHECKED));
    ++position;
  }
  return 0;
}

LRESULT OnHotKey(platform::HWND window, LPARAM lParam) {
  const auto bits = static_cast<uintptr_t>(lParam);
  // The release comes as a hot key too; acting on it would cancel twice.
  if ((platform::LOWORD(bits) & platform::MOD_KEYUP) != 0) return 0;
  if (platform::HIWORD(bits) == platform::VK_TBACK) {
    platform::Sleep(kBackKeyDelayMilliseconds);
    platform::SendMessageW(window, platform::WM_COMMAND, kCommandBookmarkCancel, 0);
    return 0;
  }
  if (App().fullScreenWindow != nullptr) {
    HostWindow* fullScreen = HostWindow::FromHandle(App().fullScreenWindow);
    if (fullScreen != nullptr) fullScreen->SuspendFullScreen();
  }
  return 0;
}

}  // namespace

bool AcceptZoomFactor(float requested, float* factor) {
  if (!std::isfinite(requested) || !(requested > 0.0f)) return false;
  *factor = ClampZoomFactor(requested);
  return true;
}

LRESULT MainWindowProc(platform::HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HostWindow* wrapper = HostWindow::FromHandle(window);
  ShellViewer& viewer = Viewer();
  const int x = platform::GET_X_LPARAM(lParam);
  const int y = platform::GET_Y_LPARAM(lParam);
  switch (message) {
    case platform::WM_SIZE:
      if (wParam == platform::SIZE_MINIMIZED || wParam == platform::SIZE_MAXSHOW || wParam == platform::SIZE_MAXHIDE) {
        return 0;
      }
      if (wrapper != nullptr) {
        viewer.OnSize(wrapper, platform::LOWORD(static_cast<uintptr_t>(lParam)),
                      platform::HIWORD(static_cast<uintptr_t>(lParam)));
      }
      return 0;
    case platform::WM_ACTIVATE:
      OnActivate(wrapper, wParam, lParam);
      return 0;
    case platform::WM_PAINT:
      // A window the viewer does not paint must still be validated, or it
      // would be asked again and again.
      if (wrapper != nullptr && viewer.OnPaint(wrapper)) return 0;
      return platform::DefWindowProcW(window, message, wParam, lParam);
    case platform::WM_CLOSE:
      // The viewer decides what closing means; the window stays.
      viewer.OnCommand(kCommandExit);
      return 0;
    case platform::WM_SETTINGCHANGE:
      if (wParam == kSettingInputPanel || wParam == kSettingWorkArea) RelayoutActiveView();
      return 0;
    case platform::WM_DRAWITEM:
      return OnDrawItem(window, message, wParam, lParam);
    case platform::WM_COPYDATA: {
      WString path;
      if (PathFromCopyData(wParam, reinterpret_cast<const platform::COPYDATASTRUCT*>(lParam), path)) {
        viewer.OnCopyData(path.Chars());
      }
      return 0;
    }
    case platform::WM_NOTIFY: {
      const auto* header = reinterpret_cast<const platform::NMHDR*>(lParam);
      if (header != nullptr && header->code == platform::TVN_SELCHANGEDW) {
        return platform::SendMessageW(header->hwndFrom, kTreeNotifyMessage, wParam, lParam);
      }
      return platform::DefWindowProcW(window, message, wParam, lParam);
    }
    case platform::WM_KEYDOWN:
      return OnKeyDown(wrapper, wParam, lParam);
    case platform::WM_KEYUP:
      return 0;
    case platform::WM_COMMAND:
      return OnCommand(wParam, lParam);
    case platform::WM_HSCROLL:
    case platform::WM_VSCROLL:
      return OnScroll(window, wrapper, message == platform::WM_VSCROLL, wParam);
    case platform::WM_INITMENUPOPUP:
      return OnInitMenuPopup(window, wrapper, message, wParam, lParam);
    case platform::WM_MOUSEMOVE:
      viewer.OnMouseMove(x, y, wrapper);
      return 0;
    case platform::WM_LBUTTONDOWN:
    case platform::WM_LBUTTONDBLCLK:
      ResumeFullScreen();
      platform::SetCapture(window);
      if (message == platform::WM_LBUTTONDOWN) {
        viewer.OnMouseDown(x, y, wrapper);
      } else {
        viewer.OnMouseDownAlt(x, y, wrapper);
      }
      return 0;
    case platform::WM_LBUTTONUP:
      viewer.OnMouseUp(x, y, wrapper);
      platform::ReleaseCapture();
      return 0;
    case platform::WM_ENTERMENULOOP:
      return 0;
    case platform::WM_EXITMENULOOP:
      ResumeFullScreen();
      return 0;
    case platform::WM_CAPTURECHANGED:
      viewer.OnCaptureLost();
      return 0;
    case platform::WM_HOTKEY:
      return OnHotKey(window, lParam);
    case kZoomQueryMessage:
      return static_cast<LRESULT>(std::bit_cast<uint32_t>(viewer.GetZoomFactor()));
    case kZoomSetMessage: {
      float factor = 0.0f;
      if (AcceptZoomFactor(std::bit_cast<float>(static_cast<uint32_t>(wParam)), &factor)) {
        viewer.SetZoomFactor(factor);
      }
      return 0;
    }
    default:
      return platform::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace shell
