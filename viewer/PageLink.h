#pragma once
// Link annotations as the page view uses them: the record of one link (the
// focused link, or a hit), the link under a page point, a link's bounds,
// and the next link in reading order among the pages on screen.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace content {
class ReflowModel;
}
namespace pdf {
class Document;
}

namespace viewer {

class PageView;

struct PageLink {
  int32_t page = -1;
  // Index of the annotation in the page's "Annots".
  int32_t index = -1;
  runtime::ObjectHandle annotation;
  // Nonzero while the link is held down.
  uint16_t active = 0;

  bool Exists() const { return index >= 0; }
  static bool Same(const PageLink& a, const PageLink& b) { return a.page == b.page && a.index == b.index; }

  // The link under (x, y) (page space) on page `page`: of overlapping links
  // the one latest in "Annots". None for a page without "Annots".
  static PageLink FindAt(pdf::Document& document, int32_t page, runtime::Fixed x, runtime::Fixed y);
  // Whether `link` is on `page` and holds (x, y).
  static bool HitTest(const PageLink& link, int32_t page, runtime::Fixed x, runtime::Fixed y);
  // On a reflowed page (`model`): the link whose reflowed area holds
  // (x, y) (reflow space), of overlapping links the one latest in
  // "Annots"; whether `link` is on `page` and its reflowed area holds the
  // point; and the bounds of its reflowed area, false when the reflow
  // placed none of it.
  static PageLink FindAtReflowed(pdf::Document& document, const content::ReflowModel& model, int32_t page,
                                 runtime::Fixed x, runtime::Fixed y);
  static bool HitTestReflowed(const content::ReflowModel& model, const PageLink& link, int32_t page,
                              runtime::Fixed x, runtime::Fixed y);
  static bool ReflowedBounds(const content::ReflowModel& model, const PageLink& link, runtime::Rect& out);
  // The link's "Rect", normalised; (runtime, 2) when it has fewer than four
  // numbers.
  static runtime::Rect Bounds(const PageLink& link);
  // The link's bounds in view pixels (relative to the window); false when
  // its page is not laid out. On a reflowed page, the bounds of its
  // reflowed area.
  static bool BoundsInView(PageView& view, const PageLink& link, runtime::Rect& out);
  // The next link in reading order among the laid-out pages whose bounds
  // meet the window: after `focused` (when it is on screen), by page, then
  // top edge, then (with `tieBreak`) left, bottom and right edges, or
  // (without) bottom edge and wholly visible links first, then index.
  // None when there is no such link. A data-input error ends the search
  // with what was found.
  static PageLink FindNext(PageView& view, pdf::Document& document, const PageLink* focused, bool tieBreak);
};

}  // namespace viewer
