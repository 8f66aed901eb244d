#include "shell/WindowSurface.h"

#include "shell/OffscreenBitmap.h"

namespace shell {

WindowSurface::~WindowSurface() { delete target_; }

void WindowSurface::Fill(const runtime::HostRect& rect, uint8_t red, uint8_t green, uint8_t blue) {
  if (target_ == nullptr || rect.right <= rect.left || rect.bottom <= rect.top) return;
  target_->FillRect(rect, HostColor{red, green, blue});
}

bool WindowSurface::CopyBitmap(runtime::HostBitmap& bitmap, const runtime::HostRect& source,
                               const runtime::HostRect& destination) {
  const auto* offscreen = dynamic_cast<const OffscreenBitmap*>(&bitmap);
  if (target_ == nullptr || offscreen == nullptr) return false;
  // A plain copy is cheaper and exact; scaling only when the sizes differ.
  const bool sameSize = RectWidth(source) == RectWidth(destination) && RectHeight(source) == RectHeight(destination);
  return sameSize ? target_->BlitRect(*offscreen, source, destination) != 0
                  : target_->StretchBlit(*offscreen, source, destination) != 0;
}

}  // namespace shell
