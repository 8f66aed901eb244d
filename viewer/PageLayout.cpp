#include "viewer/PageLayout.h"

#include <algorithm>

#include "viewer/LayoutMath.h"
#include "viewer/PageSizeSource.h"

namespace viewer {

// One axis of the grid: its laid-out range, the boundaries known there and
// the content (the scroll range, laid out or estimated) that the others
// are extrapolated over.
struct GridAxis {
  int32_t start, end, count;
  int64_t low, high;
  int64_t startPosition, endPosition;
  const runtime::RecordVector<int64_t>* bounds;
};

namespace {

using runtime::Fixed;
using runtime::IntRect;
using runtime::Rect64;

// Cells are separated and surrounded by gaps of this many pixels.
constexpr int32_t kCellGap = 6;
// Pages wider than this many points count as this wide when fitted.
constexpr int64_t kLargestBasisPoints = 32767;

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int64_t HalfSum(int64_t a, int64_t b, int64_t c) {
  // (a - b + c) / 2, halving toward zero, in 128 bits so that no edge of a
  // huge layout wraps.
  const __int128 sum = static_cast<__int128>(a) - b + c;
  return static_cast<int64_t>(sum / 2);
}

Fixed LargerMagnitude(Fixed a, Fixed b) {
  return std::max(runtime::AbsSat(a), runtime::AbsSat(b));
}

int64_t BoundaryOf(const GridAxis& axis, int32_t i) {
  if (i < axis.start) {
    return runtime::Int64::AddSaturating(
        axis.low, LayoutMath::MulDiv64(i, axis.startPosition - axis.low, axis.start));
  }
  if (i == axis.start) return axis.startPosition;
  if (i >= axis.end) {
    return runtime::Int64::AddSaturating(
        axis.endPosition,
        LayoutMath::MulDiv64(i - axis.end, axis.high - axis.endPosition, axis.count - axis.end));
  }
  const uint32_t slot = static_cast<uint32_t>(i - axis.start - 1);
  if (slot < axis.bounds->Size()) return (*axis.bounds)[slot];
  // Boundaries not filled in yet are spread evenly over the range.
  return axis.startPosition + LayoutMath::MulDiv64(i - axis.start,
                                                   axis.endPosition - axis.startPosition,
                                                   axis.end - axis.start);
}

// Boundaries rise with the index: the last column (row) starting at or
// before v, v being clamped to the extent first.
int32_t IndexAt(const GridAxis& axis, int64_t v) {
  v = std::clamp(v, axis.low, std::max(axis.low, axis.high));
  int32_t lo = 0, hi = axis.count - 1;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo + 1) / 2;
    if (BoundaryOf(axis, mid) <= v) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return lo;
}

}  // namespace

PageLayout::PageLayout(runtime::LibraryContext* owner)
    : context(owner),
      columnBounds(owner, owner, 0),
      rowBounds(owner, owner, 0),
      cells(owner, owner, 0) {}

GridAxis PageLayout::Columns() const {
  return {cellRange.x0,        cellRange.x1,      columns,      content.x0, content.x1,
          firstColumnPosition, endColumnPosition, &columnBounds};
}

GridAxis PageLayout::Rows() const {
  return {cellRange.y0,     cellRange.y1,   rows,       content.y0, content.y1,
          firstRowPosition, endRowPosition, &rowBounds};
}

// ---- Gaps ----

int64_t PageLayout::LeftGap(bool alone, int32_t column) const {
  if (IsReflowMode(params.layoutMode)) return !alone && column != 0 ? 0 : 3;
  return column == 0 ? 6 : 3;
}

int64_t PageLayout::RightGap(bool alone, int32_t column) const {
  if (IsReflowMode(params.layoutMode)) return !alone && column != columns - 1 ? 0 : 3;
  return column == columns - 1 ? 6 : 3;
}

int64_t PageLayout::TopGap(bool alone, int32_t row) const {
  if (IsReflowMode(params.layoutMode)) return alone ? 3 : (row > 0 ? 1 : 0);
  return row == 0 ? 6 : 3;
}

int64_t PageLayout::BottomGap(bool alone, int32_t row) const {
  if (IsReflowMode(params.layoutMode)) return alone ? 3 : 0;
  return row == rows - 1 ? 6 : 3;
}

int64_t PageLayout::EdgeClass(bool alone, int32_t column) const {
  return LeftGap(alone, column) + RightGap(alone, column);
}

int32_t PageLayout::GapTotal(int32_t layoutMode, int32_t n) {
  const int64_t total = kCellGap * (static_cast<int64_t>(n) + (IsReflowMode(layoutMode) ? 0 : 1));
  return ClampToInt32(total);
}

// ---- Cells ----

const PageCell& PageLayout::CellAt(int32_t column, int32_t row) const {
  const int32_t c = std::clamp(column, cellRange.x0, std::max(cellRange.x0, cellRange.x1 - 1));
  const int32_t r = std::clamp(row, cellRange.y0, std::max(cellRange.y0, cellRange.y1 - 1));
  const int64_t index = static_cast<int64_t>(r - cellRange.y0) * (cellRange.x1 - cellRange.x0) +
                        (c - cellRange.x0);
  // The layout pass fills one record per laid-out cell; a grid whose
  // records are missing is a fault of the caller, reported, not read past.
  return const_cast<PageLayout*>(this)->cells.AtChecked(static_cast<uint32_t>(index));
}

PageCell& PageLayout::CellAt(int32_t column, int32_t row) {
  return const_cast<PageCell&>(static_cast<const PageLayout*>(this)->CellAt(column, row));
}

int64_t PageLayout::ColumnPosition(int32_t i) const { return BoundaryOf(Columns(), i); }

int64_t PageLayout::RowPosition(int32_t j) const { return BoundaryOf(Rows(), j); }

Rect64 PageLayout::CellRect(int32_t column, int32_t row) const {
  return {ColumnPosition(column), RowPosition(row), ColumnPosition(column + 1),
          RowPosition(row + 1)};
}

bool PageLayout::PageCellOf(int32_t page, int32_t& column, int32_t& row) const {
  if (columns <= 0 || rows <= 0) return false;
  const int64_t offset = static_cast<int64_t>(page) - firstPage;
  if (offset < 0 || offset >= static_cast<int64_t>(rows) * columns) return false;
  column = static_cast<int32_t>(offset % columns);
  row = static_cast<int32_t>(offset / columns);
  return true;
}

bool PageLayout::IsPageInRange(int32_t page) const {
  int32_t column = 0, row = 0;
  if (!PageCellOf(page, column, row)) return false;
  return cellRange.x0 <= column && column < cellRange.x1 && cellRange.y0 <= row &&
         row < cellRange.y1;
}

Rect64 PageLayout::PageRect(int32_t page) const {
  Rect64 cell, pageRect;
  CellAndPageRect(page, cell, pageRect);
  return pageRect;
}

void PageLayout::CellAndPageRect(int32_t page, Rect64& cell, Rect64& pageRect) const {
  cell.Clear();
  pageRect.Clear();
  if (!IsPageInRange(page)) return;
  int32_t column = 0, row = 0;
  PageCellOf(page, column, row);
  cell = CellRect(column, row);
  pageRect = PageRectInCell(column, row, cell);
}

// ---- Pages in their cells ----

int64_t PageLayout::PlaceInColumn(bool alone, int32_t column, int64_t left, int64_t right,
                                  int64_t width) const {
  if (columns > 1) {
    if (column == 0) return right - RightGap(alone, 0) - width;
    if (column == columns - 1) return left + LeftGap(alone, columns - 1);
  }
  return HalfSum(left, width, right);
}

int64_t PageLayout::PlaceInRow(bool alone, int32_t row, int64_t top, int64_t bottom,
                               int64_t height) const {
  if (rows > 1) {
    if (row == 0) return bottom - BottomGap(alone, 0) - height;
    if (row == rows - 1) return top + TopGap(alone, rows - 1);
  }
  if (IsReflowMode(params.layoutMode) && !alone) return top + TopGap(false, rows - 1);
  return HalfSum(top, height, bottom);
}

Rect64 PageLayout::PageRectInCell(int32_t column, int32_t row, const Rect64& cell) const {
  const PageCell& record = CellAt(column, row);
  const int64_t w = record.pageWidth, h = record.pageHeight;
  int64_t x = 0, y = 0;
  if ((record.flags & kCellAlone) != 0) {
    x = PlaceInColumn(true, column, window.x0, window.x1, w);
    y = cell.y0 + TopGap(true, row);
  } else {
    x = PlaceInColumn(false, column, cell.x0, cell.x1, w);
    if (IsReflowMode(params.layoutMode)) {
      const int64_t leftmost = window.x0 + LeftGap(false, column);
      if (window.x1 - w > leftmost) {
        x = PlaceInColumn(false, column, window.x0, window.x1, w);
      } else {
        x = LayoutMath::Median3Clamp(window.x1 - EdgeClass(false, column) - w, x, leftmost);
      }
    }
    y = PlaceInRow(false, row, cell.y0, cell.y1, h);
  }
  return {x, y, runtime::Int64::AddSaturating(x, w), runtime::Int64::AddSaturating(y, h)};
}

IntRect PageLayout::VisiblePageRect(int32_t page, const IntRect* margins) const {
  if (!IsPageInRange(page)) return {};
  Rect64 r = PageRect(page);
  if (margins != nullptr) {
    r = {runtime::Int64::AddSaturating(r.x0, -static_cast<int64_t>(margins->x0)),
         runtime::Int64::AddSaturating(r.y0, -static_cast<int64_t>(margins->y0)),
         runtime::Int64::AddSaturating(r.x1, margins->x1),
         runtime::Int64::AddSaturating(r.y1, margins->y1)};
  }
  const Rect64 visible = Rect64::Intersect(r, window);
  if (visible.IsEmpty()) return {};
  return {ClampToInt32(visible.x0 - window.x0), ClampToInt32(visible.y0 - window.y0),
          ClampToInt32(visible.x1 - window.x0), ClampToInt32(visible.y1 - window.y0)};
}

// ---- The computation ----

Fixed PageLayout::FitFactor(int32_t available, Fixed basis, Fixed scale) {
  // Whole points, rounded up, and capped.
  int64_t points = (static_cast<int64_t>(basis) + 0xFFFF) >> 16;
  points = std::min(points, kLargestBasisPoints);
  const int64_t pixels = points * scale;  // 16.16 device pixels
  // A page without width (or a scale without size) fits at any zoom.
  if (points <= 0 || pixels <= 0) return kMaxZoom;
  if (((static_cast<__int128>(pixels) * kMinZoom) >> 16) > (static_cast<int64_t>(available) << 16)) {
    return kMinZoom;
  }
  const int64_t factor = (static_cast<int64_t>(available) << 32) / pixels;
  return static_cast<Fixed>(std::min<int64_t>(factor, runtime::kFixedMax));
}

Fixed PageLayout::DeviceRangeZoom(Fixed extent, Fixed scale) {
  const int64_t pixels = (static_cast<int64_t>(extent) * scale) >> 16;
  if (pixels <= 0) return runtime::kFixedMax;
  const int64_t zoom = (static_cast<int64_t>(kDeviceRangeLimit) << 16) / pixels;
  return static_cast<Fixed>(std::min<int64_t>(zoom, runtime::kFixedMax));
}

void PageLayout::RotatedPageSize(PageSizeSource& pages, int32_t page, int32_t rotation,
                                 Fixed& width, Fixed& height) {
  width = height = 0;
  const int32_t count = pages.PageCount();
  if (count <= 0) return;
  const pdf::PageInfo info = pages.Page(std::clamp(page, 0, count - 1));
  LayoutMath::RotatedBoxSize(info.box, LayoutMath::AddRotations(info.rotation, rotation), width,
                             height);
}

int64_t PageLayout::RowWidth(PageSizeSource& pages, int32_t row) const {
  const int32_t count = pages.PageCount();
  int64_t sum = 0;
  const int64_t start = firstPage + static_cast<int64_t>(columns) * row;
  for (int64_t page = start; page < start + columns; ++page) {
    // The empty cells before the first page and after the last add nothing.
    if (page < 0 || page >= count) continue;
    Fixed width = 0, height = 0;
    RotatedPageSize(pages, static_cast<int32_t>(page), viewRotation, width, height);
    sum += width;
  }
  return sum;
}

void PageLayout::Compute(PageSizeSource& pages, const PageLayoutParams& input) {
  params = input;
  pageCount = input.pageCount;
  firstPage = input.firstPage;
  columns = std::max(input.columns, 1);
  rows = std::max(input.rows, 1);
  const int32_t mode = input.layoutMode;

  // 1-2: the requested page clamped into the grid, and its row.
  const int64_t lastCell = static_cast<int64_t>(firstPage) + static_cast<int64_t>(columns) * rows - 1;
  clampedPage = input.requestedPage < firstPage
                    ? firstPage
                    : static_cast<int32_t>(std::min<int64_t>(input.requestedPage, lastCell));
  const int32_t row = static_cast<int32_t>((static_cast<int64_t>(clampedPage) - firstPage) / columns);

  // 3: the space the pages may fill.
  Fixed pageWidth = 0, pageHeight = 0;
  RotatedPageSize(pages, clampedPage, viewRotation, pageWidth, pageHeight);
  int64_t usableWidth = input.view.width, usableHeight = input.view.height;
  if (input.verticalBarShown && input.view.verticalPolicy != kBarNever) {
    usableWidth -= input.view.verticalBarWidth;
  }
  if (input.horizontalBarShown && input.view.horizontalPolicy != kBarNever) {
    usableHeight -= input.view.horizontalBarHeight;
  }
  const int32_t availableWidth = ClampToInt32(usableWidth - (GapTotal(mode, columns) + 1));
  const int32_t availableHeight = ClampToInt32(usableHeight - (GapTotal(mode, 1) + 1));

  // 4: the zoom of the zoom mode.
  auto widthBasis = [&](bool widestOfBoth) -> Fixed {
    if (mode == kLayoutTwoUp || mode == kLayoutTwoUpCover) {
      return static_cast<Fixed>(std::min<int64_t>(RowWidth(pages, row), runtime::kFixedMax));
    }
    if (mode == kLayoutContinuous) {
      return widestOfBoth ? std::max(pageWidth, pages.LargestWidth()) : pages.LargestWidth();
    }
    return pageWidth;
  };
  Fixed factor = input.zoom;
  switch (input.zoomMode) {
    case kZoomFitWidth:
      factor = FitFactor(availableWidth, widthBasis(false), input.scaleX);
      break;
    case kZoomFitHeight:
      factor = FitFactor(availableHeight, pageHeight, input.scaleY);
      break;
    case kZoomFitPage:
      factor = std::min(FitFactor(availableWidth, widthBasis(true), input.scaleX),
                        FitFactor(availableHeight, pageHeight, input.scaleY));
      break;
    default:
      break;
  }

  // 5-6: the zoom limits, then the one that keeps every device coordinate
  // of the page within 90% of the 16-bit pixel range.
  factor = std::clamp(factor, kMinZoom, kMaxZoom);
  if (pages.PageCount() > 0) {
    const pdf::PageInfo info = pages.Page(std::clamp(clampedPage, 0, pages.PageCount() - 1));
    factor = std::min({factor, DeviceRangeZoom(LargerMagnitude(info.box.y0, info.box.y1), input.scaleY),
                       DeviceRangeZoom(LargerMagnitude(info.box.x0, info.box.x1), input.scaleX)});
  }
  effectiveZoom = factor;
}

// ---- Positions and visible pages ----

int32_t PageLayout::ColumnAtPosition(int64_t x) const { return IndexAt(Columns(), x); }

int32_t PageLayout::RowAtPosition(int64_t y) const { return IndexAt(Rows(), y); }

int32_t PageLayout::FindMostVisiblePage(const Rect64& rect) const {
  if (!Rect64::Intersect(rect, content).IsEmpty()) {
    int32_t best = -1;
    __int128 bestArea = 0;
    for (int32_t r = cellRange.y0; r < cellRange.y1; ++r) {
      for (int32_t c = cellRange.x0; c < cellRange.x1; ++c) {
        const int64_t page = firstPage + static_cast<int64_t>(r) * columns + c;
        if (page < 0 || page >= pageCount || !IsPageInRange(static_cast<int32_t>(page))) continue;
        const Rect64 seen = Rect64::Intersect(PageRect(static_cast<int32_t>(page)), rect);
        const __int128 area = static_cast<__int128>(seen.x1 - seen.x0) * (seen.y1 - seen.y0);
        if (area > bestArea) {
          bestArea = area;
          best = static_cast<int32_t>(page);
        }
      }
    }
    if (best >= 0) return best;
  }
  const int32_t row = RowAtPosition(rect.y0);
  const int32_t column = ColumnAtPosition(rect.x0);
  int64_t page = firstPage + static_cast<int64_t>(row) * columns + column;
  const int64_t below = page + columns;
  if (row + 1 < rows && below < pageCount && IsPageInRange(static_cast<int32_t>(below))) {
    page = below;
  }
  if (pageCount <= 0) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(page, 0, pageCount - 1));
}

bool PageLayout::FitsHorizontally(int32_t page) const {
  const Rect64 r = PageRect(page);
  return r.x0 >= window.x0 && r.x1 <= window.x1 && r.y1 >= window.y0;
}

bool PageLayout::FitsVertically(int32_t page) const {
  const Rect64 r = PageRect(page);
  return r.y0 >= window.y0 && r.y1 <= window.y1 && r.x1 >= window.x0;
}

}  // namespace viewer
