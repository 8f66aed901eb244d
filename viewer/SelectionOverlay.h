#pragma once
// The document's selection (a text selection or the match search shows)
// marked on the drawn pages: its characters' outline, page by page, is
// inverted in the page bitmaps. When the selection changes, the pixels of
// the old and of the new marks are drawn again, so the old marks go and
// the new ones appear.
#include <cstdint>

#include "runtime/Rect.h"
#include "runtime/TextPosition.h"
#include "viewer/DocumentSelection.h"
#include "viewer/PageOverlay.h"

namespace content {
class FontSource;
class TextFontSource;
}  // namespace content

namespace pdf {
class Document;
}

namespace viewer {

class RenderRegion;

class SelectionOverlay final : public PageOverlay, public SelectionListener {
 public:
  // Quadrilaterals of one page kept at most; a longer selection on a page
  // is marked by their bounds past this many.
  static constexpr uint32_t kMaxRects = 96;
  // Pages of a selection whose marks are drawn again at one change at
  // most; only the pages the region shows count anyway.
  static constexpr uint32_t kMostMarkedPages = 16;

  SelectionOverlay(pdf::Document& document, DocumentSelection& selection, content::FontSource* fonts,
                   content::TextFontSource* textFonts);
  ~SelectionOverlay();
  SelectionOverlay(const SelectionOverlay&) = delete;
  SelectionOverlay& operator=(const SelectionOverlay&) = delete;

  // Marks the pages `region` draws (null: none).
  void Attach(RenderRegion* region);

  void PaintOver(int32_t page, const runtime::Matrix& toPixels, const runtime::IntRect& area, HostBitmap& bitmap,
                 int32_t originX, int32_t originY) override;
  // On a reflowed page the marks are the boxes the reflow gave the
  // selection's glyphs.
  void PaintOverReflowed(int32_t page, const content::ReflowModel& model, const runtime::Matrix& toPixels,
                         const runtime::IntRect& area, HostBitmap& bitmap, int32_t originX, int32_t originY) override;
  void BeforeSelectionChange() override;
  void AfterSelectionChange() override;

 private:
  // The outline of the selection on `page` (page space), from the one-page
  // cache; false when the page holds none of it.
  bool PageRects(int32_t page);
  struct MarkedArea {
    int32_t page;
    runtime::IntRect area;
  };
  // Inverts the pixels of `rects` (mapped by `toPixels`) within `area`.
  static void Invert(const runtime::Rect* rects, uint32_t count, const runtime::Matrix& toPixels,
                     const runtime::IntRect& area, HostBitmap& bitmap, int32_t originX, int32_t originY);
  // Where the current selection's marks are on the pages the region shows
  // (page pixels of each page's bitmap); how many were written.
  uint32_t MarkedAreas(MarkedArea* out);

  pdf::Document& document_;
  DocumentSelection& selection_;
  content::FontSource* fonts_;
  content::TextFontSource* textFonts_;
  RenderRegion* region_ = nullptr;
  bool listening_ = false;
  // The cached page's rectangles (page space); -1 when none is cached.
  int32_t cachedPage_ = -1;
  uint32_t rectCount_ = 0;
  runtime::Rect rects_[kMaxRects];
  // Changes of the selection so far: a cache read across a change is
  // dropped.
  uint32_t generation_ = 0;
  // The old selection's marks, from before a change until after it.
  MarkedArea oldAreas_[kMostMarkedPages] = {};
  uint32_t oldCount_ = 0;
};

}  // namespace viewer
