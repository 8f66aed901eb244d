#include "viewer/ReadingPosition.h"

#include "content/PageText.h"
#include "pdf/Document.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
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
    const runtime::Optional<runtime::TextRange> shown = interaction_->pen.TextInViewRect(window, 0);
    if (!shown.HasValue() || !layout.IsPageInRange(shown->start.page)) return;
    position_ = shown->start;
    Fixed x = 0, y = 0;
    runtime::Matrix toView;
    if (!BoxCentre(x, y) || !view_->PageToViewMatrix(position_.page, toView)) return;
    runtime::Matrix::TransformPointInPlace(toView, x, y);
    viewX_ = RoundToPixel(x);
    viewY_ = RoundToPixel(y);
    held_ = true;
  });
}

bool ReadingPosition::BoxCentre(Fixed& x, Fixed& y) {
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
