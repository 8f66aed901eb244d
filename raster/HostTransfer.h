#pragma once
// Transfers of a pipeline's result into a host bitmap: by store, for
// pictures and colour fills, and by exclusive or, for marks that a second
// drawing removes again. The writer follows the bitmap's pixel kind.
#include <cstdint>

#include "runtime/HostBitmap.h"
#include "raster/PipelineNode.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Fixed.h"
#include "runtime/Region.h"

namespace raster {

struct HostTransfer {
  // Writes `node` over the non-zero spans of `region` (bitmap pixels, cut to
  // the bitmap); bitmap pixel (x, y) takes the node's (x − offsetX,
  // y − offsetY). A kind outside 1 to 5 writes nothing.
  static void PaintNode(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const runtime::Region& region,
                        int32_t offsetX, int32_t offsetY, PipelineNode* node, uintptr_t argument = 0);
  static void PaintNodeXor(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const runtime::Region& region,
                           int32_t offsetX, int32_t offsetY, PipelineNode* node, uintptr_t argument = 0);
  // One colour (16.16 components) over `rect` within `region`.
  static void FillColour(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const runtime::Region& region,
                         const IntRect& rect, runtime::Fixed c1, runtime::Fixed c2, runtime::Fixed c3);
  // `rect`, cut to the bitmap, painted white.
  static void FillWhite(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, const IntRect& rect);
};

}  // namespace raster
