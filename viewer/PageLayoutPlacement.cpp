// The placement pass of the page grid: cells laid out around the clamped
// page only as far as the window needs, the rest of the document estimated
// so that the scroll range covers it.
#include <algorithm>

#include "runtime/Matrix.h"
#include "runtime/Scheduler.h"
#include "viewer/LayoutMath.h"
#include "viewer/PageGrid.h"
#include "viewer/PageLayout.h"
#include "viewer/PageSizeSource.h"

namespace viewer {
namespace {

using runtime::Fixed;
using runtime::IntRect;
using runtime::Matrix;
using runtime::Rect64;

// No column or row is narrower than this many pixels.
constexpr int64_t kSmallestCell = 5;

// points × zoom × scale, rounded up to whole pixels.
int64_t PointsToPixels(Fixed points, Fixed zoom, Fixed scale) {
  if (points <= 0) return 0;
  const __int128 product = static_cast<__int128>(points) * zoom * scale;
  const __int128 whole = (product + ((static_cast<__int128>(1) << 48) - 1)) >> 48;
  return static_cast<int64_t>(std::min<__int128>(whole, INT64_MAX / 4));
}

// A page's box {0, 0, w, h} turned by `rotation` inside a rectangle of the
// turned size, as Point::RotateInPage turns points.
Matrix RotationInPage(int32_t rotation, Fixed turnedWidth, Fixed turnedHeight) {
  switch (rotation) {
    case 90:
      return {0, runtime::kFixedOne, -runtime::kFixedOne, 0, turnedWidth, 0};
    case 180:
      return {-runtime::kFixedOne, 0, 0, -runtime::kFixedOne, turnedWidth, turnedHeight};
    case 270:
      return {0, -runtime::kFixedOne, runtime::kFixedOne, 0, 0, turnedHeight};
    default:
      return {};
  }
}

}  // namespace

int64_t& PageLayout::Boundary(bool vertical, uint32_t k) {
  if (k == 0) return vertical ? firstRowPosition : firstColumnPosition;
  return vertical ? rowBounds[k - 1] : columnBounds[k - 1];
}

void PageLayout::SyncEnds() {
  endColumnPosition = Boundary(false, static_cast<uint32_t>(cellRange.x1 - cellRange.x0));
  endRowPosition = Boundary(true, static_cast<uint32_t>(cellRange.y1 - cellRange.y0));
  extent = {firstColumnPosition, firstRowPosition, endColumnPosition, endRowPosition};
}

void PageLayout::PagePixelSize(PageSizeSource& pages, int32_t page, int64_t& width,
                               int64_t& height) const {
  width = height = 0;
  const int32_t count = pages.PageCount();
  if (page == -1 && params.layoutMode == kLayoutTwoUpCover && count > 0) page = 0;
  if (page < 0 || page >= count) return;
  Fixed w = 0, h = 0;
  RotatedPageSize(pages, page, viewRotation, w, h);
  width = PointsToPixels(w, effectiveZoom, params.scaleX);
  height = PointsToPixels(h, effectiveZoom, params.scaleY);
}

PageCell PageLayout::MakeCell(PageSizeSource& pages, int32_t column, int32_t row) const {
  PageCell cell;
  const int64_t page = firstPage + static_cast<int64_t>(row) * columns + column;
  PagePixelSize(pages, static_cast<int32_t>(page), cell.pageWidth, cell.pageHeight);
  if (page < 0 || page >= pages.PageCount()) return cell;
  const pdf::PageInfo info = pages.Page(static_cast<int32_t>(page));
  cell.pageRotation = info.rotation;
  // Page space (y up) to the page's pixels (y down), then turned by the
  // page's own rotation and the view's, as the page is drawn: the cells
  // hold the turned sizes, so the matrix must land in the turned page too.
  // The device scales belong to the screen's axes: a page turned by a
  // quarter runs its x along the screen's y, and takes that axis's scale.
  const int32_t rotation = LayoutMath::AddRotations(info.rotation, viewRotation);
  const bool turned = rotation == 90 || rotation == 270;
  const Fixed sx = runtime::FixedMul(effectiveZoom, turned ? params.scaleY : params.scaleX);
  const Fixed sy = runtime::FixedMul(effectiveZoom, turned ? params.scaleX : params.scaleY);
  const Matrix toPixels{sx, 0, 0, -sy, -runtime::FixedMul(info.box.x0, sx),
                        runtime::FixedMul(info.box.y1, sy)};
  const Fixed w = runtime::FixedMul(info.box.x1 - info.box.x0, sx);
  const Fixed h = runtime::FixedMul(info.box.y1 - info.box.y0, sy);
  cell.pageMatrix = Matrix::Concat(toPixels, RotationInPage(rotation, turned ? h : w, turned ? w : h));
  return cell;
}

void PageLayout::ResizeLine(bool vertical, int32_t index, int64_t size) {
  const int32_t start = vertical ? cellRange.y0 : cellRange.x0;
  const int32_t end = vertical ? cellRange.y1 : cellRange.x1;
  const int32_t anchor = vertical ? anchorRow_ : anchorColumn_;
  const uint32_t k = static_cast<uint32_t>(index - start);
  const int64_t grow = size - (Boundary(vertical, k + 1) - Boundary(vertical, k));
  if (grow == 0) return;
  const uint32_t n = static_cast<uint32_t>(end - start);
  // The anchor and what follows it grow forwards; a column (row) before
  // the anchor pushes the ones before it backwards.
  if (index < anchor) {
    for (uint32_t i = 0; i <= k; ++i) Boundary(vertical, i) -= grow;
  } else {
    for (uint32_t i = k + 1; i <= n; ++i) Boundary(vertical, i) += grow;
  }
  SyncEnds();
}

void PageLayout::ResizeColumn(int32_t column, int64_t width) { ResizeLine(false, column, width); }

void PageLayout::ResizeRow(int32_t row, int64_t height) { ResizeLine(true, row, height); }

void PageLayout::AddLine(PageSizeSource& pages, bool vertical, bool forward) {
  const int32_t laidColumns = cellRange.x1 - cellRange.x0;
  const int32_t laidRows = cellRange.y1 - cellRange.y0;
  int32_t& start = vertical ? cellRange.y0 : cellRange.x0;
  int32_t& end = vertical ? cellRange.y1 : cellRange.x1;
  const int32_t line = forward ? end : start - 1;
  if (vertical) {
    if (forward) {
      PageGrid::AddRowBottom(cells, laidColumns);
    } else {
      PageGrid::AddRowTop(cells, laidColumns);
    }
  } else if (forward) {
    PageGrid::AddColumnRight(cells, laidColumns, laidRows);
  } else {
    PageGrid::AddColumnLeft(cells, laidColumns, laidRows);
  }
  // Make the new cells; the line is as wide (tall) as its largest cell.
  const int32_t across = vertical ? laidColumns : laidRows;
  const uint32_t rowBase = forward ? cells.Size() - static_cast<uint32_t>(laidColumns) : 0;
  auto cellSize = [&](const PageCell& cell, int32_t column, int32_t row, bool heights) {
    return heights ? cell.pageHeight + TopGap(false, row) + BottomGap(false, row)
                   : cell.pageWidth + EdgeClass(false, column);
  };
  int64_t size = kSmallestCell;
  for (int32_t a = 0; a < across; ++a) {
    const int32_t column = vertical ? cellRange.x0 + a : line;
    const int32_t row = vertical ? line : cellRange.y0 + a;
    const uint32_t index =
        vertical ? rowBase + static_cast<uint32_t>(a)
                 : static_cast<uint32_t>(a * (laidColumns + 1) + (forward ? laidColumns : 0));
    cells[index] = MakeCell(pages, column, row);
    size = std::max(size, cellSize(cells[index], column, row, vertical));
  }
  // The new line starts empty at the edge it is added to.
  runtime::RecordVector<int64_t>& bounds = vertical ? rowBounds : columnBounds;
  if (forward) {
    bounds.Append(vertical ? endRowPosition : endColumnPosition);
    end += 1;
  } else {
    bounds.Append(0);
    auto records = bounds.Records();
    std::rotate(records.begin(), records.end() - 1, records.end());
    records[0] = vertical ? firstRowPosition : firstColumnPosition;
    start -= 1;
  }
  // Lines across that are too small for their new cell grow.
  for (int32_t a = 0; a < across; ++a) {
    const int32_t column = vertical ? cellRange.x0 + a : line;
    const int32_t row = vertical ? line : cellRange.y0 + a;
    const int32_t other = vertical ? column : row;
    const int64_t needed = cellSize(CellAt(column, row), column, row, !vertical);
    const int64_t now = vertical ? ColumnPosition(other + 1) - ColumnPosition(other)
                                 : RowPosition(other + 1) - RowPosition(other);
    if (now < needed) ResizeLine(!vertical, other, needed);
  }
  SyncEnds();
  // A new line never moves the lines already placed.
  int32_t& anchor = vertical ? anchorRow_ : anchorColumn_;
  const int32_t savedAnchor = anchor;
  anchor = forward ? INT32_MIN : INT32_MAX;
  ResizeLine(vertical, line, size);
  anchor = savedAnchor;
}

bool PageLayout::Grow(PageSizeSource& pages, bool vertical, bool forward) {
  auto low = [&](const Rect64& r) { return vertical ? r.y0 : r.x0; };
  auto high = [&](const Rect64& r) { return vertical ? r.y1 : r.x1; };
  auto outside = [&] { return forward ? high(window) > high(extent) : low(window) < low(extent); };
  const int32_t count = vertical ? rows : columns;
  auto more = [&] {
    const IntRect& c = cellRange;
    return forward ? (vertical ? c.y1 : c.x1) < count : (vertical ? c.y0 : c.x0) > 0;
  };
  if (!outside()) return false;
  while (more()) {
    runtime::ChargeWork(context, runtime::kWorkCostLight);
    AddLine(pages, vertical, forward);
    if (!outside()) return false;
  }
  // Everything on this side is laid out: pull the window back inside, and
  // say whether the other side may now need more.
  const int64_t shift = forward ? high(extent) - high(window) : low(extent) - low(window);
  window = Rect64::OffsetSaturating(window, vertical ? 0 : shift, vertical ? shift : 0);
  forward = !forward;
  return more();
}

void PageLayout::GiveBackScrollBar(bool vertical) {
  // The bar across this axis is not needed when the other axis fits: its
  // room goes back to the window.
  const bool otherFits = vertical ? cellRange.x0 == 0 && cellRange.x1 == columns &&
                                        extent.x1 - extent.x0 <= windowWidth_
                                  : cellRange.y0 == 0 && cellRange.y1 == rows &&
                                        extent.y1 - extent.y0 <= windowHeight_;
  if (!otherFits) return;
  if (vertical && horizontalBarShown_ && barView_.horizontalPolicy == kBarWhenNeeded) {
    windowHeight_ += barView_.horizontalBarHeight;
    window.y1 += barView_.horizontalBarHeight;
    horizontalBarShown_ = false;
  } else if (!vertical && verticalBarShown_ && barView_.verticalPolicy == kBarWhenNeeded) {
    windowWidth_ += barView_.verticalBarWidth;
    window.x1 += barView_.verticalBarWidth;
    verticalBarShown_ = false;
  }
}

void PageLayout::Center(bool vertical) {
  const int32_t start = vertical ? cellRange.y0 : cellRange.x0;
  const int32_t end = vertical ? cellRange.y1 : cellRange.x1;
  const int32_t count = vertical ? rows : columns;
  const int64_t laid = vertical ? extent.y1 - extent.y0 : extent.x1 - extent.x0;
  if (laid > (vertical ? windowHeight_ : windowWidth_) || start != 0 || end != count) return;
  GiveBackScrollBar(vertical);
  const int64_t size = vertical ? windowHeight_ : windowWidth_;
  if (count == 1) {
    // The single column (row) spans the window; the page is placed in its
    // middle.
    if (vertical) {
      const int32_t saved = anchorRow_;
      anchorRow_ = INT32_MIN;
      ResizeRow(0, size);
      anchorRow_ = saved;
    } else {
      const int32_t saved = anchorColumn_;
      anchorColumn_ = INT32_MIN;
      ResizeColumn(0, size);
      anchorColumn_ = saved;
    }
  } else {
    const int64_t slack = size - laid;
    const int64_t before = slack / 2;
    if (vertical) {
      extent.y0 -= before;
      extent.y1 += slack - before;
    } else {
      extent.x0 -= before;
      extent.x1 += slack - before;
    }
  }
  if (vertical) {
    window.y0 = extent.y0;
    window.y1 = extent.y1;
  } else {
    window.x0 = extent.x0;
    window.x1 = extent.x1;
  }
}

void PageLayout::EstimateContent() {
  content = extent;
  auto estimate = [](int64_t missing, int64_t laidSize, int64_t laidCount) -> int64_t {
    if (missing <= 0 || laidCount <= 0) return 0;
    const __int128 total = static_cast<__int128>(missing) * laidSize;
    return static_cast<int64_t>((total + laidCount - 1) / laidCount);
  };
  const int64_t laidWidth = endColumnPosition - firstColumnPosition;
  const int64_t laidHeight = endRowPosition - firstRowPosition;
  const int64_t laidColumns = cellRange.x1 - cellRange.x0;
  const int64_t laidRows = cellRange.y1 - cellRange.y0;
  content.x0 -= estimate(cellRange.x0, laidWidth, laidColumns);
  content.y0 -= estimate(cellRange.y0, laidHeight, laidRows);
  content.x1 += estimate(columns - cellRange.x1, laidWidth, laidColumns);
  content.y1 += estimate(rows - cellRange.y1, laidHeight, laidRows);
}

void PageLayout::Translate(int64_t dx, int64_t dy) {
  extent = Rect64::OffsetSaturating(extent, dx, dy);
  content = Rect64::OffsetSaturating(content, dx, dy);
  window = Rect64::OffsetSaturating(window, dx, dy);
  firstColumnPosition += dx;
  endColumnPosition += dx;
  firstRowPosition += dy;
  endRowPosition += dy;
  for (int64_t& b : columnBounds.Records()) b += dx;
  for (int64_t& b : rowBounds.Records()) b += dy;
}

void PageLayout::PlaceAroundPage(PageSizeSource& pages) {
  cells.Clear();
  columnBounds.Clear();
  rowBounds.Clear();
  const int64_t offset = static_cast<int64_t>(clampedPage) - firstPage;
  anchorColumn_ = static_cast<int32_t>(offset % columns);
  anchorRow_ = static_cast<int32_t>(offset / columns);
  cellRange = {anchorColumn_, anchorRow_, anchorColumn_ + 1, anchorRow_ + 1};
  const PageCell anchor = MakeCell(pages, anchorColumn_, anchorRow_);
  cells.Append(anchor);
  const int64_t width =
      std::max(kSmallestCell, anchor.pageWidth + EdgeClass(false, anchorColumn_));
  const int64_t height = std::max(
      kSmallestCell, anchor.pageHeight + TopGap(false, anchorRow_) + BottomGap(false, anchorRow_));
  firstColumnPosition = firstRowPosition = 0;
  columnBounds.Append(width);
  rowBounds.Append(height);
  SyncEnds();
  window = {0, 0, windowWidth_, windowHeight_};
  if (windowFromPage) {
    const Rect64 pageRect =
        PageRectInCell(anchorColumn_, anchorRow_, CellRect(anchorColumn_, anchorRow_));
    window = Rect64::OffsetSaturating(window, runtime::Int64::AddSaturating(pageRect.x0, windowFromPageOffset.x),
                                      runtime::Int64::AddSaturating(pageRect.y0, windowFromPageOffset.y));
  }

  for (bool more = true; more;) {
    more = false;
    // Every direction is tried in each round.
    more |= Grow(pages, false, false);
    more |= Grow(pages, false, true);
    more |= Grow(pages, true, false);
    more |= Grow(pages, true, true);
  }
  Center(false);
  Center(true);
  EstimateContent();
  Translate(-content.x0, -content.y0);
  ComputeVisibleSummary();
}

void PageLayout::ComputeVisibleSummary() {
  firstVisiblePage = topPage = mostVisiblePage = lastVisiblePage = -1;
  __int128 bestArea = 0;
  int64_t bestTop = INT64_MAX;
  for (int32_t r = cellRange.y0; r < cellRange.y1; ++r) {
    for (int32_t c = cellRange.x0; c < cellRange.x1; ++c) {
      const int64_t page = firstPage + static_cast<int64_t>(r) * columns + c;
      if (page < 0 || page >= pageCount) continue;
      const Rect64 rect = PageRect(static_cast<int32_t>(page));
      const Rect64 seen = Rect64::Intersect(rect, window);
      if (seen.IsEmpty()) continue;
      const auto index = static_cast<int32_t>(page);
      if (firstVisiblePage < 0) firstVisiblePage = index;
      lastVisiblePage = index;
      const __int128 area = static_cast<__int128>(seen.x1 - seen.x0) * (seen.y1 - seen.y0);
      if (area > bestArea) {
        bestArea = area;
        mostVisiblePage = index;
      }
      if (rect.y0 >= window.y0 && rect.y0 - window.y0 < bestTop) {
        bestTop = rect.y0 - window.y0;
        topPage = index;
      }
    }
  }
  if (topPage < 0) topPage = firstVisiblePage;
}

void PageLayout::ComputeWithScrollBars(PageSizeSource& pages, const PageLayoutParams& input) {
  PageLayoutParams p = input;
  p.pageCount = pages.PageCount();
  p.DeriveGridRange();
  p.horizontalBarShown = p.view.horizontalPolicy == kBarAlways;
  p.verticalBarShown = p.view.verticalPolicy == kBarAlways;
  Fixed largestWidth = pages.LargestWidth(), largestHeight = pages.LargestHeight();
  for (int pass = 0; pass < 3; ++pass) {
    // Page records read while placing may change the largest page.
    if (p.layoutMode == kLayoutContinuous &&
        (pages.LargestWidth() != largestWidth || pages.LargestHeight() != largestHeight)) {
      largestWidth = pages.LargestWidth();
      largestHeight = pages.LargestHeight();
      p.horizontalBarShown = p.view.horizontalPolicy == kBarAlways;
      p.verticalBarShown = p.view.verticalPolicy == kBarAlways;
    }
    Compute(pages, p);
    windowWidth_ = std::max<int64_t>(
        0, static_cast<int64_t>(p.view.width) -
               (p.verticalBarShown && p.view.verticalPolicy != kBarNever ? p.view.verticalBarWidth : 0));
    windowHeight_ = std::max<int64_t>(
        0, static_cast<int64_t>(p.view.height) - (p.horizontalBarShown && p.view.horizontalPolicy != kBarNever
                                                       ? p.view.horizontalBarHeight
                                                       : 0));
    barView_ = p.view;
    horizontalBarShown_ = p.horizontalBarShown;
    verticalBarShown_ = p.verticalBarShown;
    PlaceAroundPage(pages);
    p.horizontalBarShown = horizontalBarShown_;
    p.verticalBarShown = verticalBarShown_;
    bool changed = false;
    if (!p.horizontalBarShown && p.view.horizontalPolicy != kBarNever &&
        window.x1 - window.x0 < content.x1 - content.x0) {
      p.horizontalBarShown = changed = true;
    }
    if (!p.verticalBarShown && p.view.verticalPolicy != kBarNever &&
        window.y1 - window.y0 < content.y1 - content.y0) {
      p.verticalBarShown = changed = true;
    }
    if (!changed) break;
  }
  params = p;
  frame.rotation = viewRotation;
  // The origin brings the turned extent back to positive coordinates.
  const Rect64 turned = Rect64::Rotate(viewRotation, content);
  frame.origin = {-turned.x0, -turned.y0};
}

}  // namespace viewer
