#include "shell/DrawTarget.h"

#include <new>

namespace shell {

DrawTarget* DrawTarget::OpenPaint(platform::HWND window) {
  if (window == nullptr) return OpenLent(nullptr);
  auto* target = new (std::nothrow) DrawTarget(Kind::kPaint);
  if (target == nullptr) return nullptr;
  target->window_ = window;
  target->dc_ = platform::BeginPaint(window, &target->paint_);
  return target;
}

DrawTarget* DrawTarget::OpenWindow(platform::HWND window) {
  if (window == nullptr) return OpenLent(nullptr);
  auto* target = new (std::nothrow) DrawTarget(Kind::kWindow);
  if (target == nullptr) return nullptr;
  target->window_ = window;
  target->dc_ = platform::GetDC(window);
  return target;
}

DrawTarget* DrawTarget::OpenLent(platform::HDC dc) {
  auto* target = new (std::nothrow) DrawTarget(Kind::kEmpty);
  if (target != nullptr) target->dc_ = dc;
  return target;
}

DrawTarget::~DrawTarget() {
  switch (kind_) {
    case Kind::kPaint: platform::EndPaint(window_, &paint_); break;
    case Kind::kWindow:
      if (dc_ != nullptr) platform::ReleaseDC(window_, dc_);
      break;
    case Kind::kEmpty: break;
  }
}

platform::BOOL DrawTarget::BlitRect(const OffscreenBitmap& source, const runtime::HostRect& sourceRect,
                                    const runtime::HostRect& destination) {
  if (dc_ == nullptr || source.IsEmpty()) return 0;
  return platform::BitBlt(dc_, destination.left, destination.top, RectWidth(destination), RectHeight(destination),
                          source.DeviceContext(), sourceRect.left, sourceRect.top, platform::SRCCOPY);
}

platform::BOOL DrawTarget::StretchBlit(const OffscreenBitmap& source, const runtime::HostRect& sourceRect,
                                       const runtime::HostRect& destination) {
  if (dc_ == nullptr || source.IsEmpty()) return 0;
  return platform::StretchBlt(dc_, destination.left, destination.top, RectWidth(destination), RectHeight(destination),
                              source.DeviceContext(), sourceRect.left, sourceRect.top, RectWidth(sourceRect),
                              RectHeight(sourceRect), platform::SRCCOPY);
}

platform::BOOL DrawTarget::FillRect(const runtime::HostRect& rect, HostColor color) {
  if (dc_ == nullptr) return 0;
  return FillSolid(dc_, rect, color);
}

}  // namespace shell
