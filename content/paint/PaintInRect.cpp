#include "content/PaintInRect.h"

#include "content/ContentStream.h"
#include "raster/PixelRegion.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaScope.h"

namespace content {

void PaintInRect(PaintContext& paint, ContentMachine& machine, const runtime::IntRect& rect,
                 const runtime::ObjectHandle* resources, PaintTarget* target, uint32_t& operations) {
  runtime::ArenaScope scope(*paint.arena);
  PaintContext inRect = paint;
  const raster::PixelRegion* area = raster::PixelRegion::FromRect(*paint.arena, raster::IntersectRects(rect, paint.layer->Bounds()));
  inRect.region = paint.region != nullptr ? raster::PixelRegion::Combine(*paint.arena, raster::RegionCombine::kIntersection,
                                                                       *paint.region, *area)
                                          : area;
  Renderer renderer(inRect, 0, resources, target);
  struct Counted {
    Renderer& renderer;
    uint32_t& operations;
    ~Counted() { operations += renderer.OperationCount(); }
  } counted{renderer, operations};
  ContentStream::Run(machine, renderer);
}

}  // namespace content
