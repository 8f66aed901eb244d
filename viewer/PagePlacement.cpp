#include "viewer/PagePlacement.h"

#include <algorithm>

#include "runtime/ErrorRecord.h"
#include "runtime/ErrorTrap.h"
#include "viewer/LayoutMath.h"
#include "viewer/PageLayout.h"
#include "viewer/ViewFrame.h"

namespace viewer {
namespace {

using runtime::IntRect;
using runtime::Matrix;
using runtime::Rect64;

runtime::OptionalMatrix ExtraOf(const PagePlacement& p) {
  return {p.hasExtraMatrix ? &p.extraMatrix : nullptr};
}

int32_t ClampPlacementInt(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

IntRect OffsetPixelRect(const IntRect& r, int64_t dx, int64_t dy) {
  return {ClampPlacementInt(r.x0 + dx), ClampPlacementInt(r.y0 + dy),
          ClampPlacementInt(r.x1 + dx), ClampPlacementInt(r.y1 + dy)};
}

// A pixel distance in 16.16; beyond the Fixed range it saturates rather
// than wrapping into a rectangle on the wrong side of the page.
runtime::Fixed PixelsToFixed(int64_t v) {
  return runtime::FixedFromIntSat(ClampPlacementInt(v));
}

}  // namespace

bool PagePlacement::Build(const PageLayout& layout, int32_t page, PagePlacement& out) {
  out = PagePlacement{};
  if (!layout.IsPageInRange(page)) return false;
  int32_t column = 0, row = 0;
  layout.PageCellOf(page, column, row);
  const PageCell& cell = layout.CellAt(column, row);
  const int32_t view = layout.viewRotation;
  out.hasExtraMatrix = cell.hasExtraMatrix;
  if (cell.hasExtraMatrix) out.extraMatrix = cell.extraMatrix;
  out.rotation = LayoutMath::AddRotations(cell.pageRotation, view);
  const bool turned = view != 0 && view != 180;
  out.scale[0] = turned ? layout.params.scaleY : layout.params.scaleX;
  out.scale[1] = turned ? layout.params.scaleX : layout.params.scaleY;
  out.placementWord = cell.placementWord;
  // The cell's matrix carries the view's turn already.
  out.matrix = cell.pageMatrix;
  const runtime::Fixed w = runtime::FixedFromIntSat(ClampPlacementInt(cell.pageWidth));
  const runtime::Fixed h = runtime::FixedFromIntSat(ClampPlacementInt(cell.pageHeight));
  out.rect = runtime::Rect::RotateByPageRotation(view, {0, 0, w, h});
  return true;
}

IntRect PagePlacement::DeviceRect(const PageLayout& layout, int32_t page, const PagePlacement& key,
                                  const IntRect& rect) {
  PagePlacement now;
  if (!Build(layout, page, now)) return {};
  const Rect64 pageRect = layout.PageRect(page);
  const Point64 corner = ViewFrame::FromLocal(layout.frame, {pageRect.x0, pageRect.y0});
  const Rect64 window = ViewFrame::MapRect(layout.frame, layout.window);
  const int64_t dx = ClampPlacementInt(corner.x - window.x0);
  const int64_t dy = ClampPlacementInt(corner.y - window.y0);
  const bool turned = layout.viewRotation != 0 && layout.viewRotation != 180;
  const int64_t windowWidth = layout.window.x1 - layout.window.x0;
  const int64_t windowHeight = layout.window.y1 - layout.window.y0;
  const int64_t width = turned ? windowHeight : windowWidth;
  const int64_t height = turned ? windowWidth : windowHeight;

  IntRect r;
  if (runtime::MatrixRectKey::Equals({ExtraOf(now), now.matrix, now.rect},
                                     {ExtraOf(key), key.matrix, key.rect})) {
    r = OffsetPixelRect(rect, dx, dy);
  } else if (runtime::MatrixSignKey::Equals(
                 {ExtraOf(now), {now.matrix.a, now.matrix.b, now.matrix.c, now.matrix.d}},
                 {ExtraOf(key), {key.matrix.a, key.matrix.b, key.matrix.c, key.matrix.d}})) {
    // Same orientation, another scale: carry the rectangle through the old
    // placement's inverse into the new one.
    Matrix inverse;
    if (!Matrix::Invert(inverse, key.matrix)) runtime::ThrowRuntime(runtime::kMalformed);
    r = OffsetPixelRect(Matrix::TransformIntRect(rect, Matrix::Concat(inverse, now.matrix)), dx,
                        dy);
  } else {
    return {};
  }
  if (r.x1 >= 0 && r.x0 < width && r.y1 >= 0 && r.y0 < height) return r;
  return {};
}

runtime::Rect PagePlacement::WindowToPageRect(const PageLayout& layout, int32_t page) {
  Rect64 cell, pageRect;
  layout.CellAndPageRect(page, cell, pageRect);
  int32_t column = 0, row = 0;
  layout.PageCellOf(page, column, row);
  const PageCell& record = layout.CellAt(column, row);
  const runtime::Fixed x0 = PixelsToFixed(layout.window.x0 - pageRect.x0);
  const runtime::Fixed y0 = PixelsToFixed(layout.window.y0 - pageRect.y0);
  const runtime::Fixed x1 =
      runtime::FixedAddSat(x0, PixelsToFixed(layout.window.x1 - layout.window.x0));
  const runtime::Fixed y1 =
      runtime::FixedAddSat(y0, PixelsToFixed(layout.window.y1 - layout.window.y0));
  Matrix inverse;
  if (!Matrix::Invert(inverse, record.pageMatrix)) runtime::ThrowRuntime(runtime::kMalformed);
  return Matrix::TransformRectBounds({x0, y0, x1, y1}, inverse);
}

}  // namespace viewer
