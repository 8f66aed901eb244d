#pragma once
// What the shell's drawing surfaces (off-screen bitmaps and window targets)
// share: colours as three bytes, rectangles as the viewer passes them, and
// the solid fill both surfaces offer.
#include <cstdint>

#include "platform/Gdi.h"
#include "runtime/HostServices.h"

namespace shell {

struct HostColor {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

// The brush colour of a HostColor: red + green x 256 + blue x 65536.
inline platform::COLORREF BrushColor(HostColor color) {
  return static_cast<platform::COLORREF>(color.red) | static_cast<platform::COLORREF>(color.green) << 8 |
         static_cast<platform::COLORREF>(color.blue) << 16;
}

inline platform::RECT ToPlatformRect(const runtime::HostRect& rect) {
  return platform::RECT{rect.left, rect.top, rect.right, rect.bottom};
}

// Width and height as GDI takes them, right - left and bottom - top, taken
// wide so that extreme rectangles clamp instead of overflowing.
int RectWidth(const runtime::HostRect& rect);
int RectHeight(const runtime::HostRect& rect);

// A solid fill of `rect` on `dc` (the brush is made and deleted here).
platform::BOOL FillSolid(platform::HDC dc, const runtime::HostRect& rect, HostColor color);

}  // namespace shell
