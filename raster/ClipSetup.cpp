#include "raster/ClipSetup.h"

#include "raster/PaintObject.h"
#include "raster/PathEdges.h"

namespace raster {
namespace {

bool RectOnWholePixels(const runtime::Rect& r) {
  return ((r.x0 | r.y0 | r.x1 | r.y1) & 0xffff) == 0;
}

}  // namespace

ClipSetup::Result ClipSetup::RectClip(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                      const runtime::Rect& rect, const runtime::Matrix& ctm, const PixelRegion& region,
                                      PipelineNode* node) {
  Result result{node, &region};
  if (node != nullptr) return result;
  const bool axisAligned = (ctm.b == 0 && ctm.c == 0) || (ctm.a == 0 && ctm.d == 0);
  const runtime::Rect device = runtime::Matrix::TransformRectBounds(rect, ctm);
  const IntRect pixels = runtime::Rect::ToPixelBounds(device);
  // The pixels the rectangle covers whole: holding the clip, it clips
  // nothing more.
  const IntRect inner{runtime::FixedToIntCeil(device.x0), runtime::FixedToIntCeil(device.y0),
                      runtime::FixedToIntFloor(device.x1), runtime::FixedToIntFloor(device.y1)};
  if (axisAligned && !inner.IsEmpty() && ContainsRect(inner, region.Bounds())) return result;

  const PixelRegion* narrowed =
      PixelRegion::Combine(arena, RegionCombine::kIntersection, region, *PixelRegion::FromRect(arena, pixels));
  result.region = narrowed;
  if (axisAligned && RectOnWholePixels(device)) return result;
  // A turned rectangle, or one with partial pixels at its edges: the
  // coverage of its outline, over the pixels it can touch.
  StoredPath outline(arena, 5);
  const runtime::FixedPoint corners[4] = {{rect.x0, rect.y0}, {rect.x1, rect.y0}, {rect.x1, rect.y1}, {rect.x0, rect.y1}};
  for (int i = 0; i < 4; ++i) {
    runtime::FixedPoint p = corners[i];
    runtime::Matrix::TransformPointInPlace(ctm, p.x, p.y);
    if (i == 0) {
      outline.MoveTo(p);
    } else {
      outline.LineTo(p);
    }
  }
  outline.Close();
  result.node = PaintObject::Create(context, arena, CollapseEmpty(narrowed->Bounds()), outline.Points(),
                                    runtime::Matrix{}, false);
  return result;
}

}  // namespace raster
