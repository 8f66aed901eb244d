#pragma once
// One cell of a tiling pattern: its geometry in pattern space, whether it
// is rendered once into a tile of device pixels and repeated, the tile
// buffer and the planes the cell is drawn into, the periodic continuation
// of the tile into its margins, and the sampler that repeats it.
#include <cstdint>

#include "raster/ImageSampler.h"
#include "raster/PixelTriple.h"
#include "runtime/Matrix.h"
#include "runtime/PixelBuffer.h"
#include "runtime/Rect.h"

namespace raster {

using runtime::Fixed;
using runtime::Matrix;
using runtime::Rect;

// The tile buffer as one plane of `channels` byte planes `channelStep`
// apart (planar), each pixel one byte after the previous.
struct TilePlane {
  uint8_t* data = nullptr;  // channel 0 of pixel (rect.x0, rect.y0)
  IntRect rect;
  int32_t channels = 1;
  int32_t channelStep = 0;
  int32_t rowStep = 0;

  uint8_t* At(int32_t x, int32_t y) const {
    return data + (static_cast<int64_t>(y) - rect.y0) * rowStep + (static_cast<int64_t>(x) - rect.x0);
  }
};

// The tiling painter's state for one pattern.
struct TilingPainter {
  TilingPainter(runtime::LibraryContext* context, runtime::ArenaAllocator& arena)
      : context(context), arena(arena), tileBuffer(context, &arena) {}

  runtime::LibraryContext* context;
  runtime::ArenaAllocator& arena;

  // ---- Set by the painter ----
  Fixed xStep = 0, yStep = 0;
  Rect bbox;
  Matrix patternMatrix;
  bool uncoloured = false;       // "PaintType" 2
  int32_t colourComponents = 0;  // n of a coloured pattern
  Fixed resolutionFactor = runtime::kFixedOne;
  IntRect fallbackRect;          // where the cell is drawn when no tile is used
  IntRect destinationRect;
  PixelTriple destinationPlanes;

  // ---- The cell ----
  Fixed xMagnitude = 0, yMagnitude = 0;
  int32_t xSign = 1, ySign = 1;
  Rect cell;
  Rect visible;
  Matrix cellMatrix;
  bool degenerate = false;
  // Shape planes, alpha planes, colour channels, bytes per tile pixel.
  int32_t plan[4] = {0, 0, 0, 0};

  // ---- The tile ----
  bool tileUsed = false;
  IntRect tileRect;
  Matrix tileMatrix;
  Matrix placementMatrix;
  Fixed repeatX = 0, repeatY = 0;
  runtime::PixelLayout tileLayout;
  IntRect bufferRect;
  runtime::PixelBuffer tileBuffer;
  TilePlane tilePlane;
  runtime::PixelBuffer* targetBuffer = nullptr;
  PixelTriple targetPlanes;
  ImageSampler* sampler = nullptr;
};

namespace PatternCell {
// Steps and their signs, the BBox (an empty one becomes the unit square),
// the cell and its visible part, the matrix; a singular matrix or nothing
// visible gives the unit cell with the identity, marked degenerate.
void SetUp(TilingPainter& painter);
// The channel plan: uncoloured {1, 0, 0, 1}, coloured {0, 1, n, n + 1}.
void ChannelPlan(TilingPainter& painter, int32_t n);
// Whether the cell is rendered once into a tile of W x H device pixels
// (at least 8, at most 0x7fff a side, at most about 12 million bytes) and
// repeated; sets the tile, placement matrix and repeat steps. (runtime, 2)
// when the tile matrix cannot be inverted.
void ChooseTileSize(TilingPainter& painter);
// The tile buffer (widened by the interpolation footprint) or the cell
// target over the destination, cleared.
void AllocateTileBuffer(TilingPainter& painter);
// The planes the cell is drawn into. A view that cannot be allocated
// raises (runtime, 0): a cell drawn with a plane missing would paint wrong
// pixels silently.
void BindTargetPlanes(TilingPainter& painter);
// After the cell is drawn into the tile: the margins filled with the
// periodic continuation, and the sampler that repeats the tile over the
// destination.
void FinishTile(TilingPainter& painter);
// Fills the margins of `buffer` around `tile` with the tile's periodic
// continuation at the 16.16 repeat steps.
void FillTileMargins(const TilePlane& plane, const IntRect& tile, const IntRect& buffer, Fixed repeatX,
                     Fixed repeatY);
}  // namespace PatternCell

}  // namespace raster
