#pragma once
// Region writers: the walk that puts a pipeline's result into a host
// bitmap. Row by row over a band region, span by span over the region's
// non-zero spans, it pulls runs from the compositing source and hands each
// run to the span converter of the output variant the source produced.
//
// Coordinates: the region and the clip are in bitmap pixels; bitmap pixel
// (x, y) shows the node's pixel (x − offset x, y − offset y). The 2×2
// dither follows bitmap coordinates, so a scrolled picture keeps its
// pattern.
#include <cstdint>

#include "runtime/HostBitmap.h"
#include "raster/PipelineNode.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Rect.h"
#include "runtime/Region.h"

namespace raster {

struct RegionWrite {
  const runtime::Region* region = nullptr;  // which bitmap pixels may change
  int32_t offsetX = 0, offsetY = 0;         // bitmap pixel minus node pixel
  PipelineNode* source = nullptr;
  IntRect clip;                              // bitmap pixels, within the bitmap
  uint8_t* firstRow = nullptr;               // bitmap row 0
  int64_t rowStride = 0;
};

struct RegionWriter565 {
  static void Write(runtime::ArenaAllocator& arena, const RegionWrite& write);
  static void WriteSwapped(runtime::ArenaAllocator& arena, const RegionWrite& write);
  static void WriteXor(runtime::ArenaAllocator& arena, const RegionWrite& write);
  static void WriteXorSwapped(runtime::ArenaAllocator& arena, const RegionWrite& write);
};

// The 24-bit and 32-bit writers, storing (kinds 3 to 5) or combining by
// exclusive or.
struct RegionRowWriter {
  static void Write24(runtime::ArenaAllocator& arena, const RegionWrite& write);
  static void Write32BGRX(runtime::ArenaAllocator& arena, const RegionWrite& write);
  static void Write32XRGB(runtime::ArenaAllocator& arena, const RegionWrite& write);
  static void WriteXor(runtime::ArenaAllocator& arena, int32_t kind, const RegionWrite& write);
};

}  // namespace raster
