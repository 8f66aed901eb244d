#pragma once
// Smooth shadings as paint sources. Shading::Create reads a shading
// dictionary (or mesh stream), builds the rasteriser of its type and hands
// out the pipeline stage that paints it over the region, for the "sh"
// operator and for shading patterns alike.
#include <cstdint>

#include "color/ShadingRenderContext.h"
#include "raster/PipelineNode.h"
#include "runtime/ObjectHandle.h"

namespace color {

struct Shading {
  // The stage that paints `shading` over `region` with `ctm` mapping
  // shading space to device space, or null when it paints nothing (no
  // colour space, an uninvertible matrix, an axis without length, an
  // indexed target for a mesh in an Indexed space). "sh" passes
  // `ignoreBackground`; a shading pattern does not. (runtime, 2) for a
  // ShadingType outside 1..7 or a malformed entry; mesh data that is cut
  // short or inconsistent is (runtime, 2) too.
  static raster::PipelineNode* Create(const ShadingTarget& target, const runtime::IntRect& region,
                                      const runtime::Matrix& ctm, uint32_t targetWord, bool ignoreBackground,
                                      const runtime::ObjectHandle& resources, const runtime::ObjectHandle& shading);
};

}  // namespace color
