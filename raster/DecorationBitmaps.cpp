#include <algorithm>

#include "raster/HostTransfer.h"
#include "raster/Overlay.h"
#include "runtime/ArenaObject.h"
#include "runtime/ArenaScope.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HostServices.h"

namespace raster {

namespace {

// The sizes of the two metric sets: the page-turn mark, the shadow's corner
// and, 7/6 of that, its edge.
constexpr int32_t kMarkSize[2] = {38, 76};
constexpr int32_t kCornerSize[2] = {23, 45};
constexpr int32_t kHighDpi = 162;  // midway between the 108 and 216 dpi levels

Fixed DecorationGrey(int32_t level) { return level * 257 + (level >= 128 ? 1 : 0); }

// A soft vertical shade from white down to a light grey: the page shadow.
void PaintShade(runtime::HostBitmap& bitmap, runtime::ArenaAllocator& arena, int32_t size) {
  runtime::Region whole(arena.Context());
  whole.FromRect({0, 0, size, size});
  for (int32_t y = 0; y < size; ++y) {
    const Fixed level = DecorationGrey(255 - (96 * y) / std::max(size - 1, 1));
    HostTransfer::FillColour(bitmap, arena, whole, {0, y, size, y + 1}, level, level, level);
  }
}

// The corner's mask: the triangle below its diagonal shows the shadow.
void PaintCornerMask(runtime::HostBitmap& mask, runtime::ArenaAllocator& arena, int32_t size) {
  runtime::Region whole(arena.Context());
  whole.FromRect({0, 0, size, size});
  HostTransfer::FillColour(mask, arena, whole, {0, 0, size, size}, 0, 0, 0);
  for (int32_t y = 0; y < size; ++y)
    HostTransfer::FillColour(mask, arena, whole, {0, y, std::min(y + 1, size), y + 1}, runtime::kFixedOne,
                             runtime::kFixedOne, runtime::kFixedOne);
}

}  // namespace

DpiMetrics DpiMetrics::ForDpi(int32_t dpi) {
  DpiMetrics m;
  m.set = dpi >= kHighDpi ? 1 : 0;
  m.sizes[0] = kMarkSize[m.set];
  m.sizes[1] = kCornerSize[m.set];
  m.sizes[2] = kCornerSize[m.set] * 7 / 6;
  return m;
}

DpiMetrics DpiMetrics::Select(runtime::HostServices& host) { return ForDpi(host.GetScreenDpi()); }

void DecorationBitmaps::Release() {
  if (host_ == nullptr) return;
  for (int i = 0; i < kCount; ++i) {
    if (bitmaps[i] != nullptr) host_->DestroyBitmap(bitmaps[i]);
    if (masks[i] != nullptr) host_->DestroyBitmap(masks[i]);
    bitmaps[i] = masks[i] = nullptr;
  }
}

DecorationBitmaps* DecorationBitmaps::Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                             runtime::HostServices& host) {
  auto* decorations = runtime::NewInArena<DecorationBitmaps>(arena);
  decorations->host_ = &host;
  decorations->metrics = DpiMetrics::Select(host);
  // Sizes: the page-turn mark, the shadow's corner (with its mask) and edge.
  const int32_t sizes[kCount] = {decorations->metrics.sizes[0], decorations->metrics.sizes[1],
                                 decorations->metrics.sizes[2]};
  for (int i = 0; i < kCount; ++i) {
    decorations->bitmaps[i] = host.CreateBitmap(sizes[i], sizes[i]);
    if (i == 1 && decorations->bitmaps[i] != nullptr) decorations->masks[i] = host.CreateBitmap(sizes[i], sizes[i]);
    if (decorations->bitmaps[i] == nullptr || (i == 1 && decorations->masks[i] == nullptr)) {
      decorations->Release();
      runtime::ThrowError(context, runtime::ErrorRecord{runtime::kRuntimeDomain, runtime::kOverflow, 0});
    }
    runtime::ArenaScope scope(arena);
    PaintShade(*decorations->bitmaps[i], arena, sizes[i]);
    if (decorations->masks[i] != nullptr) PaintCornerMask(*decorations->masks[i], arena, sizes[i]);
  }
  return decorations;
}

}  // namespace raster
