#include "raster/TilingPatternSource.h"

#include "raster/ConstantSources.h"
#include "raster/PlaneSource.h"
#include "raster/TilingCell.h"
#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

// What the cell visitor needs to draw one cell over the area.
struct CellDrawing {
  TilingCellTarget target;
  DrawTilingCell draw;
  void* user;
};

void DrawOneCell(void* user, int32_t, int32_t, const runtime::Matrix& cellMatrix) {
  auto* drawing = static_cast<CellDrawing*>(user);
  drawing->target.matrix = cellMatrix;
  drawing->draw(drawing->user, drawing->target);
}

PixelPlane* ViewOf(runtime::ArenaAllocator& arena, const runtime::PlaneView& view) {
  if (!view.IsPresent()) return nullptr;
  PixelPlane* plane = runtime::NewInArena<PixelPlane>(arena);
  *plane = PixelPlane::FromView(view);
  return plane;
}

}  // namespace

TilingPatternPaint TilingPatternSource::Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                               const content::TilingPattern& pattern, const IntRect& area,
                                               int32_t components, DrawTilingCell draw, void* user) {
  TilingPatternPaint paint;
  if (area.IsEmpty() || pattern.PaintsNothing()) return paint;
  if (!pattern.uncoloured && (components < 1 || components > static_cast<int32_t>(kMaxComponents))) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  auto* painter = runtime::NewInArena<TilingPainter>(arena, context, arena);
  painter->xStep = pattern.xStep;
  painter->yStep = pattern.yStep;
  painter->bbox = pattern.bbox;
  painter->patternMatrix = pattern.matrix;
  painter->uncoloured = pattern.uncoloured;
  painter->colourComponents = pattern.uncoloured ? 0 : components;
  painter->destinationRect = area;
  painter->fallbackRect = area;
  PatternCell::SetUp(*painter);
  if (painter->degenerate) return paint;
  PatternCell::ChannelPlan(*painter, painter->colourComponents);
  PatternCell::ChooseTileSize(*painter);
  if (painter->degenerate) return paint;
  // A tile is never larger than the area it paints: a cell bigger than the
  // area is drawn over the area itself, so memory stays bounded by the
  // device whatever the pattern's size.
  const int64_t areaPixels = int64_t{area.x1 - area.x0} * (area.y1 - area.y0);
  if (painter->tileUsed &&
      int64_t{painter->tileRect.x1 - painter->tileRect.x0} * (painter->tileRect.y1 - painter->tileRect.y0) >
          areaPixels) {
    painter->tileUsed = false;
    painter->tileRect = painter->fallbackRect;
  }
  PatternCell::AllocateTileBuffer(*painter);
  runtime::PixelBuffer& buffer = painter->tileBuffer;

  TilingCellTarget target;
  target.uncoloured = pattern.uncoloured;
  target.components = painter->colourComponents;
  if (painter->tileUsed) {
    // One cell into the tile, repeated over the area by the sampler.
    PatternCell::BindTargetPlanes(*painter);
    target.planes = painter->targetPlanes;
    target.clip = painter->tileRect;
    target.matrix = painter->tileMatrix;
    draw(user, target);
    target.finish = true;
    draw(user, target);
    paint.cellsDrawn = 1;
    paint.tiled = true;
    PatternCell::FinishTile(*painter);
    paint.source = painter->sampler;
    return paint;
  }
  // Each cell that meets the area, drawn over the area itself.
  painter->destinationPlanes.shape = ViewOf(arena, buffer.shape);
  painter->destinationPlanes.alpha = ViewOf(arena, buffer.alpha);
  painter->destinationPlanes.colour = ViewOf(arena, buffer.colour);
  PatternCell::BindTargetPlanes(*painter);
  CellDrawing drawing{};
  drawing.target = target;
  drawing.target.planes = painter->targetPlanes;
  drawing.target.clip = area;
  drawing.draw = draw;
  drawing.user = user;
  const runtime::Rect areaRect = runtime::Rect::FromIntRect(area);
  paint.cellsDrawn =
      pattern.VisitCells(areaRect, content::TilingPattern::kMaxCells, paint.complete, &DrawOneCell, &drawing);
  drawing.target.finish = true;
  draw(user, drawing.target);
  paint.source = PlaneSource::Create(arena, painter->destinationPlanes);
  paint.source->bounds = area;
  return paint;
}

}  // namespace raster
