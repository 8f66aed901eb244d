#pragma once
// The host bitmap behind HostServices::CreateBitmap: a memory device context
// holding a top-down DIB section in the screen's pixel format, into which
// the library renders pages and from which windows are painted.
#include <cstdint>

#include "runtime/HostBitmap.h"
#include "shell/DrawingTypes.h"

namespace shell {

// Pixel formats of an off-screen bitmap (the screen's depth decides).
inline constexpr uint32_t kFormatRgb565 = 1;
inline constexpr uint32_t kFormatBgr24 = 3;
inline constexpr uint32_t kFormatBgrx32 = 4;

struct PixelInfo {
  uint32_t format = 0;
  uint8_t* bits = nullptr;  // first byte of the top row; null when empty
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;  // bytes per row, a multiple of 4
};

class OffscreenBitmap final : public runtime::HostBitmap {
 public:
  // A bitmap of the given size, or null when its device context or its
  // pixels could not be made. A width or height below 1 gives an empty
  // bitmap: it reports 0 x 0, holds no pixels, and drawing into it does
  // nothing.
  static OffscreenBitmap* Create(int32_t width, int32_t height);
  ~OffscreenBitmap();

  OffscreenBitmap(const OffscreenBitmap&) = delete;
  OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;

  // The library's view of the pixels.
  const runtime::HostPixelLayout* Begin(uintptr_t argument) override;
  void End() override;
  const runtime::HostPixelLayout* Layout() override;

  // The pixels stay where they are: locking has nothing to do.
  void Lock() {}
  void Unlock() {}
  const PixelInfo* GetPixelInfo() const { return &info_; }
  // Scales the source rectangle of `source` onto the destination rectangle.
  platform::BOOL StretchFrom(const OffscreenBitmap& source, const runtime::HostRect& sourceRect,
                             const runtime::HostRect& destination);
  // Copies the destination rectangle's size from `sourceX`, `sourceY`.
  platform::BOOL BlitFrom(const OffscreenBitmap& source, int32_t sourceX, int32_t sourceY,
                          const runtime::HostRect& destination);
  platform::BOOL FillRect(const runtime::HostRect& rect, HostColor color);
  // Moving the pixels through the device is always preferred.
  bool PrefersDeviceScroll() override { return true; }
  // Moves the contents by (dx, dy); uncovered areas keep stale pixels.
  void Scroll(int32_t dx, int32_t dy) override;

  // The same drawing as the library reaches it; a source that is not an
  // off-screen bitmap is refused.
  bool StretchFrom(runtime::HostBitmap& source, const runtime::HostRect& sourceRect,
                   const runtime::HostRect& destination) override;
  bool BlitFrom(runtime::HostBitmap& source, int32_t sourceX, int32_t sourceY,
                const runtime::HostRect& destination) override;
  bool FillRect(const runtime::HostRect& rect, uint8_t red, uint8_t green, uint8_t blue) override;

  platform::HDC DeviceContext() const { return dc_; }
  bool IsEmpty() const { return bitmap_ == nullptr; }

 private:
  OffscreenBitmap() = default;

  platform::HDC dc_ = nullptr;
  platform::HBITMAP bitmap_ = nullptr;
  platform::HGDIOBJ previous_ = nullptr;
  PixelInfo info_;
  runtime::HostPixelLayout layout_;
};

}  // namespace shell
