#include "raster/PaintObject.h"

#include "raster/CompositorNode.h"

namespace raster {

ScanConverter* PaintObject::Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                   const IntRect& area, std::span<const runtime::FixedPoint> path,
                                   const runtime::Matrix& matrix, bool evenOdd) {
  return runtime::NewInArena<PathScanConverter>(arena, context, arena, path, matrix, area, evenOdd);
}

PipelineNode* PipelineStage::CreateForPath(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                           const PixelTriple& destination, const IntRect& area,
                                           std::span<const runtime::FixedPoint> path, const runtime::Matrix& matrix,
                                           bool evenOdd, PipelineNode* source) {
  return Create(arena, destination, PaintObject::Create(context, arena, area, path, matrix, evenOdd), source);
}

}  // namespace raster
