#pragma once
// The painter's pattern colours: a fill or stroke whose colour is a
// pattern becomes the pattern's paint source. Tiling patterns draw their
// cells by playing the pattern's content into a cell device with a painter
// of their own; shading patterns paint through the shading rasterisers.
// A pattern that draws itself, directly or through other patterns, paints
// nothing inside itself.
#include <cstdint>

#include "raster/PipelineNode.h"

namespace content {

class Renderer;

class PatternPainter {
 public:
  // Patterns nested deeper than this inside pattern cells paint nothing.
  static constexpr uint32_t kMaxPatternNesting = 8;

  // The source of `renderer`'s fill (or stroke) pattern colour over `area`
  // of its layer; null when nothing is painted (after telling the paint
  // target (0, 3, 3) for a pattern that yields no paint).
  static raster::PipelineNode* Source(Renderer& renderer, bool stroke, const raster::IntRect& area);
};

}  // namespace content
