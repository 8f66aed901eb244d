#include "raster/HostRowWriter.h"

#include <algorithm>

namespace raster {

namespace {

// Three colour bytes, red at offset 2, in 4-byte pixels.
runtime::PixelFormatDesc BgrxRows() {
  runtime::PixelFormatDesc format;
  format.channelCount = 3;
  format.firstOffset = 2;
  format.channelStep = -1;
  format.columnStep = 4;
  return format;
}

int32_t BytesOfKind(int32_t kind) {
  if (kind == runtime::kHostRgb565 || kind == runtime::kHostRgb565Swapped) return 2;
  if (kind == runtime::kHostBgr24) return 3;
  return 4;
}

}  // namespace

HostRowWriter::HostRowWriter(runtime::ArenaAllocator& arena, int32_t kind) : kind_(kind) {
  const runtime::PixelFormatDesc format = BgrxRows();
  if (kind == runtime::kHostRgb565) {
    to565_ = OutputConverter565::Create(arena, format);
  } else if (kind == runtime::kHostRgb565Swapped) {
    to565_ = OutputConverter565::CreateSwapped(arena, format);
  } else {
    to888_ = HostSpanConverter::Create(arena, kind, format, false, false);
  }
}

void HostRowWriter::Write(const runtime::HostPixelLayout& layout, int32_t x, int32_t y, int32_t width,
                          int32_t count, const uint8_t* first, int64_t rowStep, int32_t phaseX,
                          int32_t phaseY) const {
  if (!Writes() || layout.kind != kind_ || layout.firstRow == nullptr) return;
  // The part of the rows inside the bitmap, in source coordinates.
  const int64_t i0 = std::max<int64_t>(0, -int64_t{x});
  const int64_t i1 = std::min<int64_t>(width, int64_t{layout.width} - x);
  const int64_t k0 = std::max<int64_t>(0, -int64_t{y});
  const int64_t k1 = std::min<int64_t>(count, int64_t{layout.height} - y);
  if (i0 >= i1 || k0 >= k1) return;
  const int64_t bytes = BytesOfKind(kind_);
  for (int64_t k = k0; k < k1; ++k) {
    const uint8_t* source = first + k * rowStep + i0 * 4;
    uint8_t* row = layout.firstRow + (y + k) * layout.rowStride;
    // The span is handed over from its first target pixel, whose dither
    // position is p0.
    const int32_t p0 = static_cast<int32_t>(phaseX + i0), p1 = static_cast<int32_t>(phaseX + i1);
    const int32_t py = static_cast<int32_t>(phaseY + k);
    uint8_t* at = row + (x + i0) * bytes;
    if (to565_ != nullptr) {
      to565_->ConvertSpan(p0, p1, py, source, p0, reinterpret_cast<uint16_t*>(at));
    } else {
      to888_->ConvertSpan(p0, p1, py, source, p0, at);
    }
  }
}

}  // namespace raster
