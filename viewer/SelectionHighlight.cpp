#include "viewer/SelectionHighlight.h"

#include "content/PageText.h"
#include "pdf/Document.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Matrix.h"
#include "viewer/PageView.h"

namespace viewer {

namespace {

constexpr uint32_t kOutlineArenaBlock = 1024;
constexpr uint32_t kOutlineArenaLarge = 256;

}  // namespace

uint32_t SelectionHighlight::RectsInView(PageView& view, pdf::Document& document, content::FontSource* fonts,
                                         content::TextFontSource* textFonts, int32_t page,
                                         const runtime::TextRange& range, runtime::IntRect* out,
                                         uint32_t capacity) {
  runtime::Matrix toView;
  if (capacity == 0 || !view.PageToViewMatrix(page, toView)) return 0;
  runtime::ArenaAllocator arena(document.Context(), kOutlineArenaBlock, kOutlineArenaLarge);
  content::TextOutline outline(arena, 16);
  content::PageText::ExtractPage(document.Context(), document, fonts, textFonts, page, range, outline);
  uint32_t count = 0;
  runtime::Rect bounds = runtime::kEmptyBoundsStart;
  for (uint32_t i = 0; i < outline.Size() && count < capacity; ++i) {
    if (outline[i].PointKind() != runtime::PackedPoint::kClose) {
      bounds.IncludePoint(outline[i].X(), outline[i].Y());
      continue;
    }
    // One quadrilateral ends here.
    if (bounds.x0 <= bounds.x1 && bounds.y0 <= bounds.y1 && runtime::Matrix::CanTransformRect(toView, bounds)) {
      const runtime::IntRect pixels =
          runtime::Rect::ToPixelBounds(runtime::Matrix::TransformRectBounds(bounds, toView));
      if (!pixels.IsEmpty()) out[count++] = pixels;
    }
    bounds = runtime::kEmptyBoundsStart;
  }
  return count;
}

}  // namespace viewer
