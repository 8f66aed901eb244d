#pragma once
// The builders of mesh shadings (types 4 to 7): the stream input and the
// decoder of the type, the colour conversion at the vertices for Indexed
// spaces, and the rasteriser that paints the whole mesh.
#include <cstdint>

#include "color/ShadingDict.h"
#include "color/ShadingRenderContext.h"
#include "raster/PipelineNode.h"
#include "runtime/ObjectHandle.h"

namespace color {

struct MeshShadings {
  // The stage painting the mesh of `type` (4 to 7), or null when it paints
  // nothing (an Indexed shading space over an Indexed target).
  static raster::PipelineNode* Build(const ShadingRenderContext& render, const ShadingDict& dict, int32_t type,
                                     const runtime::ObjectHandle& shading);
};

}  // namespace color
