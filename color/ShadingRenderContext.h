#pragma once
// What a shading is painted into: the raster target (its context, the
// pipeline arena the rasteriser lives in, its colour space and rendering
// intent, and the colour context that resolves the shading's space), the
// device region and the shading-to-device matrix.
#include <cstdint>

#include "color/ColorSpace.h"
#include "raster/ShadingSource.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Matrix.h"

namespace color {

class ColorContext;
struct ShadingDict;

struct ShadingTarget {
  runtime::LibraryContext* context = nullptr;
  runtime::ArenaAllocator* arena = nullptr;  // the rasteriser and its stage live here
  ColorContext* colors = nullptr;
  ColorSpaceRef space;  // the raster target's colour space
  int32_t intent = 1;   // relative colorimetric
};

struct ShadingRenderContext {
  ShadingTarget target;
  runtime::IntRect region;
  runtime::Matrix ctm;
  uint32_t targetWord = 0;
  uint8_t flags = 0;

  // The raster side of the request for a shading of `dict`: the target's
  // component count, the BBox and the background converted to target bytes.
  raster::ShadingSetup Setup(const ShadingDict& dict) const;
};

}  // namespace color
