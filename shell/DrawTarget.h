#pragma once
// A short-lived drawing surface on a window, for one painting step: the
// viewer copies bitmaps onto it and fills rectangles. It ends what it
// began (EndPaint or ReleaseDC) when destroyed.
#include "shell/DrawingTypes.h"
#include "shell/OffscreenBitmap.h"

namespace shell {

class DrawTarget {
 public:
  enum class Kind {
    kEmpty,   // a window without a handle, or a device context lent by WM_DRAWITEM
    kPaint,   // between BeginPaint and EndPaint
    kWindow,  // a GetDC device context
  };

  // The targets of a window: paint (BeginPaint), window (GetDC), or the
  // empty kind with a lent device context (null for none).
  static DrawTarget* OpenPaint(platform::HWND window);
  static DrawTarget* OpenWindow(platform::HWND window);
  static DrawTarget* OpenLent(platform::HDC dc);
  ~DrawTarget();

  DrawTarget(const DrawTarget&) = delete;
  DrawTarget& operator=(const DrawTarget&) = delete;

  // Copies the destination rectangle's size from the source rectangle's
  // top-left corner.
  platform::BOOL BlitRect(const OffscreenBitmap& source, const runtime::HostRect& sourceRect,
                          const runtime::HostRect& destination);
  platform::BOOL StretchBlit(const OffscreenBitmap& source, const runtime::HostRect& sourceRect,
                             const runtime::HostRect& destination);
  platform::BOOL FillRect(const runtime::HostRect& rect, HostColor color);

  Kind GetKind() const { return kind_; }
  platform::HDC DeviceContext() const { return dc_; }
  // The area BeginPaint asked to be painted (paint targets).
  const platform::RECT& PaintArea() const { return paint_.rcPaint; }

 private:
  explicit DrawTarget(Kind kind) : kind_(kind) {}

  Kind kind_;
  platform::HWND window_ = nullptr;
  platform::HDC dc_ = nullptr;
  platform::PAINTSTRUCT paint_{};
};

}  // namespace shell
