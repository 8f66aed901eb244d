#include "shell/DrawingTypes.h"

#include "platform/Surface.h"

namespace shell {

int RectWidth(const runtime::HostRect& rect) {
  return platform::ClampToInt(int64_t{rect.right} - int64_t{rect.left});
}

int RectHeight(const runtime::HostRect& rect) {
  return platform::ClampToInt(int64_t{rect.bottom} - int64_t{rect.top});
}

platform::BOOL FillSolid(platform::HDC dc, const runtime::HostRect& rect, HostColor color) {
  const platform::HBRUSH brush = platform::CreateSolidBrush(BrushColor(color));
  if (brush == nullptr) return 0;
  const platform::RECT area = ToPlatformRect(rect);
  const int result = platform::FillRect(dc, &area, brush);
  platform::DeleteObject(brush);
  return result;
}

}  // namespace shell
