#pragma once
// The page grid of the view: which pages are shown together, in how many
// columns and rows, at which effective zoom, and where the visible window
// lies over them. Layout coordinates are 64-bit device pixels, so that a
// continuous layout of a long document at a high zoom cannot overflow.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/Rect.h"
#include "runtime/Rect64.h"
#include "runtime/RecordVector.h"
#include "viewer/PageCell.h"
#include "viewer/PageLayoutParams.h"
#include "viewer/ViewFrame.h"

namespace viewer {

class PageSizeSource;
struct GridAxis;

class PageLayout {
 public:
  explicit PageLayout(runtime::LibraryContext* context);
  PageLayout(const PageLayout&) = delete;
  PageLayout& operator=(const PageLayout&) = delete;

  // ---- Gaps around pages, by layout mode (in layout units) ----
  // `alone` is the cell's alone flag; columns and rows are counted from 0.
  int64_t LeftGap(bool alone, int32_t column) const;
  int64_t RightGap(bool alone, int32_t column) const;
  int64_t TopGap(bool alone, int32_t row) const;
  int64_t BottomGap(bool alone, int32_t row) const;
  // LeftGap + RightGap of the column.
  int64_t EdgeClass(bool alone, int32_t column) const;
  // Total of the gaps between and around n cells along one axis.
  static int32_t GapTotal(int32_t layoutMode, int32_t n);

  // ---- Cells and their boundaries ----
  // The cell record, the column and row clamped into the laid-out range.
  // The range must not be empty.
  const PageCell& CellAt(int32_t column, int32_t row) const;
  PageCell& CellAt(int32_t column, int32_t row);
  int64_t ColumnPosition(int32_t i) const;
  int64_t RowPosition(int32_t j) const;
  runtime::Rect64 CellRect(int32_t column, int32_t row) const;
  // The page's cell; false for a page outside the grid.
  bool PageCellOf(int32_t page, int32_t& column, int32_t& row) const;
  // True when the page lies in the grid and its cell is laid out.
  bool IsPageInRange(int32_t page) const;
  // The page's rectangle; all zero when it is not in range.
  runtime::Rect64 PageRect(int32_t page) const;
  // Both rectangles of the page; both all zero when it is not in range.
  void CellAndPageRect(int32_t page, runtime::Rect64& cell, runtime::Rect64& pageRect) const;

  // ---- Pages in their cells ----
  int64_t PlaceInColumn(bool alone, int32_t column, int64_t left, int64_t right,
                        int64_t width) const;
  int64_t PlaceInRow(bool alone, int32_t row, int64_t top, int64_t bottom, int64_t height) const;
  runtime::Rect64 PageRectInCell(int32_t column, int32_t row, const runtime::Rect64& cell) const;
  // The visible part of the page (grown by `margins` {left, top, right,
  // bottom} when given), relative to the window's top-left corner; all
  // zero when nothing of it shows.
  runtime::IntRect VisiblePageRect(int32_t page, const runtime::IntRect* margins) const;

  // ---- The computation ----
  // The zoom that makes `basis` points (times `scale` pixels per point)
  // fill `available` pixels, at least the minimum zoom; a zero basis gives
  // the maximum zoom.
  static runtime::Fixed FitFactor(int32_t available, runtime::Fixed basis, runtime::Fixed scale);
  // The zoom above which a coordinate of `extent` points (times `scale`)
  // would leave 90% of the 16-bit pixel range; the maximum Fixed for 0.
  static runtime::Fixed DeviceRangeZoom(runtime::Fixed extent, runtime::Fixed scale);
  // Width and height in points of the page after its own rotation and the
  // view rotation; the index is clamped into the document.
  static void RotatedPageSize(PageSizeSource& pages, int32_t page, int32_t viewRotation,
                              runtime::Fixed& width, runtime::Fixed& height);
  // Sum of the rotated widths of the pages of one grid row, in points.
  int64_t RowWidth(PageSizeSource& pages, int32_t row) const;
  // The clamped page and the effective zoom from `params`, whose grid
  // range must be derived already.
  void Compute(PageSizeSource& pages, const PageLayoutParams& input);

  // Of the visible rows and columns, the laid-out page whose part inside
  // `rect` is the tallest (the earlier one on a tie); otherwise the page
  // under the rectangle's top-left corner or the one below it. Always a
  // page of the document when it has any.
  int32_t FindMostVisiblePage(const runtime::Rect64& rect) const;
  int32_t ColumnAtPosition(int64_t x) const;
  int32_t RowAtPosition(int64_t y) const;
  bool FitsHorizontally(int32_t page) const;
  bool FitsVertically(int32_t page) const;

  runtime::LibraryContext* context;
  PageLayoutParams params;
  int32_t viewRotation = 0;
  int32_t pageCount = 0;
  int32_t firstPage = 0;
  int32_t columns = 1;
  int32_t rows = 1;
  int32_t clampedPage = 0;
  runtime::Fixed effectiveZoom = runtime::kFixedOne;
  // The laid-out extent: left, top, right and bottom edges.
  runtime::Rect64 extent;
  // The visible window in layout coordinates.
  runtime::Rect64 window;
  // The laid-out (visible) cell range {c0, r0, c1, r1}, ends exclusive.
  runtime::IntRect cellRange;
  // Positions of column c0 and row r0, column c1 and row r1.
  int64_t firstColumnPosition = 0, firstRowPosition = 0;
  int64_t endColumnPosition = 0, endRowPosition = 0;
  // Boundaries of columns c0 + 1 .. c1 and rows r0 + 1 .. r1.
  runtime::RecordVector<int64_t> columnBounds;
  runtime::RecordVector<int64_t> rowBounds;
  // The laid-out cells, row by row, c1 - c0 per row.
  runtime::RecordVector<PageCell> cells;
  // The visible-page summary; -1 until computed.
  int32_t firstVisiblePage = -1;
  int32_t topPage = -1;
  int32_t mostVisiblePage = -1;
  int32_t lastVisiblePage = -1;
  // The scroll range: the extent grown by the estimated size of the
  // columns and rows not laid out.
  runtime::Rect64 content;
  ViewFrame frame;
  // Where the window's top-left corner starts before the grid grows around
  // it, relative to the clamped page's top-left corner; without it the
  // window starts at the corner of the page's cell.
  bool windowFromPage = false;
  Point64 windowFromPageOffset;

  // ---- Placement of the pages around the clamped page ----
  // The whole computation: grid range, zoom and placement, repeated while
  // a scroll bar turns out to be needed (three passes at most), then the
  // view's rotation frame.
  void ComputeWithScrollBars(PageSizeSource& pages, const PageLayoutParams& input);
  // Lays out the cells around the clamped page until the window is
  // covered, centres narrow content, estimates the parts not laid out and
  // moves the content's corner to the origin. The window starts at the top
  // left of the clamped page's cell.
  void PlaceAroundPage(PageSizeSource& pages);
  // A page's size in pixels at the effective zoom; zero outside the
  // document, except that the empty cell before page 0 of the cover mode
  // is sized like page 0.
  void PagePixelSize(PageSizeSource& pages, int32_t page, int64_t& width, int64_t& height) const;
  // The four visible-page indices from the window and the laid-out cells.
  void ComputeVisibleSummary();

 private:
  GridAxis Columns() const;
  GridAxis Rows() const;
  // Boundary k (0 for the first laid-out column or row) of the laid-out
  // range.
  int64_t& Boundary(bool vertical, uint32_t k);
  void SyncEnds();
  PageCell MakeCell(PageSizeSource& pages, int32_t column, int32_t row) const;
  // Lays out columns (rows) on one side until the window's edge there is
  // covered; true when the other side may need growing after the window
  // was pulled back.
  bool Grow(PageSizeSource& pages, bool vertical, bool forward);
  // Lays out one more row (vertical) or column, after the laid-out ones
  // (forward) or before them.
  void AddLine(PageSizeSource& pages, bool vertical, bool forward);
  void ResizeLine(bool vertical, int32_t index, int64_t size);
  void ResizeColumn(int32_t column, int64_t width);
  void ResizeRow(int32_t row, int64_t height);
  void Center(bool vertical);
  // Before centring along one axis: a shown scroll bar along it that the
  // other axis turns out not to need is hidden and its room given back.
  void GiveBackScrollBar(bool vertical);
  void EstimateContent();
  void Translate(int64_t dx, int64_t dy);

  int32_t anchorColumn_ = 0, anchorRow_ = 0;
  int64_t windowWidth_ = 0, windowHeight_ = 0;
  // The scroll bars of the pass being placed.
  MarginPoint barView_;
  bool horizontalBarShown_ = false, verticalBarShown_ = false;
};

}  // namespace viewer
