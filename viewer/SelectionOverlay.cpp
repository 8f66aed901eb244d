#include "viewer/SelectionOverlay.h"

#include <algorithm>
#include <utility>

#include "content/ReflowModel.h"
#include "pdf/Document.h"
#include "runtime/ErrorTrap.h"
#include "viewer/HostBitmap.h"
#include "viewer/RenderRegion.h"
#include "viewer/SelectionHighlight.h"

namespace viewer {

int32_t HostPixelBytes(int32_t kind);

namespace {


// A page-space rectangle in whole page pixels, rounded outward; empty when
// it cannot be mapped.
runtime::IntRect ToPixels(const runtime::Matrix& toPixels, const runtime::Rect& rect) {
  if (!runtime::Matrix::CanTransformRect(toPixels, rect)) return {};
  return runtime::Rect::ToPixelBounds(runtime::Matrix::TransformRectBounds(rect, toPixels));
}

}  // namespace

SelectionOverlay::SelectionOverlay(pdf::Document& document, DocumentSelection& selection, content::FontSource* fonts,
                                   content::TextFontSource* textFonts)
    : document_(document), selection_(selection), fonts_(fonts), textFonts_(textFonts) {}

SelectionOverlay::~SelectionOverlay() { Attach(nullptr); }

void SelectionOverlay::Attach(RenderRegion* region) {
  if (region_ != nullptr) region_->SetOverlay(nullptr);
  region_ = region;
  if (region_ != nullptr) region_->SetOverlay(this);
  if (region_ != nullptr && !listening_) listening_ = selection_.AddListener(this);
  if (region_ == nullptr && listening_) {
    selection_.RemoveListener(this);
    listening_ = false;
  }
  cachedPage_ = -1;
}

bool SelectionOverlay::PageRects(int32_t page) {
  if (!selection_.Has()) return false;
  // A copy: reading the page's text may let other work run, which may
  // change the selection meanwhile.
  const runtime::TextRange range = selection_.Range();
  if (page < range.start.page || page > range.end.page) return false;
  if (page == cachedPage_) return rectCount_ > 0;
  // The page counts as cached only once its outline is complete and the
  // selection did not change while it was read.
  cachedPage_ = -1;
  rectCount_ = 0;
  const uint32_t generation = generation_;
  uint32_t count = 0;
  // A page whose text cannot be read shows no marks; the page itself is
  // still drawn.
  runtime::CatchAllExceptCancel(document_.Context(), [&] {
    count = SelectionHighlight::PageRects(document_, fonts_, textFonts_, page, range, rects_, kMaxRects);
  });
  if (generation != generation_) return false;
  rectCount_ = count;
  cachedPage_ = page;
  return rectCount_ > 0;
}

void SelectionOverlay::PaintOver(int32_t page, const runtime::Matrix& toPixels, const runtime::IntRect& area,
                                 HostBitmap& bitmap, int32_t originX, int32_t originY) {
  if (!PageRects(page)) return;
  Invert(rects_, rectCount_, toPixels, area, bitmap, originX, originY);
}

void SelectionOverlay::PaintOverReflowed(int32_t page, const content::ReflowModel& model,
                                         const runtime::Matrix& toPixels, const runtime::IntRect& area,
                                         HostBitmap& bitmap, int32_t originX, int32_t originY) {
  if (!selection_.Has()) return;
  runtime::Rect rects[kMaxRects];
  const uint32_t count = model.RangeRects(page, selection_.Range(), rects, kMaxRects);
  Invert(rects, count, toPixels, area, bitmap, originX, originY);
}

void SelectionOverlay::Invert(const runtime::Rect* rects, uint32_t count, const runtime::Matrix& toPixels,
                              const runtime::IntRect& area, HostBitmap& bitmap, int32_t originX, int32_t originY) {
  if (count == 0) return;
  runtime::HostBitmap& handle = bitmap.Handle();
  const runtime::HostPixelLayout* layout = handle.Begin(0);
  const int32_t bytes = layout != nullptr ? HostPixelBytes(layout->kind) : 0;
  if (bytes > 0 && layout->firstRow != nullptr) {
    const runtime::IntRect inBitmap{originX, originY, originX + layout->width, originY + layout->height};
    for (uint32_t i = 0; i < count; ++i) {
      const runtime::IntRect r = ToPixels(toPixels, rects[i]);
      const runtime::IntRect part{std::max({r.x0, area.x0, inBitmap.x0}), std::max({r.y0, area.y0, inBitmap.y0}),
                                  std::min({r.x1, area.x1, inBitmap.x1}), std::min({r.y1, area.y1, inBitmap.y1})};
      if (part.IsEmpty()) continue;
      // Inverting keeps the text readable on any colour, and drawing the
      // area again takes the mark away.
      for (int32_t y = part.y0; y < part.y1; ++y) {
        uint8_t* row = layout->firstRow + static_cast<int64_t>(y - originY) * layout->rowStride;
        uint8_t* from = row + static_cast<int64_t>(part.x0 - originX) * bytes;
        uint8_t* to = row + static_cast<int64_t>(part.x1 - originX) * bytes;
        for (uint8_t* p = from; p < to; ++p) *p = static_cast<uint8_t>(~*p);
      }
    }
  }
  handle.End();
}

uint32_t SelectionOverlay::MarkedAreas(MarkedArea* out) {
  if (region_ == nullptr || !selection_.Has()) return 0;
  const runtime::TextRange range = selection_.Range();
  const int32_t last = std::min(range.end.page, range.start.page + static_cast<int32_t>(kMostMarkedPages) - 1);
  uint32_t count = 0;
  for (int32_t page = range.start.page; page <= last && page >= 0; ++page) {
    runtime::Matrix toPixels;
    const runtime::Rect* rects = rects_;
    uint32_t rectCount = 0;
    runtime::Rect reflowed[kMaxRects];
    if (const content::ReflowModel* model = region_->ReflowBitmapMatrix(page, toPixels)) {
      // A reflowed page: the boxes the reflow gave the glyphs.
      rects = reflowed;
      rectCount = model->RangeRects(page, range, reflowed, kMaxRects);
    } else if (region_->BitmapMatrix(page, toPixels) && PageRects(page)) {
      rectCount = rectCount_;
    }
    runtime::IntRect all{};
    for (uint32_t i = 0; i < rectCount; ++i) {
      const runtime::IntRect r = ToPixels(toPixels, rects[i]);
      if (r.IsEmpty()) continue;
      all = all.IsEmpty() ? r
                          : runtime::IntRect{std::min(all.x0, r.x0), std::min(all.y0, r.y0), std::max(all.x1, r.x1),
                                             std::max(all.y1, r.y1)};
    }
    if (!all.IsEmpty()) out[count++] = {page, all};
  }
  return count;
}

void SelectionOverlay::BeforeSelectionChange() {
  // Only noted here: drawing now would mark the old selection again.
  oldCount_ = MarkedAreas(oldAreas_);
}

void SelectionOverlay::AfterSelectionChange() {
  ++generation_;
  cachedPage_ = -1;
  const uint32_t oldCount = std::exchange(oldCount_, 0);
  if (region_ == nullptr) return;
  for (uint32_t i = 0; i < oldCount; ++i) region_->RedrawPageArea(oldAreas_[i].page, oldAreas_[i].area);
  MarkedArea fresh[kMostMarkedPages];
  const uint32_t count = MarkedAreas(fresh);
  for (uint32_t i = 0; i < count; ++i) region_->RedrawPageArea(fresh[i].page, fresh[i].area);
}

}  // namespace viewer
