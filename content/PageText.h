#pragma once
// The page text drivers of selection: which characters a selection on
// screen takes (CollectPages) and the outline of a selected range on one
// page (ExtractPage). Each plays pages into a hit-testing text handler.
#include <cstdint>

#include "runtime/ArenaVector.h"
#include "runtime/Optional.h"
#include "runtime/PackedPoint.h"
#include "runtime/Rect.h"
#include "runtime/TextPosition.h"

namespace pdf {
class Document;
}

namespace content {

class FontSource;
class TextFontSource;

// A selection on screen: a rectangle with its hit-test mode on the start
// page and on the end page, and two points (pen down and pen up).
struct SelectionQuery {
  int32_t startPage = 0;
  runtime::Rect startRect;
  uint32_t startMode = 0;
  int32_t endPage = 0;
  runtime::Rect endRect;
  uint32_t endMode = 0;
  int32_t pointAPage = -1;
  runtime::FixedPoint pointA;
  int32_t pointBPage = -1;
  runtime::FixedPoint pointB;

  // Whether a character's box on `page` is selected: on the start and end
  // pages by their rectangles (modes 0 and 2: the box meets it; other
  // modes: the box lies inside it, an empty box counting as inside),
  // pages strictly between them wholly.
  static bool HitsBox(const SelectionQuery& query, int32_t page, const runtime::Rect& box, uint32_t mode);
};

// A character found by a collector.
struct TextHit {
  runtime::TextPosition position;
  runtime::Rect box;
};

// The outline of a selection: closed quadrilaterals, as path points.
using TextOutline = runtime::ArenaVector<runtime::PackedPoint>;

class PageText {
 public:
  // The range of text the selection takes, by `mode`: 0 and 1 from the
  // first to the last character hit; 2 between the characters nearest to
  // the two points (in page order), falling back on the hits. Nothing for
  // other modes or when nothing fits.
  static runtime::Optional<runtime::TextRange> CollectPages(runtime::LibraryContext* owner, pdf::Document& document,
                                                           FontSource* fonts, TextFontSource* textFonts,
                                                           const SelectionQuery& query, int32_t mode);
  // Adds to `outline` the quadrilaterals around the part of `range` on
  // page `pageIndex`; a page outside the range adds nothing.
  static void ExtractPage(runtime::LibraryContext* owner, pdf::Document& document, FontSource* fonts,
                          TextFontSource* textFonts, int32_t pageIndex, const runtime::TextRange& range,
                          TextOutline& outline);
};

}  // namespace content
