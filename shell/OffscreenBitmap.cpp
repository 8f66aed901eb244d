#include "shell/OffscreenBitmap.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace shell {

namespace {

struct ScreenFormat {
  uint32_t format;
  int bytesPerPixel;
};

ScreenFormat FormatOfScreen() {
  const platform::HDC screen = platform::GetDC(nullptr);
  const int depth = platform::GetDeviceCaps(screen, platform::BITSPIXEL);
  platform::ReleaseDC(nullptr, screen);
  if (depth == 24) return {kFormatBgr24, 3};
  if (depth == 32) return {kFormatBgrx32, 4};
  // Every other depth is drawn as 16 bits.
  return {kFormatRgb565, 2};
}

int32_t LayoutKindOf(uint32_t format) {
  switch (format) {
    case kFormatRgb565: return runtime::kHostRgb565;
    case kFormatBgr24: return runtime::kHostBgr24;
    case kFormatBgrx32: return runtime::kHostBgrx32;
    default: return 0;
  }
}

}  // namespace

OffscreenBitmap* OffscreenBitmap::Create(int32_t width, int32_t height) {
  auto* bitmap = new (std::nothrow) OffscreenBitmap();
  if (bitmap == nullptr) return nullptr;
  bitmap->dc_ = platform::CreateCompatibleDC(nullptr);
  if (bitmap->dc_ == nullptr) {
    delete bitmap;
    return nullptr;
  }
  const ScreenFormat screen = FormatOfScreen();
  bitmap->info_.format = screen.format;
  bitmap->layout_.kind = LayoutKindOf(screen.format);
  if (width < 1 || height < 1) return bitmap;  // empty: 0 x 0, no pixels

  // Rows are 4-byte aligned. The sizes are checked before they are used:
  // the platform refuses a DIB section whose rows or image do not fit.
  const int64_t stride = (int64_t{width} * screen.bytesPerPixel + 3) / 4 * 4;
  if (stride > INT32_MAX) {
    delete bitmap;
    return nullptr;
  }
  platform::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(platform::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<platform::WORD>(screen.bytesPerPixel * 8);
  info.bmiHeader.biCompression = platform::BI_RGB;
  if (screen.format == kFormatRgb565) {
    info.bmiHeader.biCompression = platform::BI_BITFIELDS;
    const platform::DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    static_assert(sizeof masks == sizeof info.bmiColors);
    std::memcpy(info.bmiColors, masks, sizeof masks);
  }
  const int64_t imageSize = stride * height;
  info.bmiHeader.biSizeImage = imageSize <= UINT32_MAX ? static_cast<platform::DWORD>(imageSize) : 0;
  void* bits = nullptr;
  bitmap->bitmap_ = platform::CreateDIBSection(bitmap->dc_, &info, platform::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap->bitmap_ == nullptr || bits == nullptr) {
    delete bitmap;
    return nullptr;
  }
  bitmap->previous_ = platform::SelectObject(bitmap->dc_, bitmap->bitmap_);
  bitmap->info_.bits = static_cast<uint8_t*>(bits);
  bitmap->info_.width = width;
  bitmap->info_.height = height;
  bitmap->info_.stride = static_cast<int32_t>(stride);
  bitmap->layout_.width = width;
  bitmap->layout_.height = height;
  bitmap->layout_.firstRow = bitmap->info_.bits;
  bitmap->layout_.rowStride = stride;
  return bitmap;
}

OffscreenBitmap::~OffscreenBitmap() {
  if (dc_ != nullptr) {
    if (previous_ != nullptr) platform::SelectObject(dc_, previous_);
    platform::DeleteDC(dc_);
  }
  if (bitmap_ != nullptr) platform::DeleteObject(bitmap_);
}

const runtime::HostPixelLayout* OffscreenBitmap::Begin(uintptr_t) {
  Lock();
  return &layout_;
}

void OffscreenBitmap::End() { Unlock(); }

const runtime::HostPixelLayout* OffscreenBitmap::Layout() { return &layout_; }

platform::BOOL OffscreenBitmap::StretchFrom(const OffscreenBitmap& source, const runtime::HostRect& sourceRect,
                                            const runtime::HostRect& destination) {
  if (IsEmpty() || source.IsEmpty()) return 0;
  return platform::StretchBlt(dc_, destination.left, destination.top, RectWidth(destination), RectHeight(destination),
                              source.dc_, sourceRect.left, sourceRect.top, RectWidth(sourceRect),
                              RectHeight(sourceRect), platform::SRCCOPY);
}

platform::BOOL OffscreenBitmap::BlitFrom(const OffscreenBitmap& source, int32_t sourceX, int32_t sourceY,
                                         const runtime::HostRect& destination) {
  if (IsEmpty() || source.IsEmpty()) return 0;
  return platform::BitBlt(dc_, destination.left, destination.top, RectWidth(destination), RectHeight(destination),
                          source.dc_, sourceX, sourceY, platform::SRCCOPY);
}

platform::BOOL OffscreenBitmap::FillRect(const runtime::HostRect& rect, HostColor color) {
  if (IsEmpty()) return 0;
  return FillSolid(dc_, rect, color);
}

bool OffscreenBitmap::StretchFrom(runtime::HostBitmap& source, const runtime::HostRect& sourceRect,
                                  const runtime::HostRect& destination) {
  const auto* bitmap = dynamic_cast<const OffscreenBitmap*>(&source);
  return bitmap != nullptr && StretchFrom(*bitmap, sourceRect, destination) != 0;
}

bool OffscreenBitmap::BlitFrom(runtime::HostBitmap& source, int32_t sourceX, int32_t sourceY,
                               const runtime::HostRect& destination) {
  const auto* bitmap = dynamic_cast<const OffscreenBitmap*>(&source);
  return bitmap != nullptr && BlitFrom(*bitmap, sourceX, sourceY, destination) != 0;
}

bool OffscreenBitmap::FillRect(const runtime::HostRect& rect, uint8_t red, uint8_t green, uint8_t blue) {
  return FillRect(rect, HostColor{red, green, blue}) != 0;
}

void OffscreenBitmap::Scroll(int32_t dx, int32_t dy) {
  if (IsEmpty()) return;
  const platform::RECT whole{0, 0, info_.width, info_.height};
  if (dx != 0) platform::ScrollDC(dc_, dx, 0, &whole, &whole, nullptr, nullptr);
  if (dy != 0) platform::ScrollDC(dc_, 0, dy, &whole, &whole, nullptr, nullptr);
}

}  // namespace shell
