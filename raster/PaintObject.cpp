#include "raster/PaintObject.h"

#include "raster/CompositorNode.h"
#include "raster/StrokeDriver.h"

namespace raster {

ScanConverter* PaintObject::Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                   const IntRect& area, std::span<const runtime::FixedPoint> path,
                                   const runtime::Matrix& matrix, bool evenOdd) {
  return runtime::NewInArena<PathScanConverter>(arena, context, arena, path, matrix, area, evenOdd);
}

ScanConverter* PaintObject::CreateStroke(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                         const IntRect& area, std::span<const runtime::FixedPoint> path,
                                         const runtime::StrokeStyle& style, const runtime::Matrix& matrix) {
  auto* outline = runtime::NewInArena<StoredPath>(arena, arena, 64);
  runtime::Matrix fillMatrix;
  const int result = StrokeDriver::StrokePath(context, arena, path, style, matrix, area, *outline, fillMatrix);
  if (result == StrokeDriver::kFillPath) return Create(context, arena, area, path, matrix, false);
  // Hairline outlines are one device pixel wide and fill at the usual
  // resolution too: the 16 x 16 converter costs four times as much and shows
  // no difference on a line of one pixel.
  return runtime::NewInArena<PathScanConverter>(arena, context, arena, outline->Points(), fillMatrix, area, false);
}

PipelineNode* PipelineStage::CreateForPath(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                           const PixelTriple& destination, const IntRect& area,
                                           std::span<const runtime::FixedPoint> path, const runtime::Matrix& matrix,
                                           bool evenOdd, PipelineNode* source) {
  return Create(arena, destination, PaintObject::Create(context, arena, area, path, matrix, evenOdd), source);
}

}  // namespace raster
