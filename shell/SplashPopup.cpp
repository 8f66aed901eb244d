#include "shell/SplashPopup.h"

#include <algorithm>
#include <new>

#include "platform/Device.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/HandheldShell.h"
#include "platform/Window.h"
#include "shell/AppImage.h"
#include "shell/AppState.h"
#include "shell/DialogTemplates.h"
#include "shell/Localization.h"

namespace shell {

namespace {

// Below this work-area height in dialog units the dialogs use their
// compact layouts (small Japanese Smartphone screens).
constexpr int kSmallWorkAreaUnits = 105;
constexpr int kMeasureUnits = 1000;

uint8_t* AllocateFromHeap(size_t bytes) { return new (std::nothrow) uint8_t[bytes]; }

SplashPopup::BufferAllocator& Allocator() {
  static SplashPopup::BufferAllocator allocate = &AllocateFromHeap;
  return allocate;
}

void InvalidateAll(platform::HWND window) {
  if (window != nullptr) platform::InvalidateRect(window, nullptr, 0);
}

}  // namespace

void SplashPopup::SetBufferAllocator(BufferAllocator allocate) {
  Allocator() = allocate != nullptr ? allocate : &AllocateFromHeap;
}

SplashPopup::SplashPopup() { App().splashShowing = 1; }

SplashPopup::~SplashPopup() {
  if (Window() != nullptr) platform::DestroyWindow(Window());
  App().splashShowing = 0;
}

bool SplashPopup::Show(uint32_t milliseconds, const char16_t* caption) {
  duration_ = milliseconds;
  SetTitle(caption);
  App().splashShowing = 1;
  if (CreateModelessDialog(*this) == nullptr) {
    // Nothing will ever paint or close it: the dialogs must not wait for it.
    App().splashShowing = 0;
    return false;
  }
  return true;
}

uint32_t SplashPopup::GetTemplateId() { return kSplashTemplate; }

intptr_t SplashPopup::OnInitDialog(platform::HWND window) {
  DialogBase::OnInitDialog(window);
  platform::SetForegroundWindow(window);
  platform::SetFullScreenParts(window, platform::HIDE_START_ICON);
  platform::MoveWindow(window, 0, 0, platform::GetSystemMetrics(platform::SM_CXSCREEN),
                       platform::GetSystemMetrics(platform::SM_CYSCREEN), 0);
  platform::SetWindowPos(window, platform::HWND_TOPMOST, 0, 0, 0, 0, platform::SWP_NOMOVE | platform::SWP_NOSIZE);
  // The work area in dialog units decides the compact layouts.
  platform::RECT work{};
  platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
  platform::RECT scale{0, 0, kMeasureUnits, kMeasureUnits};
  if (platform::MapDialogRect(window, &scale) && scale.bottom > 0) {
    const int64_t units = int64_t{work.bottom - work.top} * kMeasureUnits / scale.bottom;
    UpdateCompactLayout(units < kSmallWorkAreaUnits);
  }
  return 0;
}

void SplashPopup::OnDestroy() {
  if (timer_ != 0) platform::KillTimer(Window(), timer_);
  timer_ = 0;
  // However the window goes, the dialogs stop waiting for it.
  App().splashShowing = 0;
}

intptr_t SplashPopup::OnSize(platform::WPARAM, int, int) {
  InvalidateAll(Window());
  return 0;
}

void SplashPopup::OnSettingChange(platform::WPARAM wParam, platform::LPARAM) {
  if (wParam == platform::SPI_SETSIPINFO) InvalidateAll(Window());
}

intptr_t SplashPopup::OnPaint() {
  const platform::HWND window = Window();
  platform::PAINTSTRUCT paint{};
  const platform::HDC dc = platform::BeginPaint(window, &paint);
  // The picture goes where the system's bars, the input panel and the
  // menu bar leave room.
  platform::RECT area{};
  platform::GetClientRect(window, &area);
  platform::RECT work{};
  platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
  platform::POINT origin{0, 0};
  platform::ClientToScreen(window, &origin);
  area.top = std::max<int>(area.top, work.top - origin.y);
  area.bottom = std::min<int>(area.bottom, work.bottom - origin.y);
  if (GetPlatformType() == kPlatformPocketPc) {
    platform::InputPanelInfo panel{};
    panel.cbSize = platform::kDeviceInputPanelInfoSize;
    if (platform::InputPanelInfoRequest(platform::SPI_GETSIPINFO, 0, &panel, 0) &&
        (panel.fdwFlags & (platform::SIPF_ON | platform::SIPF_DOCKED)) == (platform::SIPF_ON | platform::SIPF_DOCKED)) {
      area.bottom = std::min<int>(area.bottom, panel.rcSipRect.top - origin.y);
    }
  }
  if (MenuBar() != nullptr) {
    platform::RECT bar{};
    platform::GetWindowRect(MenuBar(), &bar);
    area.bottom = std::min<int>(area.bottom, bar.top - origin.y);
  }
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  drawn_ = platform::RECT{};
  if (dc != nullptr && width > 0 && height > 0) {
    const int64_t stride = (int64_t{width} * 24 + 31) / 32 * 4;
    const int64_t bytes = stride * height;
    uint8_t* buffer = bytes <= INT32_MAX ? Allocator()(static_cast<size_t>(bytes)) : nullptr;
    if (buffer != nullptr) {
      // The picture's rows are stored bottom row first, as the positive
      // height below shows them.
      DrawSplashPicture(width, height, 1, 3, static_cast<int32_t>(stride), buffer, false);
      platform::BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = width;
      info.bmiHeader.biHeight = height;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 24;
      info.bmiHeader.biCompression = platform::BI_RGB;
      platform::SetDIBitsToDevice(dc, area.left, area.top, static_cast<platform::DWORD>(width),
                                  static_cast<platform::DWORD>(height), 0, 0, 0, static_cast<platform::UINT>(height),
                                  buffer, &info, platform::DIB_RGB_COLORS);
      delete[] buffer;
      drawn_ = area;
    }
  }
  platform::EndPaint(window, &paint);
  // The close timer starts with the first paint whatever the drawing did:
  // a splash that could not draw must still go away.
  if (firstPaint_ != 0) {
    firstPaint_ = 0;
    timer_ = platform::SetTimer(window, kCloseTimer, duration_, nullptr);
  }
  return 1;
}

void SplashPopup::OnTimer(platform::UINT_PTR id) {
  if (id != kCloseTimer) return;
  platform::KillTimer(Window(), id);
  timer_ = 0;
  platform::DestroyWindow(Window());
  App().splashShowing = 0;
}

}  // namespace shell
