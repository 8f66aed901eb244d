#include "shell/HostWindow.h"

#include <algorithm>
#include <new>

#include "platform/Device.h"
#include "platform/HandheldShell.h"
#include "platform/Window.h"
#include "shell/AppState.h"
#include "shell/SoftKeyBar.h"
#include "shell/WindowSurface.h"

namespace shell {

namespace {

// The longest window text GetText reads; a longer one is cut there.
constexpr int kMaxTextCapacity = 1 << 20;
// Window coordinates far beyond any screen; the window system adds
// coordinates in int, so larger ones are brought back to this range.
constexpr int64_t kMaxWindowCoordinate = 1 << 24;

int ClampCoordinate(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, -kMaxWindowCoordinate, kMaxWindowCoordinate));
}
constexpr uint32_t kMainMenuBarTemplate = 106;

int32_t HeightOf(platform::HWND window) {
  platform::RECT rect{};
  if (window == nullptr || !platform::GetWindowRect(window, &rect)) return 0;
  return rect.bottom - rect.top;
}

// The menu bar sits at the bottom of the screen (or just below it when
// hidden), full width, at its own height.
void PlaceMenuBar(platform::HWND bar, int top) {
  const int height = HeightOf(bar);
  platform::MoveWindow(bar, 0, top, platform::GetSystemMetrics(platform::SM_CXSCREEN), height, platform::TRUE);
}

void OverrideSoftKeys(platform::HWND bar, platform::LPARAM how) {
  platform::SendMessageW(bar, platform::SHCMBM_OVERRIDEKEY, platform::VK_TSOFT1, how);
  platform::SendMessageW(bar, platform::SHCMBM_OVERRIDEKEY, platform::VK_TSOFT2, how);
}

void SetEmptyScrollBars(platform::HWND window) {
  platform::SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = platform::SIF_ALL;
  platform::SetScrollInfo(window, platform::SB_HORZ, &info, platform::TRUE);
  platform::SetScrollInfo(window, platform::SB_VERT, &info, platform::TRUE);
}

}  // namespace

HostWindow* HostWindow::CreateView(HostWindow* parent, bool scrollBars) {
  auto* wrapper = new (std::nothrow) HostWindow();
  if (wrapper == nullptr) return nullptr;
  platform::DWORD style = parent != nullptr ? kChildViewStyle : kTopLevelViewStyle;
  if (scrollBars) style |= kScrollBarsStyle;
  if (!wrapper->Make(kMainWindowClass, parent != nullptr ? u"" : kMainWindowTitle, style,
                     parent != nullptr ? parent->Handle() : nullptr)) {
    delete wrapper;
    return nullptr;
  }
  if (scrollBars) SetEmptyScrollBars(wrapper->window_);
  if (parent == nullptr) {
    const platform::HWND bar = MakeMenuBar(wrapper->window_, kMainMenuBarTemplate, 0);
    if (bar == nullptr) {
      delete wrapper;
      return nullptr;
    }
    App().menuBarHeight = HeightOf(bar);
  }
  return wrapper;
}

HostWindow* HostWindow::CreateButton(HostWindow* parent) {
  if (parent == nullptr) return nullptr;
  auto* wrapper = new (std::nothrow) HostWindow();
  if (wrapper == nullptr) return nullptr;
  if (!wrapper->Make(platform::WC_BUTTON, u"", kButtonStyle, parent->Handle())) {
    delete wrapper;
    return nullptr;
  }
  return wrapper;
}

HostWindow* HostWindow::FromHandle(platform::HWND window) {
  if (window == nullptr || !platform::IsWindow(window)) return nullptr;
  return reinterpret_cast<HostWindow*>(platform::GetWindowLongW(window, platform::GWL_USERDATA));
}

bool HostWindow::Make(const char16_t* className, const char16_t* title, platform::DWORD style,
                      platform::HWND parent) {
  int x = 0, y = 0, width = 0, height = 0;
  if (parent == nullptr) {
    platform::RECT work{};
    platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
    x = work.left;
    y = work.top;
    width = work.right - work.left;
    height = work.bottom - work.top;
  }
  window_ = platform::CreateWindowExW(0, className, title, style, x, y, width, height, parent, nullptr,
                                      App().instance, nullptr);
  if (window_ == nullptr) return false;
  platform::SetWindowLongW(window_, platform::GWL_USERDATA, reinterpret_cast<platform::LONG_PTR>(this));
  activeAtCreation_ = platform::GetActiveWindow() == window_;
  return true;
}

HostWindow::~HostWindow() {
  // A surface left open ends its painting step while the window still exists.
  delete surface_;
  surface_ = nullptr;
  if (window_ == nullptr) return;
  AppState& app = App();
  if (app.fullScreenWindow == window_) {
    app.fullScreenWindow = nullptr;
    app.fullScreenMenuBar = nullptr;
  }
  platform::SetWindowLongW(window_, platform::GWL_USERDATA, 0);
  const platform::HWND bar = platform::FindMenuBar(window_);
  if (bar != nullptr) platform::DestroyWindow(bar);
  platform::DestroyWindow(window_);
}

bool HostWindow::HasBorder() const {
  return (static_cast<platform::DWORD>(platform::GetWindowLongW(window_, platform::GWL_STYLE)) &
          platform::WS_BORDER) != 0;
}

void HostWindow::SetText(const char16_t* text) { platform::SetWindowTextW(window_, text != nullptr ? text : u""); }

void HostWindow::SetBounds(const runtime::HostRect& rect) {
  runtime::HostRect current{};
  GetBounds(&current);
  if (current.left == rect.left && current.top == rect.top && current.right == rect.right &&
      current.bottom == rect.bottom) {
    return;
  }
  const bool border = HasBorder();
  const int64_t dx = border ? platform::GetSystemMetrics(platform::SM_CXBORDER) : 0;
  const int64_t dy = border ? platform::GetSystemMetrics(platform::SM_CYBORDER) : 0;
  const int x = ClampCoordinate(rect.left - dx);
  const int y = ClampCoordinate(rect.top - dy);
  const int width = ClampCoordinate(int64_t{rect.right} - rect.left + 2 * dx);
  const int height = ClampCoordinate(int64_t{rect.bottom} - rect.top + 2 * dy);
  // Only bordered windows go to the bottom of the Z order.
  platform::SetWindowPos(window_, platform::HWND_BOTTOM, x, y, width, height, border ? 0 : platform::SWP_NOZORDER);
}

void HostWindow::GetBounds(runtime::HostRect* rect) const {
  platform::RECT bounds{};
  platform::GetWindowRect(window_, &bounds);
  const auto style = static_cast<platform::DWORD>(platform::GetWindowLongW(window_, platform::GWL_STYLE));
  if ((style & platform::WS_CHILD) != 0) {
    platform::POINT corners[2] = {{bounds.left, bounds.top}, {bounds.right, bounds.bottom}};
    platform::MapWindowPoints(nullptr, platform::GetParent(window_), corners, 2);
    bounds = platform::RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  }
  if ((style & platform::WS_BORDER) != 0) {
    const int dx = platform::GetSystemMetrics(platform::SM_CXBORDER);
    const int dy = platform::GetSystemMetrics(platform::SM_CYBORDER);
    bounds = platform::RECT{bounds.left + dx, bounds.top + dy, bounds.right - dx, bounds.bottom - dy};
  }
  *rect = runtime::HostRect{bounds.left, bounds.top, bounds.right, bounds.bottom};
}

void HostWindow::Show(bool show) { platform::ShowWindow(window_, show ? platform::SW_SHOW : platform::SW_HIDE); }

DrawTarget* HostWindow::CreateDrawTarget(bool paint) {
  if (drawItem_ != nullptr) return DrawTarget::OpenLent(drawItem_->hDC);
  if (window_ == nullptr) return DrawTarget::OpenLent(nullptr);
  return paint ? DrawTarget::OpenPaint(window_) : DrawTarget::OpenWindow(window_);
}

void HostWindow::ReleaseDrawTarget(DrawTarget* target) { delete target; }

bool HostWindow::DrawBitmap(runtime::HostBitmap& source, const runtime::HostRect& sourceRect,
                            const runtime::HostRect& destination) {
  // Every bitmap the shell hands out is an off-screen bitmap.
  if (dynamic_cast<const OffscreenBitmap*>(&source) == nullptr) return false;
  DrawTarget* target = CreateDrawTarget(true);
  if (target == nullptr) return false;
  WindowSurface surface(target);
  return surface.CopyBitmap(source, sourceRect, destination);
}

void HostWindow::Invalidate(const runtime::HostRect& rect) {
  if (window_ == nullptr) return;
  const platform::RECT area = ToPlatformRect(rect);
  platform::InvalidateRect(window_, &area, platform::FALSE);
}

runtime::ViewSurface* HostWindow::OpenSurface() {
  if (surface_ != nullptr) return nullptr;
  platform::RECT update{};
  const bool painting = window_ != nullptr && platform::GetUpdateRect(window_, &update, platform::FALSE) != 0;
  DrawTarget* target = CreateDrawTarget(painting);
  if (target == nullptr) return nullptr;
  surface_ = new (std::nothrow) WindowSurface(target);
  if (surface_ == nullptr) ReleaseDrawTarget(target);
  return surface_;
}

void HostWindow::CloseSurface(runtime::ViewSurface* surface) {
  if (surface == nullptr || surface != surface_) return;
  delete surface_;
  surface_ = nullptr;
}

void HostWindow::FinishPaint() {
  delete surface_;
  surface_ = nullptr;
  if (window_ != nullptr) platform::ValidateRect(window_, nullptr);
}

const char16_t* HostWindow::GetText() {
  for (int capacity = 200; capacity <= kMaxTextCapacity; capacity *= 2) {
    char16_t* buffer = text_.Resize(static_cast<uint32_t>(capacity));
    if (buffer == nullptr) break;
    const int copied = platform::GetWindowTextW(window_, buffer, capacity);
    text_.TrimToTerminator();
    if (copied < capacity - 1) break;
  }
  return text_.Chars();
}

void HostWindow::SelectAllIfEdit() {
  char16_t name[11] = {};
  platform::GetClassNameW(window_, name, 11);
  WString className;
  className.AssignCString(name);
  className.UpperAscii();
  if (!className.EqualsCString(u"EDIT")) return;
  platform::SendMessageW(window_, platform::EM_SETSEL, 0, -1);
  platform::SendMessageW(window_, platform::EM_SCROLLCARET, 0, 0);
}

void HostWindow::SetScrollBars(const ScrollBarsRecord& record) {
  const auto set = [this](int bar, int32_t start, int32_t end, int32_t total, bool hide) {
    platform::SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = platform::SIF_ALL;
    if (!hide) {
      info.nMax = total;
      info.nPage = static_cast<platform::UINT>(std::max<int64_t>(0, int64_t{end} - start));
      info.nPos = start;
    }
    platform::SetScrollInfo(window_, bar, &info, platform::TRUE);
  };
  set(platform::SB_HORZ, record.horizontalStart, record.horizontalEnd, record.horizontalTotal,
      record.hideHorizontal != 0);
  set(platform::SB_VERT, record.verticalStart, record.verticalEnd, record.verticalTotal, record.hideVertical != 0);
}

int32_t HostWindow::GetHScrollHeight() const { return platform::GetSystemMetrics(platform::SM_CYHSCROLL); }

int32_t HostWindow::GetVScrollWidth() const { return platform::GetSystemMetrics(platform::SM_CXVSCROLL); }

void HostWindow::Focus() { platform::SetFocus(window_); }

void HostWindow::SetFullScreen(bool on) {
  AppState& app = App();
  if (on && fullScreen_ == kFullScreenOff) {
    app.fullScreenWindow = window_;
    app.fullScreenMenuBar = platform::FindMenuBar(window_);
    fullScreen_ = kFullScreenOn;
  } else if (!on && fullScreen_ != kFullScreenOff) {
    if (app.fullScreenWindow == window_) {
      app.fullScreenWindow = nullptr;
      app.fullScreenMenuBar = nullptr;
    }
    fullScreen_ = kFullScreenOff;
  } else {
    return;
  }
  Relayout(false);
}

void HostWindow::SuspendFullScreen() {
  if (fullScreen_ != kFullScreenOn) return;
  fullScreen_ = kFullScreenSuspended;
  Relayout(false);
}

void HostWindow::ResumeFullScreen() {
  if (fullScreen_ != kFullScreenSuspended || App().modalCount != 0) return;
  fullScreen_ = kFullScreenOn;
  Relayout(false);
}

void HostWindow::SetActive(bool active) {
  if ((active_ != 0) == active) return;
  active_ = active ? 1 : 0;
  Relayout(!active);
}

void HostWindow::SetFullScreenMenuBar(platform::HWND bar) {
  if (App().fullScreenWindow != window_) return;
  App().fullScreenMenuBar = bar;
  Relayout(false);
}

void HostWindow::Relayout(bool force) {
  if (active_ == 0 && !force) return;
  const int screenWidth = platform::GetSystemMetrics(platform::SM_CXSCREEN);
  const int screenHeight = platform::GetSystemMetrics(platform::SM_CYSCREEN);
  const AppState& app = App();
  if (app.fullScreenWindow == window_) {
    const platform::HWND bar = app.fullScreenMenuBar;
    if (active_ != 0 && fullScreen_ == kFullScreenOn) {
      platform::SetFullScreenParts(window_, platform::HIDE_TASK_BAR | platform::HIDE_START_ICON);
      platform::MoveWindow(window_, 0, 0, screenWidth, screenHeight, platform::TRUE);
      if (bar != nullptr) {
        PlaceMenuBar(bar, screenHeight);
        // The soft keys still reach the window while their bar is hidden.
        OverrideSoftKeys(bar, kOverrideKey);
      }
    } else {
      if (bar != nullptr) {
        PlaceMenuBar(bar, screenHeight - HeightOf(bar));
        OverrideSoftKeys(bar, kRestoreKey);
      }
      platform::SetFullScreenParts(window_, platform::SHOW_TASK_BAR | platform::SHOW_START_ICON);
    }
    return;
  }
  const platform::HWND bar = platform::FindMenuBar(window_);
  if (bar != nullptr) {
    PlaceMenuBar(bar, screenHeight - HeightOf(bar));
    OverrideSoftKeys(bar, kRestoreKey);
  }
  platform::SetFullScreenParts(window_, platform::SHOW_TASK_BAR | platform::SHOW_START_ICON);
  const auto style = static_cast<platform::DWORD>(platform::GetWindowLongW(window_, platform::GWL_STYLE));
  if ((style & platform::WS_CHILD) != 0) return;
  // A top-level window fills the work area down to the input panel when it
  // is up, else down to its menu bar.
  platform::RECT work{};
  platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
  int bottom = work.bottom;
  platform::InputPanelInfo panel{};
  panel.cbSize = platform::kDeviceInputPanelInfoSize;
  if (platform::InputPanelInfoRequest(platform::SPI_GETSIPINFO, 0, &panel, 0) &&
      (panel.fdwFlags & platform::SIPF_ON) != 0) {
    bottom = panel.rcSipRect.top;
  } else if (bar != nullptr) {
    platform::RECT barRect{};
    platform::GetWindowRect(bar, &barRect);
    bottom = barRect.top;
  }
  platform::MoveWindow(window_, work.left, work.top, work.right - work.left, std::max(0, bottom - int{work.top}),
                       platform::TRUE);
}

void HostWindow::RegisterPopup(platform::HMENU menu, uint32_t id) {
  for (Popup& popup : popups_) {
    if (popup.menu == menu) {
      popup.id = id;
      return;
    }
  }
  // Out of memory the popup stays unregistered (its items then keep the
  // states they were built with); nothing is thrown into the viewer.
  try {
    popups_.push_back(Popup{menu, id});
  } catch (const std::bad_alloc&) {
  }
}

bool HostWindow::FindPopup(platform::HMENU menu, uint32_t* id) const {
  for (const Popup& popup : popups_) {
    if (popup.menu == menu) {
      *id = popup.id;
      return true;
    }
  }
  return false;
}

}  // namespace shell
