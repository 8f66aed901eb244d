#include "content/PageTextCollector.h"

#include <cstdlib>

#include "content/TextRun.h"

namespace content {

namespace {

bool RectsMeetClosed(const runtime::Rect& a, const runtime::Rect& b) {
  return a.x0 <= b.x1 && a.y0 <= b.y1 && a.x1 >= b.x0 && a.y1 >= b.y0;
}

}  // namespace

PageTextCollector::PageTextCollector(TextPage& page, int32_t pageIndex, const SelectionQuery& query, uint32_t mode)
    : TextHandler(page, 0, pageIndex, false, false), query_(query), pageIndex_(pageIndex), mode_(mode) {}

int PageTextCollector::BeginString(bool isRepeat, bool fontHasUnicode, bool isVisible) {
  if (isRepeat || !fontHasUnicode || !isVisible) return 0;
  // A point on this page may be nearest to any string; otherwise only
  // strings that meet the page's rectangle can hold hits.
  if (query_.pointAPage == pageIndex_ || query_.pointBPage == pageIndex_) return 1;
  const runtime::Rect box = CurrentRun()->BoundingBox();
  if (pageIndex_ == query_.startPage) return RectsMeetClosed(box, query_.startRect) ? 1 : 0;
  if (pageIndex_ == query_.endPage) return RectsMeetClosed(box, query_.endRect) ? 1 : 0;
  return 1;
}

void PageTextCollector::OnChar(uint32_t, bool, bool) {
  TextHit hit;
  hit.position = Position();
  hit.box = CurrentRun()->GlyphRect(CurrentGlyphIndex());
  if (SelectionQuery::HitsBox(query_, pageIndex_, hit.box, mode_)) {
    if (!first_.HasValue()) first_.Assign(hit);
    last_.Assign(hit);
  }
  if (query_.pointAPage == pageIndex_) Nearest(nearestA_, distanceA_, query_.pointA, hit);
  if (query_.pointBPage == pageIndex_) Nearest(nearestB_, distanceB_, query_.pointB, hit);
}

void PageTextCollector::Nearest(runtime::Optional<TextHit>& best, int64_t& bestDistance, runtime::FixedPoint point,
                                const TextHit& hit) {
  // The box centre's distance: horizontal plus vertical; ties keep the
  // earlier character.
  const int64_t cx = (static_cast<int64_t>(hit.box.x0) + hit.box.x1) / 2;
  const int64_t cy = (static_cast<int64_t>(hit.box.y0) + hit.box.y1) / 2;
  const int64_t distance = std::llabs(cx - point.x) + std::llabs(cy - point.y);
  if (distance >= bestDistance) return;
  bestDistance = distance;
  best.Assign(hit);
}

}  // namespace content
