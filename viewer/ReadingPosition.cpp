#include "viewer/ReadingPosition.h"

#include <algorithm>

#include "content/PageText.h"
#include "content/ReflowModel.h"
#include "pdf/Document.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/Scheduler.h"
#include "viewer/DocumentInteraction.h"
#include "viewer/PageView.h"

namespace viewer {

namespace {

using runtime::Fixed;

// Arena of one character's outline.
constexpr uint32_t kOutlineArenaBlock = 1024;
constexpr uint32_t kOutlineArenaLarge = 256;

int32_t RoundToPixel(Fixed value) { return runtime::FixedToIntFloor(runtime::FixedAddSat(value, runtime::kFixedOne / 2)); }

}  // namespace

ReadingPosition::ReadingPosition(pdf::Document* document, DocumentInteraction* interaction, PageView* view)
    : document_(document), interaction_(interaction), view_(view) {
  if (document_ == nullptr || interaction_ == nullptr || view_ == nullptr) return;
  runtime::CatchAllExceptCancel(document_->Context(), [&] {
    view_->RefreshLayout();
    const PageLayout& layout = view_->Layout();
    const runtime::Rect64 window{0, 0, layout.window.x1 - layout.window.x0, layout.window.y1 - layout.window.y0};
    if (IsReflowMode(layout.params.layoutMode)) {
      // A reflowed page's characters are not where the page draws them:
      // the pen's text search would read the column as the drawn page.
      if (!FirstShown()) return;
    } else {
      const runtime::Optional<runtime::TextRange> shown = interaction_->pen.TextInViewRect(window, 0);
      if (!shown.HasValue() || !layout.IsPageInRange(shown->start.page)) return;
      position_ = shown->start;
    }
    Fixed x = 0, y = 0;
    runtime::Matrix toView;
    if (!BoxCentre(x, y) || !view_->PageToViewMatrix(position_.page, toView)) return;
    runtime::Matrix::TransformPointInPlace(toView, x, y);
    viewX_ = RoundToPixel(x);
    viewY_ = RoundToPixel(y);
    held_ = true;
  });
}

bool ReadingPosition::FirstShown() {
  const PageLayout& layout = view_->Layout();
  const int32_t first = layout.firstVisiblePage;
  for (int32_t page = first; page >= 0 && page <= layout.lastVisiblePage; ++page) {
    if (!layout.IsPageInRange(page)) continue;
    const runtime::Rect64 r = layout.PageRect(page);
    const runtime::Rect64 shown{std::max(r.x0, layout.window.x0) - layout.window.x0,
                                std::max(r.y0, layout.window.y0) - layout.window.y0,
                                std::min(r.x1, layout.window.x1) - layout.window.x0,
                                std::min(r.y1, layout.window.y1) - layout.window.y0};
    if (shown.x0 >= shown.x1 || shown.y0 >= shown.y1) continue;
    runtime::Matrix toPage, toView;
    const content::ReflowModel* model = view_->ReflowedPage(page, toPage);
    if (model == nullptr) {
      // A page the reflow leaves as drawn: its own text in its part of
      // the window.
      const runtime::Optional<runtime::TextRange> text = interaction_->pen.TextInViewRect(shown, 0);
      if (!text.HasValue() || text->start.page != page) continue;
      position_ = text->start;
      return true;
    }
    if (!view_->PageToViewMatrix(page, toView)) continue;
    // Glyphs are in reading order: the first whose centre shows.
    runtime::ChargeWork(model->Context(), static_cast<int32_t>(model->Glyphs().Size() / 64 + 1));
    for (const content::ReflowGlyph& g : model->Glyphs()) {
      if (g.x >= content::ReflowModel::kParked) continue;
      Fixed x = runtime::FixedAddSat(g.x, g.width / 2);
      Fixed y = runtime::FixedAddSat(g.y, runtime::FixedSubSat(g.height, g.depth) / 2);
      runtime::Matrix::TransformPointInPlace(toPage, x, y);
      runtime::Matrix::TransformPointInPlace(toView, x, y);
      const int64_t vx = RoundToPixel(x), vy = RoundToPixel(y);
      if (vx < shown.x0 || vx >= shown.x1 || vy < shown.y0 || vy >= shown.y1) continue;
      position_ = runtime::TextPosition{page, g.operation, g.string, g.stringGlyph, 0, 0};
      return true;
    }
  }
  return false;
}

bool ReadingPosition::BoxCentre(Fixed& x, Fixed& y) {
  runtime::Matrix toPage;
  if (const content::ReflowModel* model = view_->ReflowedPage(position_.page, toPage)) {
    // The character's placed box in the column.
    runtime::Rect box;
    if (model->RangeRects(position_.page, runtime::TextRange{position_, position_}, &box, 1) == 0) return false;
    x = static_cast<Fixed>((static_cast<int64_t>(box.x0) + box.x1) / 2);
    y = static_cast<Fixed>((static_cast<int64_t>(box.y0) + box.y1) / 2);
    runtime::Matrix::TransformPointInPlace(toPage, x, y);
    return true;
  }
  pdf::Document& document = *document_;
  // From just before the character to just after it: its own box.
  runtime::TextRange character{position_, position_};
  character.start.after = 0;
  character.end.after = 1;
  runtime::ArenaAllocator arena(document.Context(), kOutlineArenaBlock, kOutlineArenaLarge);
  content::TextOutline outline(arena, 16);
  content::PageText::ExtractPage(document.Context(), document, &interaction_->fonts, &interaction_->textFonts,
                                 position_.page, character, outline);
  runtime::Rect bounds = runtime::kEmptyBoundsStart;
  for (uint32_t i = 0; i < outline.Size(); ++i) {
    if (outline[i].PointKind() != runtime::PackedPoint::kClose) bounds.IncludePoint(outline[i].X(), outline[i].Y());
  }
  if (bounds.x0 > bounds.x1 || bounds.y0 > bounds.y1) return false;
  x = static_cast<Fixed>((static_cast<int64_t>(bounds.x0) + bounds.x1) / 2);
  y = static_cast<Fixed>((static_cast<int64_t>(bounds.y0) + bounds.y1) / 2);
  return true;
}

void ReadingPosition::Restore() {
  if (!held_) return;
  held_ = false;
  runtime::CatchAllExceptCancel(document_->Context(), [&] {
    view_->RefreshLayout();
    if (!view_->Layout().IsPageInRange(position_.page)) return;
    Fixed x = 0, y = 0;
    if (!BoxCentre(x, y)) return;
    view_->SetAnchor(ViewAnchor{position_.page, kAnchorPageSpace, x, y, viewX_, viewY_});
  });
}

void DocumentReadingPosition::RecordReadingPosition() {
  kept_ = ReadingPosition(document_, interaction_, view_);
}

void DocumentReadingPosition::RestoreReadingPosition() { kept_.Restore(); }

bool ReadingPosition::CentreOnPage(PageView& view) {
  view.RefreshLayout();
  const PageLayout& layout = view.Layout();
  const int64_t x = layout.window.x0 + (layout.window.x1 - layout.window.x0) / 2;
  const int64_t y = layout.window.y0 + (layout.window.y1 - layout.window.y0) / 2;
  for (int32_t page = layout.firstVisiblePage; page >= 0 && page <= layout.lastVisiblePage; ++page) {
    if (!layout.IsPageInRange(page)) continue;
    const runtime::Rect64 r = layout.PageRect(page);
    if (x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1) return true;
  }
  return false;
}

}  // namespace viewer
