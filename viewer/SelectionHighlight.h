#pragma once
// Where a text range shows on the page-view window: the outline of its
// part on one page (a quadrilateral around each run of its characters),
// each quadrilateral's bounds mapped through the page's placement and
// rounded outward to window pixels. The search's match lines and the
// selection's marking on the window both start from these rectangles.
#include <cstdint>

#include "runtime/Rect.h"
#include "runtime/TextPosition.h"

namespace content {
class FontSource;
class TextFontSource;
}  // namespace content

namespace pdf {
class Document;
}

namespace viewer {

class PageView;

class SelectionHighlight {
 public:
  // Writes the bounds (page space) of the quadrilaterals of `range` on
  // `page` into `out`, up to `capacity` of them (the last takes in any
  // further ones); the count written.
  static uint32_t PageRects(pdf::Document& document, content::FontSource* fonts, content::TextFontSource* textFonts,
                            int32_t page, const runtime::TextRange& range, runtime::Rect* out, uint32_t capacity);
  // Writes up to `capacity` rectangles of `range` on `page` into `out`;
  // the count written. None when the page is not laid out or holds no part
  // of the range.
  static uint32_t RectsInView(PageView& view, pdf::Document& document, content::FontSource* fonts,
                              content::TextFontSource* textFonts, int32_t page, const runtime::TextRange& range,
                              runtime::IntRect* out, uint32_t capacity);
};

}  // namespace viewer
