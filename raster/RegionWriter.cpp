#include "raster/RegionWriter.h"

#include <algorithm>

#include "raster/HostSpanConverter.h"
#include "raster/OutputConverter565.h"
#include "runtime/ArenaScope.h"
#include "runtime/ArenaVector.h"

namespace raster {

namespace {

// `r` moved by (dx, dy), each side kept within the 32-bit range.
IntRect ShiftedBounds(const IntRect& r, int32_t dx, int32_t dy) {
  auto move = [](int32_t v, int32_t d) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} + d, INT32_MIN, INT32_MAX));
  };
  return {move(r.x0, dx), move(r.y0, dy), move(r.x1, dx), move(r.y1, dy)};
}

// The walk shared by every writer. `Converter` has ConvertSpan(x0, x1, y,
// source, origin, row) with the row as `Pixel*`; `make` builds one per
// output variant from its colour plane (null for a variant without one).
template <class Converter, class Pixel, class Make>
void WalkRegion(runtime::ArenaAllocator& arena, const RegionWrite& write, Make make) {
  PipelineNode* node = write.source;
  if (node == nullptr || write.region == nullptr) return;
  runtime::ArenaScope scope(arena);
  runtime::ArenaVector<const Converter*> converters(arena, node->variantCount);
  for (uint32_t v = 0; v < node->variantCount; ++v) converters.PushBack(make(node->variants[v].colour));

  // Only bitmap pixels whose node pixel the node can produce are written:
  // a node over a device never reads past the device's planes.
  const IntRect& regionBounds = write.region->Bounds();
  const IntRect bounds =
      IntersectBounds(IntersectBounds(regionBounds, write.clip), ShiftedBounds(node->bounds, write.offsetX, write.offsetY));
  if (bounds.y0 >= bounds.y1 || bounds.x0 >= bounds.x1) return;

  RowCollector collector(arena);
  const bool collect = node->collector == nullptr;
  if (collect) PipelineNode::Register(node, collector);
  collector.BeginRow(bounds.y0 - write.offsetY);
  uint8_t* row = write.firstRow + static_cast<int64_t>(bounds.y0) * write.rowStride;
  for (int32_t y = bounds.y0; y < bounds.y1; ++y) {
    if (y != bounds.y0) {
      collector.NextRow();
      row += write.rowStride;
    }
    runtime::RegionBand band;
    if (!write.region->FindBand(y, band)) continue;
    int32_t x = bounds.x0;
    while (x < bounds.x1) {
      const runtime::RegionSpan* span = band.FindSpan(x);
      const int32_t spanEnd = std::min(band.NextBoundary(x), bounds.x1);
      if (span == nullptr || span->value == 0) {
        x = spanEnd;
        continue;
      }
      while (x < spanEnd) {
        const int32_t nodeX = x - write.offsetX;
        const int32_t reached = node->RunSpan(nodeX, spanEnd - write.offsetX);
        if (reached <= nodeX) break;  // a node that makes no progress ends the span
        const int32_t runEnd = reached + write.offsetX;
        const Converter* converter = converters[node->currentVariant];
        const PixelPlane* plane = node->variants[node->currentVariant].colour;
        if (converter != nullptr && plane != nullptr) {
          const uint8_t* pixels = plane->row + (static_cast<int64_t>(nodeX) - plane->rect.x0) * plane->format.columnStep;
          converter->ConvertSpan(x, runEnd, y, pixels, 0, reinterpret_cast<Pixel*>(row));
        }
        x = runEnd;
      }
      x = std::max(x, spanEnd);
    }
  }
  if (collect) PipelineNode::Release(node, collector);
}

template <OutputConverter565* (*choose)(runtime::ArenaAllocator&, const PixelFormatDesc&)>
void Write565(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  WalkRegion<OutputConverter565, uint16_t>(arena, write, [&](const PixelPlane* plane) -> const OutputConverter565* {
    return plane == nullptr ? nullptr : choose(arena, plane->format);
  });
}

template <OutputConverter565* (*choose)(runtime::ArenaAllocator&, const PixelFormatDesc&, bool)>
void WriteXor565(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  WalkRegion<OutputConverter565, uint16_t>(arena, write, [&](const PixelPlane* plane) -> const OutputConverter565* {
    return plane == nullptr ? nullptr : choose(arena, plane->format, plane->IsZeroConstant());
  });
}

void Write888(runtime::ArenaAllocator& arena, int32_t kind, bool exclusiveOr, const RegionWrite& write) {
  WalkRegion<HostSpanConverter, uint8_t>(arena, write, [&](const PixelPlane* plane) -> const HostSpanConverter* {
    if (plane == nullptr) return nullptr;
    return HostSpanConverter::Create(arena, kind, plane->format, exclusiveOr, plane->IsZeroConstant());
  });
}

}  // namespace

void RegionWriter565::Write(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  Write565<&OutputConverter565::Create>(arena, write);
}
void RegionWriter565::WriteSwapped(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  Write565<&OutputConverter565::CreateSwapped>(arena, write);
}
void RegionWriter565::WriteXor(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  WriteXor565<&OutputConverter565::CreateXor>(arena, write);
}
void RegionWriter565::WriteXorSwapped(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  WriteXor565<&OutputConverter565::CreateXorSwapped>(arena, write);
}

void RegionRowWriter::Write24(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  Write888(arena, runtime::kHostBgr24, false, write);
}
void RegionRowWriter::Write32BGRX(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  Write888(arena, runtime::kHostBgrx32, false, write);
}
void RegionRowWriter::Write32XRGB(runtime::ArenaAllocator& arena, const RegionWrite& write) {
  Write888(arena, runtime::kHostXrgb32, false, write);
}
void RegionRowWriter::WriteXor(runtime::ArenaAllocator& arena, int32_t kind, const RegionWrite& write) {
  Write888(arena, kind, true, write);
}

}  // namespace raster
