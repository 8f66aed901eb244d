#include "viewer/DocumentSearchSource.h"

#include <algorithm>

#include "content/PageText.h"
#include "content/ReflowModel.h"
#include "pdf/Document.h"
#include "runtime/ArenaAllocator.h"
#include "viewer/DocumentSelection.h"
#include "viewer/PageView.h"
#include "viewer/ViewPositionMath.h"

namespace viewer {

int32_t DocumentSearchSource::FirstVisiblePage() {
  view_.RefreshLayout();
  return view_.Layout().firstVisiblePage;
}

int32_t DocumentSearchSource::LastVisiblePage() {
  view_.RefreshLayout();
  return view_.Layout().lastVisiblePage;
}

const runtime::TextRange* DocumentSearchSource::HighlightedMatch() {
  return selection_.Has() ? &selection_.Range() : nullptr;
}

void DocumentSearchSource::ShowMatch(const runtime::TextRange& match) {
  selection_.Clear();
  selection_.Set(match);
  const int32_t page = match.start.page;
  runtime::Matrix toPage;
  if (const content::ReflowModel* model = view_.ReflowedPage(page, toPage)) {
    // A reflowed page: the match is where the reflow put its glyphs.
    runtime::Rect rects[8];
    const uint32_t count = model->RangeRects(page, match, rects, 8);
    runtime::Rect all = count > 0 ? rects[0] : runtime::Rect{};
    for (uint32_t i = 1; i < count; ++i) {
      all = {std::min(all.x0, rects[i].x0), std::min(all.y0, rects[i].y0), std::max(all.x1, rects[i].x1),
             std::max(all.y1, rects[i].y1)};
    }
    if (count == 0 || !runtime::Matrix::CanTransformRect(toPage, all)) {
      view_.GoToPage(page, true);
    } else {
      view_.ScrollRectIntoView(page, runtime::Matrix::TransformRectBounds(all, toPage), kAlignIfHidden, kMatchMargin);
    }
    return;
  }
  // The match's outline on its first page gives the place to show.
  runtime::ArenaAllocator arena(document_.Context(), 1024, 256);
  content::TextOutline outline(arena, 16);
  content::PageText::ExtractPage(document_.Context(), document_, fonts_, textFonts_, page, match, outline);
  runtime::Rect bounds = runtime::kEmptyBoundsStart;
  for (uint32_t i = 0; i < outline.Size(); ++i) {
    if (outline[i].PointKind() != runtime::PackedPoint::kClose) bounds.IncludePoint(outline[i].X(), outline[i].Y());
  }
  if (bounds.x0 > bounds.x1 || bounds.y0 > bounds.y1) {
    view_.GoToPage(page, true);
    return;
  }
  view_.ScrollRectIntoView(page, bounds, kAlignIfHidden, kMatchMargin);
}

}  // namespace viewer
