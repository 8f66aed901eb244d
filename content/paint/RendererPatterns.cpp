// Pattern colours: tiling and shading patterns as paint sources.
#include "content/PatternPainter.h"
#include "content/Renderer.h"

namespace content {

raster::PipelineNode* Renderer::PatternSource(bool stroke, const raster::IntRect& area) {
  return PatternPainter::Source(*this, stroke, area);
}

}  // namespace content
