// Painting the page-view window from the page grid: every laid-out cell
// gets its frame, the page its one-pixel black border and two-pixel shadow,
// and the page itself its drawn bitmap where one fits the current
// placement, white elsewhere. What no cell covers is grey. Reflowed pages
// have no frame, border or shadow: they sit on white, a dashed line
// between one and the next.
#include <algorithm>

#include "viewer/HostBitmap.h"
#include "viewer/PageLayoutParams.h"
#include "viewer/RenderRegion.h"

namespace viewer {

using runtime::IntRect;

IntRect LayoutRectInWindow(const PageLayout& layout, const runtime::Rect64& rect);
IntRect IntersectPixels(const IntRect& a, const IntRect& b);

namespace {

// A Fixed colour channel 0..1.0 as a byte: 1.0 gives 255, 0.5 gives 127.
constexpr uint8_t ChannelByte(int32_t v) { return static_cast<uint8_t>((v >= 0x8000 ? v - 1 : v) >> 8); }
constexpr uint8_t kHalfGrey = ChannelByte(0x8000);
constexpr uint8_t kWhite = ChannelByte(0x10000);

void FillCellRect(runtime::ViewSurface& surface, const IntRect& clip, const IntRect& rect, uint8_t r, uint8_t g,
                  uint8_t b) {
  const IntRect part = IntersectPixels(rect, clip);
  if (part.IsEmpty()) return;
  surface.Fill({part.x0, part.y0, part.x1, part.y1}, r, g, b);
}

}  // namespace

bool RenderRegion::PaintVisibleCells(runtime::ViewSurface& surface, const runtime::HostRect& clipRect) {
  const IntRect clip{clipRect.left, clipRect.top, clipRect.right, clipRect.bottom};
  if (clip.IsEmpty()) return true;
  // Around the grid (a page narrower than the window) the window is grey.
  FillCellRect(surface, clip, clip, 128, 128, 128);
  if (layout_ == nullptr) return true;
  const PageLayout& layout = *layout_;
  const bool reflow = IsReflowMode(layout.params.layoutMode);
  const IntRect& cells = layout.cellRange;
  for (int32_t row = cells.y0; row < cells.y1; ++row) {
    for (int32_t column = cells.x0; column < cells.x1; ++column) {
      const int64_t index = layout.firstPage + static_cast<int64_t>(row) * layout.columns + column;
      const IntRect cell = LayoutRectInWindow(layout, layout.CellRect(column, row));
      if (IntersectPixels(cell, clip).IsEmpty()) continue;
      if (index < 0 || index >= layout.pageCount || !layout.IsPageInRange(static_cast<int32_t>(index))) {
        const uint8_t empty = reflow ? kWhite : kHalfGrey;
        FillCellRect(surface, clip, cell, empty, empty, empty);
        continue;
      }
      const int32_t page = static_cast<int32_t>(index);
      const IntRect p = LayoutRectInWindow(layout, layout.PageRect(page));
      if (reflow) {
        // Reflowed pages follow one another on white, parted by a dashed
        // line from the second row on.
        FillCellRect(surface, clip, {cell.x0, cell.y0, cell.x1, p.y0}, kWhite, kWhite, kWhite);
        FillCellRect(surface, clip, {cell.x0, p.y1, cell.x1, cell.y1}, kWhite, kWhite, kWhite);
        FillCellRect(surface, clip, {cell.x0, p.y0, p.x0, p.y1}, kWhite, kWhite, kWhite);
        FillCellRect(surface, clip, {p.x1, p.y0, cell.x1, p.y1}, kWhite, kWhite, kWhite);
        if (row > 0) strips_.Fill(surface, clip, {cell.x0, cell.y0, cell.x1, p.y0});
      } else {
        // The frame: the four bands between the cell and the page.
        FillCellRect(surface, clip, {cell.x0, cell.y0, cell.x1, p.y0}, kHalfGrey, kHalfGrey, kHalfGrey);
        FillCellRect(surface, clip, {cell.x0, p.y1, cell.x1, cell.y1}, kHalfGrey, kHalfGrey, kHalfGrey);
        FillCellRect(surface, clip, {cell.x0, p.y0, p.x0, p.y1}, kHalfGrey, kHalfGrey, kHalfGrey);
        FillCellRect(surface, clip, {p.x1, p.y0, cell.x1, p.y1}, kHalfGrey, kHalfGrey, kHalfGrey);
        // The border, then the shadow to the right and below.
        FillCellRect(surface, clip, {p.x0 - 1, p.y0 - 1, p.x1 + 1, p.y0}, 0, 0, 0);
        FillCellRect(surface, clip, {p.x0 - 1, p.y1, p.x1 + 1, p.y1 + 1}, 0, 0, 0);
        FillCellRect(surface, clip, {p.x0 - 1, p.y0, p.x0, p.y1}, 0, 0, 0);
        FillCellRect(surface, clip, {p.x1, p.y0, p.x1 + 1, p.y1}, 0, 0, 0);
        FillCellRect(surface, clip, {p.x1 + 1, p.y0 + 2, p.x1 + 3, p.y1 + 3}, 0, 0, 0);
        FillCellRect(surface, clip, {p.x0 + 2, p.y1 + 1, p.x1 + 3, p.y1 + 3}, 0, 0, 0);
      }
      // The page: its bitmap where one was drawn for this placement.
      const IntRect shown = IntersectPixels(p, clip);
      if (shown.IsEmpty()) continue;
      const RenderRequest* drawn = nullptr;
      PagePlacement now;
      if (PagePlacement::Build(layout, page, now)) {
        for (uint32_t i = 0; i < queue_.Size(); ++i) {
          const RenderRequest* r = queue_[i];
          if (r != nullptr && r->page == page && r->bitmap != nullptr && SamePlacement(now, r->bitmapPlacement)) {
            drawn = r;
          }
        }
      }
      if (drawn == nullptr) {
        FillCellRect(surface, clip, shown, kWhite, kWhite, kWhite);
        continue;
      }
      const IntRect b{p.x0 + drawn->originX, p.y0 + drawn->originY, p.x0 + drawn->originX + drawn->bitmap->Width(),
                      p.y0 + drawn->originY + drawn->bitmap->Height()};
      // White around the bitmap's place, then the bitmap 1:1.
      FillCellRect(surface, shown, {shown.x0, shown.y0, shown.x1, b.y0}, kWhite, kWhite, kWhite);
      FillCellRect(surface, shown, {shown.x0, b.y1, shown.x1, shown.y1}, kWhite, kWhite, kWhite);
      FillCellRect(surface, shown, {shown.x0, b.y0, b.x0, b.y1}, kWhite, kWhite, kWhite);
      FillCellRect(surface, shown, {b.x1, b.y0, shown.x1, b.y1}, kWhite, kWhite, kWhite);
      const IntRect target = IntersectPixels(b, shown);
      if (target.IsEmpty()) continue;
      surface.DrawBitmap(drawn->bitmap->Handle(),
                         {target.x0 - b.x0, target.y0 - b.y0, target.x1 - b.x0, target.y1 - b.y0},
                         {target.x0, target.y0, target.x1, target.y1});
    }
  }
  return true;
}

}  // namespace viewer
