#include "content/PageText.h"

#include <utility>

#include "content/PageTextCollector.h"
#include "content/TextExtractor.h"
#include "content/TextPage.h"

namespace content {

namespace {

bool Meets(const runtime::Rect& box, const runtime::Rect& rect) {
  return box.x0 <= rect.x1 && box.y0 <= rect.y1 && box.x1 >= rect.x0 && box.y1 >= rect.y0;
}

bool Inside(const runtime::Rect& box, const runtime::Rect& rect) {
  if (box.IsEmpty()) return true;
  return box.x0 >= rect.x0 && box.y0 >= rect.y0 && box.x1 <= rect.x1 && box.y1 <= rect.y1;
}

// Keeps the hit found on a later page when `better` prefers it.
template <class Better>
void Merge(runtime::Optional<TextHit>& kept, const runtime::Optional<TextHit>& found, Better better) {
  if (!found.HasValue()) return;
  if (!kept.HasValue() || better(found->position, kept->position)) kept.Assign(*found);
}

}  // namespace

bool SelectionQuery::HitsBox(const SelectionQuery& query, int32_t page, const runtime::Rect& box, uint32_t mode) {
  const runtime::Rect* rect = nullptr;
  if (page == query.startPage) {
    rect = &query.startRect;
  } else if (page == query.endPage) {
    rect = &query.endRect;
  } else {
    return page > query.startPage && page < query.endPage;
  }
  return mode == 0 || mode == 2 ? Meets(box, *rect) : Inside(box, *rect);
}

runtime::Optional<runtime::TextRange> PageText::CollectPages(runtime::LibraryContext* owner, pdf::Document& document,
                                                            FontSource* fonts, TextFontSource* textFonts,
                                                            const SelectionQuery& query, int32_t mode) {
  runtime::Optional<TextHit> first, last, nearestA, nearestB;
  for (int32_t page = query.startPage; page <= query.endPage; ++page) {
    const uint32_t pageMode = page == query.startPage ? query.startMode : page == query.endPage ? query.endMode : 0;
    TextPage text = TextPage::Load(owner, document, page, fonts, textFonts);
    PageTextCollector collector(text, page, query, pageMode);
    text.Play(collector);
    Merge(first, collector.First(), runtime::TextPosition::Less);
    Merge(last, collector.Last(), runtime::TextPosition::Greater);
    Merge(nearestA, collector.NearestA(), runtime::TextPosition::Less);
    Merge(nearestB, collector.NearestB(), runtime::TextPosition::Less);
  }
  runtime::Optional<runtime::TextRange> result;
  auto choose = [&](const runtime::TextPosition& start, const runtime::TextPosition& end) {
    result.Assign(runtime::TextRange{start, end});
  };
  if (mode < 0 || mode > 2) return result;
  const bool hits = first.HasValue() && last.HasValue();
  if (mode == 0 || mode == 1) {
    if (hits) choose(first->position, last->position);
    return result;
  }
  if (nearestA.HasValue() && nearestB.HasValue()) {
    runtime::TextPosition start = nearestA->position;
    runtime::TextPosition end = nearestB->position;
    if (runtime::TextPosition::Greater(start, end)) std::swap(start, end);
    start.after = 0;
    end.after = 1;
    choose(start, end);
  } else if (!nearestA.HasValue() && !nearestB.HasValue()) {
    if (hits) choose(first->position, last->position);
  } else {
    const TextHit& nearest = nearestA.HasValue() ? *nearestA : *nearestB;
    if (last.HasValue() && SelectionQuery::HitsBox(query, last->position.page, last->box, 2)) {
      choose(nearest.position, last->position);
    } else if (first.HasValue() && SelectionQuery::HitsBox(query, first->position.page, first->box, 2)) {
      choose(nearest.position, first->position);
    }
  }
  // A tap without a rectangle on one page is a caret.
  if (result.HasValue() && query.startPage == query.endPage && query.startRect.IsEmpty()) {
    result->end = result->start;
  }
  return result;
}

void PageText::ExtractPage(runtime::LibraryContext* owner, pdf::Document& document, FontSource* fonts,
                           TextFontSource* textFonts, int32_t pageIndex, const runtime::TextRange& range,
                           TextOutline& outline) {
  if (pageIndex < range.start.page || pageIndex > range.end.page) return;
  TextPage text = TextPage::Load(owner, document, pageIndex, fonts, textFonts);
  TextExtractor extractor(text, pageIndex, range, outline);
  text.Play(extractor);
  if (range.end.page != pageIndex || !extractor.HasLastBox()) return;
  // The caret edge after the last character: its cell's end side.
  const auto& box = extractor.LastBox();
  runtime::PackedPoint point;
  runtime::PackedPoint::Pack(point, box[1].x, box[1].y, runtime::PackedPoint::kMove);
  outline.PushBack(point);
  runtime::PackedPoint::Pack(point, box[2].x, box[2].y, runtime::PackedPoint::kLine);
  outline.PushBack(point);
}

}  // namespace content
