#pragma once
// The paint source of a tiling pattern for one fill: the cells that meet
// the painted area are drawn, through a caller's drawing operation, into a
// cell buffer, and the buffer's pixels become the source the fill
// composites. A cell small enough for a tile is drawn once and repeated by
// a sampler, so a tiny cell over a large area costs one cell and one pass
// over the area; a larger cell is drawn once per cell over the area itself,
// at most TilingPattern::kMaxCells times.
#include <cstdint>

#include "content/TilingPattern.h"
#include "raster/PipelineNode.h"
#include "raster/PixelTriple.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Matrix.h"

namespace raster {

// Where one cell is drawn: the planes (shape for an uncoloured pattern,
// alpha and colour for a coloured one), the pixels to draw within and the
// matrix from pattern space to those pixels.
struct TilingCellTarget {
  PixelTriple planes;
  IntRect clip;
  runtime::Matrix matrix;
  bool uncoloured = false;
  int32_t components = 0;
  // Set on one last call after the cells, with no cell to draw: a drawing
  // that paints into a device of its own copies it into the planes then.
  bool finish = false;
};

// Draws the pattern's content into `target` (the painter plays the
// pattern's content stream; tests paint known shapes), or finishes the
// planes.
using DrawTilingCell = void (*)(void* user, const TilingCellTarget& target);

struct TilingPatternPaint {
  // The source over the area: the shape of an uncoloured pattern, the
  // alpha and colour of a coloured one. Null when nothing is painted.
  PipelineNode* source = nullptr;
  // Cells drawn, and whether one tile was drawn and repeated.
  uint32_t cellsDrawn = 0;
  bool tiled = false;
  // False when cells were left out at the cell limit.
  bool complete = true;
};

class TilingPatternSource {
 public:
  // `area` is the device pixels the fill can touch, already cut to the
  // device; `components` the colour components of a coloured pattern's
  // cells. An empty area, an empty cell box or a singular matrix paints
  // nothing. Errors of the drawing operation pass on.
  static TilingPatternPaint Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                   const content::TilingPattern& pattern, const IntRect& area, int32_t components,
                                   DrawTilingCell draw, void* user);
};

}  // namespace raster
