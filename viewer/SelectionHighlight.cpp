#include "viewer/SelectionHighlight.h"

#include <algorithm>

#include "content/PageText.h"
#include "content/ReflowModel.h"
#include "pdf/Document.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Matrix.h"
#include "viewer/PageView.h"

namespace viewer {

namespace {

constexpr uint32_t kOutlineArenaBlock = 1024;
constexpr uint32_t kOutlineArenaLarge = 256;

}  // namespace

uint32_t SelectionHighlight::PageRects(pdf::Document& document, content::FontSource* fonts,
                                       content::TextFontSource* textFonts, int32_t page,
                                       const runtime::TextRange& range, runtime::Rect* out, uint32_t capacity) {
  if (capacity == 0) return 0;
  runtime::ArenaAllocator arena(document.Context(), kOutlineArenaBlock, kOutlineArenaLarge);
  content::TextOutline outline(arena, 16);
  content::PageText::ExtractPage(document.Context(), document, fonts, textFonts, page, range, outline);
  uint32_t count = 0;
  runtime::Rect bounds = runtime::kEmptyBoundsStart;
  for (uint32_t i = 0; i < outline.Size(); ++i) {
    if (outline[i].PointKind() != runtime::PackedPoint::kClose) {
      bounds.IncludePoint(outline[i].X(), outline[i].Y());
      continue;
    }
    // One quadrilateral ends here.
    if (bounds.x0 <= bounds.x1 && bounds.y0 <= bounds.y1) {
      if (count < capacity) {
        out[count++] = bounds;
      } else {
        runtime::Rect& last = out[capacity - 1];
        last = {std::min(last.x0, bounds.x0), std::min(last.y0, bounds.y0), std::max(last.x1, bounds.x1),
                std::max(last.y1, bounds.y1)};
      }
    }
    bounds = runtime::kEmptyBoundsStart;
  }
  return count;
}

uint32_t SelectionHighlight::RectsInView(PageView& view, pdf::Document& document, content::FontSource* fonts,
                                         content::TextFontSource* textFonts, int32_t page,
                                         const runtime::TextRange& range, runtime::IntRect* out,
                                         uint32_t capacity) {
  runtime::Matrix toView;
  if (capacity == 0 || !view.PageToViewMatrix(page, toView)) return 0;
  constexpr uint32_t kMost = 64;
  runtime::Rect rects[kMost];
  uint32_t found = 0;
  runtime::Matrix toPage;
  if (const content::ReflowModel* model = view.ReflowedPage(page, toPage)) {
    // A reflowed page shows its glyphs where the reflow put them.
    int32_t overflow = 0;
    toView = runtime::Matrix::ConcatChecked(toPage, toView, overflow);
    if (overflow != 0) return 0;
    found = model->RangeRects(page, range, rects, std::min(capacity, kMost));
  } else {
    found = PageRects(document, fonts, textFonts, page, range, rects, std::min(capacity, kMost));
  }
  uint32_t count = 0;
  for (uint32_t i = 0; i < found; ++i) {
    if (!runtime::Matrix::CanTransformRect(toView, rects[i])) continue;
    const runtime::IntRect pixels = runtime::Rect::ToPixelBounds(runtime::Matrix::TransformRectBounds(rects[i], toView));
    if (!pixels.IsEmpty()) out[count++] = pixels;
  }
  return count;
}

}  // namespace viewer
