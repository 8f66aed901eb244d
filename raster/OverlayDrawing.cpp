#include <algorithm>

#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/HostTransfer.h"
#include "raster/Overlay.h"
#include "raster/PaintObject.h"
#include "raster/PathEdges.h"
#include "raster/PixelRegion.h"
#include "raster/PixelTriple.h"
#include "runtime/ArenaScope.h"
#include "runtime/PixelBuffer.h"

namespace raster {

namespace {

using runtime::kFixedOne;

// The stroke's coverage over a constant colour, written into the view's
// surface by exclusive or at the scroll origin; its rectangle joins the
// dirty bounds.
void XorStroke(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, OverlayView& view,
               const StoredPath& path, const runtime::StrokeStyle& style, const runtime::Matrix& matrix, Fixed c1,
               Fixed c2, Fixed c3) {
  const runtime::HostPixelLayout* layout = view.surface->Begin(0);
  const IntRect surface = layout != nullptr ? IntRect{0, 0, layout->width, layout->height} : IntRect{};
  view.surface->End();
  // The device pixels the surface shows.
  const IntRect area{view.originX, view.originY, view.originX + surface.x1, view.originY + surface.y1};
  if (area.IsEmpty()) return;
  ScanConverter* coverage = PaintObject::CreateStroke(context, arena, area, path.Points(), style, matrix);
  const IntRect bounds = coverage->ShapeBounds();
  if (bounds.IsEmpty()) return;
  const PixelTriple scratch =
      PixelTriple::CreateScratch(context, arena, runtime::PixelLayout::ForPlanes(3, 0, 3, true), bounds);
  PipelineNode* node =
      PipelineStage::Create(arena, scratch, coverage, SolidColorSource::FromRgbFixed(arena, c1, c2, c3));
  runtime::Region region(context);
  region.FromRect(
      {bounds.x0 - view.originX, bounds.y0 - view.originY, bounds.x1 - view.originX, bounds.y1 - view.originY});
  HostTransfer::PaintNodeXor(*view.surface, arena, region, -view.originX, -view.originY, node);
  view.dirty = view.dirty.IsEmpty() ? bounds : UnionRects(view.dirty, bounds);
}

}  // namespace

void Overlay::DrawOverlaySegment(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, OverlayView& view,
                                 FixedPoint a, FixedPoint b, Fixed c1, Fixed c2, Fixed c3) {
  if (view.surface == nullptr || a.x == b.x) return;
  runtime::ArenaScope scope(arena);
  runtime::StrokeStyle style(context);
  // One device pixel in page coordinates.
  style.width = runtime::FixedDiv(kFixedOne, runtime::FixedMul(view.zoom, std::max(view.pageWidth, view.pageHeight)));
  StoredPath path(arena, 4);
  path.MoveTo(a);
  path.LineTo(b);
  XorStroke(context, arena, view, path, style, view.pageToDevice, kFixedOne - c1, kFixedOne - c2, kFixedOne - c3);
}

void Overlay::DrawSelectionMarks(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, OverlayView& view) {
  if (view.selectionMode != OverlayView::kSelectionMarks || view.selection == nullptr) return;
  const SelectionRecord& s = *view.selection;
  if (view.firstFlag) {
    const FixedPoint* pair = view.secondFlag ? s.second : s.first;
    DrawOverlaySegment(context, arena, view, pair[0], pair[1], 0, 0, 0);
  } else if (s.startLine == s.endLine) {
    DrawOverlaySegment(context, arena, view, s.first[0], s.first[1], 0, 0, 0);
  }
}

void Overlay::DrawFocusRectangle(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, OverlayView& view,
                                 const IntRect& rect) {
  if (view.surface == nullptr || rect.IsEmpty()) return;
  runtime::ArenaScope scope(arena);
  constexpr Fixed kHalf = kFixedOne / 2;
  const Fixed x0 = runtime::FixedFromIntSat(rect.x0) + kHalf, y0 = runtime::FixedFromIntSat(rect.y0) + kHalf;
  const Fixed x1 = runtime::FixedFromIntSat(rect.x1) - kHalf, y1 = runtime::FixedFromIntSat(rect.y1) - kHalf;
  StoredPath path(arena, 6);
  path.MoveTo({x0, y0});
  path.LineTo({x1, y0});
  path.LineTo({x1, y1});
  path.LineTo({x0, y1});
  path.Close();
  runtime::StrokeStyle style(context);
  style.width = kFixedOne;
  // Two pixels on, two off, starting with the corner pixel: dashes of one
  // from the corner's centre, squared off by half a pixel at each end, put
  // both ends of every dash on pixel edges (dashes of two from the centre
  // would half cover the pixels at their ends).
  style.lineCap = runtime::StrokeStyle::kSquareCap;
  const Fixed pattern[] = {kFixedOne, 3 * kFixedOne};
  style.SetDash(pattern, 0);
  XorStroke(context, arena, view, path, style, runtime::Matrix{}, kFixedOne, kFixedOne, kFixedOne);
}

void Overlay::DrawFrame(runtime::HostBitmap& target, runtime::ArenaAllocator& arena, int32_t width, int32_t height,
                        bool sunken) {
  if (width <= 0 || height <= 0) return;
  runtime::ArenaScope scope(arena);
  // Levels as 16.16 components that convert back to exactly 255 and 127.
  const Fixed light = sunken ? 127 * 257 : kFixedOne;
  const Fixed dark = sunken ? kFixedOne : 127 * 257;
  runtime::Region whole(arena.Context());
  whole.FromRect({0, 0, width, height});
  HostTransfer::FillColour(target, arena, whole, {0, 0, width - 1, 1}, light, light, light);
  HostTransfer::FillColour(target, arena, whole, {0, 0, 1, height - 1}, light, light, light);
  HostTransfer::FillColour(target, arena, whole, {0, height - 1, width, height}, dark, dark, dark);
  HostTransfer::FillColour(target, arena, whole, {width - 1, 0, width, height}, dark, dark, dark);
}

}  // namespace raster
