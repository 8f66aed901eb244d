// Pattern colours: tiling and shading patterns as paint sources.
#include "content/Renderer.h"

namespace content {

raster::PipelineNode* Renderer::PatternSource(bool stroke, const raster::IntRect& area) {
  (void)stroke;
  (void)area;
  // Patterns are not painted yet: the pattern yields no paint.
  Notify(0, 3, 3);
  return nullptr;
}

}  // namespace content
