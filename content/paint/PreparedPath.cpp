#include "content/PreparedPath.h"

#include <algorithm>

#include "raster/BlendFunction.h"
#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/PaintGeometry.h"
#include "raster/PaintObject.h"
#include "raster/PathEdges.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaScope.h"
#include "runtime/StrokeStyle.h"

namespace content {

using raster::IntRect;
using raster::PipelineNode;
using runtime::Fixed;
using runtime::FixedPoint;

void PaintPreparedPath(PaintContext& paint, std::span<const FixedPoint> path, Fixed penWidth,
                       const PreparedPaint& colour, uint32_t options) {
  if (path.empty() || paint.layer == nullptr) return;
  runtime::ArenaAllocator& arena = *paint.arena;
  runtime::ArenaScope scope(arena);
  raster::RasterDevice& layer = *paint.layer;
  IntRect area = layer.Bounds();
  if (paint.region != nullptr) area = raster::IntersectRects(area, paint.region->Bounds());
  if (paint.clipNode != nullptr) area = raster::IntersectRects(area, paint.clipNode->bounds);
  if (area.IsEmpty()) return;
  const runtime::Matrix identity;
  raster::ScanConverter* coverage = nullptr;
  if (penWidth > 0) {
    runtime::StrokeStyle style(paint.owner);
    style.width = penWidth;
    coverage = raster::PaintObject::CreateStroke(paint.owner, arena, area, path, style, identity);
  } else {
    coverage = raster::PaintObject::Create(paint.owner, arena, area, path, identity,
                                           (options & kPreparedEvenOdd) != 0);
  }
  if (coverage->IsEmpty()) return;
  const IntRect shape = raster::IntersectRects(area, coverage->ShapeBounds());
  if (shape.IsEmpty()) return;
  const raster::PixelRegion* region = raster::PixelRegion::FromRect(arena, shape);
  PipelineNode* source = raster::SolidColorSource::FromRgbFixed(arena, colour.red, colour.green, colour.blue);
  if (colour.alpha < runtime::kFixedOne)
    source = raster::PipelineStage::Create(arena, layer.Scratch(*region),
                                           raster::ShapeSource::FromFixed(arena, std::max<Fixed>(colour.alpha, 0)),
                                           source);
  layer.PaintSource(*region, paint.region != nullptr ? paint.region : region, paint.clipNode, coverage, source,
                    nullptr);
}

void PaintLinePath(PaintContext& paint, FixedPoint a, FixedPoint b, Fixed penWidth, const PreparedPaint& colour,
                   uint32_t options) {
  runtime::ArenaScope scope(*paint.arena);
  auto* path = runtime::NewInArena<raster::StoredPath>(*paint.arena, *paint.arena, 4);
  path->MoveTo(a);
  path->LineTo(b);
  path->Close();
  PaintPreparedPath(paint, path->Points(), penWidth, colour, options);
}

void FillRectPath(PaintContext& paint, const runtime::Rect& rect, Fixed penWidth, const PreparedPaint& colour,
                  uint32_t options) {
  runtime::ArenaScope scope(*paint.arena);
  PaintPreparedPath(paint, raster::RectPath::Build(*paint.arena, rect)->Points(), penWidth, colour, options);
}

}  // namespace content
