#pragma once
// Triangle-mesh shadings (types 4 and 5): the whole mesh is decoded and
// painted with Gouraud triangles while the rasteriser is built; the
// pipeline then reads the finished planes.
#include <cstdint>

#include "color/GouraudTriangle.h"
#include "color/ShadingColour.h"
#include "color/TriangleMeshDecoders.h"
#include "raster/ShadingSource.h"

namespace color {

class TriangleMeshShading final : public raster::MeshShadingSource {
 public:
  TriangleMeshShading(const ShadingRenderContext& render, const ShadingDict& dict, int32_t values);
  // Decodes and paints the whole mesh, once the rasteriser is built.
  // (runtime, 2) for a triangle cut short, a first vertex that reuses
  // vertices no triangle has set, or an edge flag other than 0, 1 and 2.
  void Paint(TriangleDecoder& decoder);

  uint64_t Triangles() const { return fill_.Count(); }

 private:
  void PaintTriangle(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c);

  ShadingDict dict_;
  ShadingColour colour_;
  GouraudTriangle fill_;
  int32_t values_;
};

}  // namespace color
