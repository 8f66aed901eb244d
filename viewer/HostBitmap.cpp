#include "viewer/HostBitmap.h"

#include <algorithm>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace viewer {

int32_t HostPixelBytes(int32_t kind) {
  switch (kind) {
    case runtime::kHostRgb565:
    case runtime::kHostRgb565Swapped:
      return 2;
    case runtime::kHostBgr24:
      return 3;
    case runtime::kHostBgrx32:
    case runtime::kHostXrgb32:
      return 4;
    default:
      return 0;
  }
}

HostBitmap::HostBitmap(runtime::LibraryContext* context, runtime::HostServices* host, int32_t width,
                       int32_t height)
    : width_(width), height_(height), host_(host), context_(context) {
  runtime::HostBitmap* made = nullptr;
  if (host != nullptr && width > 0 && height > 0) {
    runtime::RunOnMainStack(context, [&] { made = host->CreateBitmap(width, height); });
  }
  if (made == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
  handle_ = made;
}

HostBitmap::~HostBitmap() {
  // Giving a bitmap back draws nothing, and a bitmap is also given back
  // while an error unwinds a cooperative thread, where switching stacks is
  // unsafe: it goes back from the thread it is on.
  host_->DestroyBitmap(handle_);
}

void HostBitmap::Scroll(int32_t dx, int32_t dy) {
  runtime::HostBitmap* handle = handle_;
  runtime::RunOnMainStack(context_, [&] {
    if (handle->PrefersDeviceScroll()) {
      handle->Scroll(dx, dy);
      return;
    }
    const runtime::HostPixelLayout* layout = handle->Begin(0);
    if (layout != nullptr) MovePixels(*layout, dx, dy);
    handle->End();
  });
}

bool HostBitmap::StretchFrom(const HostBitmap& source, const runtime::HostRect& sourceRect,
                             const runtime::HostRect& destination) {
  bool done = false;
  runtime::HostBitmap* handle = handle_;
  runtime::RunOnMainStack(context_, [&] { done = handle->StretchFrom(*source.handle_, sourceRect, destination); });
  return done;
}

void HostBitmap::MovePixels(const runtime::HostPixelLayout& layout, int32_t dx, int32_t dy) {
  const int64_t bytes = HostPixelBytes(layout.kind);
  if (bytes == 0 || layout.firstRow == nullptr) return;
  const int64_t w = layout.width, h = layout.height;
  // The part that stays inside the bitmap after the move.
  const int64_t x0 = std::max<int64_t>(0, -int64_t{dx}), x1 = std::min<int64_t>(w, w - dx);
  const int64_t y0 = std::max<int64_t>(0, -int64_t{dy}), y1 = std::min<int64_t>(h, h - dy);
  if (x0 >= x1 || y0 >= y1) return;
  const size_t count = static_cast<size_t>((x1 - x0) * bytes);
  auto move = [&](int64_t y) {
    uint8_t* from = layout.firstRow + y * layout.rowStride + x0 * bytes;
    uint8_t* to = layout.firstRow + (y + dy) * layout.rowStride + (x0 + dx) * bytes;
    std::memmove(to, from, count);
  };
  if (dy > 0) {
    for (int64_t y = y1 - 1; y >= y0; --y) move(y);
  } else {
    for (int64_t y = y0; y < y1; ++y) move(y);
  }
}

}  // namespace viewer
