#include "raster/ClipAccumulator.h"

#include <algorithm>
#include <cstring>

#include "raster/CompositorNode.h"
#include "raster/PathEdges.h"
#include "raster/PaintObject.h"
#include "raster/PipelineDriver.h"
#include "raster/PlaneSource.h"

namespace raster {

bool PathIsPixelRectangle(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix,
                          IntRect& out) {
  runtime::FixedPoint corners[5];
  int count = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const int kind = StoredPath::KindOf(points[i]);
    if (kind == 3) break;
    if ((kind == 0) != (i == 0) || kind == 2 || count == 5) return false;
    runtime::FixedPoint p = StoredPath::Coordinates(points[i]);
    runtime::Matrix::TransformPointInPlace(matrix, p.x, p.y);
    if (count > 0 && p == corners[count - 1]) continue;
    corners[count++] = p;
  }
  if (count == 5 && corners[4] == corners[0]) count = 4;
  if (count != 4) return false;
  for (int i = 0; i < 4; ++i) {
    const runtime::FixedPoint a = corners[i], b = corners[(i + 1) % 4];
    if ((a.x & 0xffff) != 0 || (a.y & 0xffff) != 0) return false;
    if ((a.x == b.x) == (a.y == b.y)) return false;  // a side is neither vertical nor horizontal
  }
  const int32_t x0 = std::min({corners[0].x, corners[1].x, corners[2].x}) >> 16;
  const int32_t x1 = std::max({corners[0].x, corners[1].x, corners[2].x}) >> 16;
  const int32_t y0 = std::min({corners[0].y, corners[1].y, corners[2].y}) >> 16;
  const int32_t y1 = std::max({corners[0].y, corners[1].y, corners[2].y}) >> 16;
  out = {x0, y0, x1, y1};
  return true;
}

ClipAccumulator::ClipAccumulator(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                 const PixelRegion& interest)
    : context_(context), arena_(arena), interest_(interest), clipRegion_(&interest) {}

void ClipAccumulator::AddPath(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix,
                              bool evenOdd) {
  IntRect rect;
  if (PathIsPixelRectangle(points, matrix, rect)) {
    clipRegion_ = PixelRegion::Combine(arena_, RegionCombine::kIntersection, *clipRegion_,
                                       *PixelRegion::FromRect(arena_, rect));
    return;
  }
  const IntRect area = interest_.Bounds();
  PipelineNode* coverage = PaintObject::Create(context_, arena_, area, points, matrix, evenOdd);
  if (pathCount_ == 0) {
    clipNode_ = coverage;
  } else {
    if (mask_ == nullptr) {
      // The second path: the first one's coverage becomes a mask buffer.
      const int64_t width = int64_t{area.x1} - area.x0, height = int64_t{area.y1} - area.y0;
      auto* bytes = static_cast<uint8_t*>(arena_.Alloc(static_cast<size_t>(std::max<int64_t>(width * height, 1))));
      mask_ = runtime::NewInArena<PixelPlane>(arena_);
      mask_->row = mask_->base = bytes;
      mask_->rect = area;
      mask_->format = runtime::PixelFormatDesc{1, 0, 0, 1, static_cast<int32_t>(width), 1, 0};
      std::memset(bytes, 0, static_cast<size_t>(std::max<int64_t>(width * height, 1)));
      PipelineDriver::PaintRegion(arena_, interest_, PixelTriple{mask_, nullptr, nullptr}, nullptr, clipNode_);
      clipNode_ = PlaneSource::Create(arena_, PixelTriple{mask_, mask_, nullptr});
    }
    // The new coverage multiplies what the mask holds.
    const PixelTriple scratch = PixelTriple::CreateScratch(
        context_, arena_, runtime::PixelLayout::ForPlanes(-1, 2, 0, false), area);
    PipelineNode* product = PipelineStage::Create(arena_, scratch, coverage, clipNode_);
    PipelineDriver::PaintRegion(arena_, interest_, PixelTriple{mask_, nullptr, nullptr}, nullptr, product);
  }
  ++pathCount_;
}

}  // namespace raster
