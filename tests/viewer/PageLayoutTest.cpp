#include "viewer/PageLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"
#include "viewer/LayoutMath.h"
#include "viewer/PageSizeSource.h"
#include "viewer/ViewFrame.h"
#include "viewer/WideFixed.h"

namespace viewer {
namespace {

using runtime::Fixed;
using runtime::FixedFromInt;
using runtime::IntRect;
using runtime::Rect64;

// 96 dpi: device pixels per point.
constexpr Fixed kScale96 = (96 << 16) / 72;

// Pages of fixed sizes in points.
class FixedPages : public PageSizeSource {
 public:
  FixedPages(int32_t count, int32_t width, int32_t height) : count_(count) {
    base_.estimated = 0;
    base_.box = {0, 0, FixedFromInt(width), FixedFromInt(height)};
  }
  int32_t PageCount() const override { return count_; }
  pdf::PageInfo Page(int32_t index) override {
    for (const auto& special : special_) {
      if (special.first == index) return special.second;
    }
    return base_;
  }
  Fixed LargestWidth() const override { return Largest(true); }
  Fixed LargestHeight() const override { return Largest(false); }
  void Set(int32_t index, runtime::Rect box, int32_t rotation = 0) {
    special_.push_back({index, pdf::PageInfo{0, rotation, box}});
  }

 private:
  Fixed Largest(bool width) const {
    Fixed best = width ? base_.box.x1 - base_.box.x0 : base_.box.y1 - base_.box.y0;
    for (const auto& special : special_) {
      const runtime::Rect& b = special.second.box;
      best = std::max(best, width ? b.x1 - b.x0 : b.y1 - b.y0);
    }
    return best;
  }
  int32_t count_;
  pdf::PageInfo base_;
  std::vector<std::pair<int32_t, pdf::PageInfo>> special_;
};

// The zoom that fits `basisPoints` (rounded up) of a page at `scale` into
// `available` pixels, worked out in floating point.
Fixed ExpectedFit(double available, double basisPoints, Fixed scale) {
  const double pixels = std::ceil(basisPoints) * scale / 65536.0;
  return static_cast<Fixed>(std::floor(available / pixels * 65536.0));
}

class PageLayoutTest : public ::testing::Test {
 protected:
  PageLayoutParams Params(int32_t mode, int32_t zoomMode, int32_t count, int32_t page) {
    PageLayoutParams p;
    p.view.width = 240;
    p.view.height = 320;
    p.layoutMode = mode;
    p.zoomMode = zoomMode;
    p.requestedPage = page;
    p.pageCount = count;
    p.scaleX = p.scaleY = kScale96;
    p.DeriveGridRange();
    return p;
  }

  // A grid laid out by hand: every cell `cellWidth` x `cellHeight` pixels
  // from the origin, all cells laid out, pages w x h.
  void LayOut(int32_t mode, int32_t first, int32_t columns, int32_t rows, int64_t cellWidth,
              int64_t cellHeight, int64_t w, int64_t h) {
    layout.params.layoutMode = mode;
    layout.firstPage = first;
    layout.columns = columns;
    layout.rows = rows;
    layout.pageCount = first + columns * rows;
    layout.cellRange = {0, 0, columns, rows};
    layout.extent = {0, 0, cellWidth * columns, cellHeight * rows};
    layout.content = layout.extent;
    layout.window = layout.extent;
    layout.firstColumnPosition = layout.firstRowPosition = 0;
    layout.endColumnPosition = cellWidth * columns;
    layout.endRowPosition = cellHeight * rows;
    layout.columnBounds.Clear();
    layout.rowBounds.Clear();
    for (int32_t c = 1; c <= columns; ++c) layout.columnBounds.Append(cellWidth * c);
    for (int32_t r = 1; r <= rows; ++r) layout.rowBounds.Append(cellHeight * r);
    layout.cells.Clear();
    for (int32_t i = 0; i < columns * rows; ++i) {
      PageCell cell;
      cell.pageWidth = w;
      cell.pageHeight = h;
      layout.cells.Append(cell);
    }
  }

  runtime::LibraryContext context;
  PageLayout layout{&context};
};

TEST_F(PageLayoutTest, SmallRoutines) {
  EXPECT_EQ(LayoutMath::MulDiv64(1'000'000'000'000, 1'000'000'000'000, 1'000'000),
            1'000'000'000'000'000'000);
  EXPECT_EQ(LayoutMath::MulDiv64(7, -10, 4), -17);  // toward zero
  EXPECT_EQ(LayoutMath::MulDiv64(5, 5, 0), 0);
  EXPECT_EQ(LayoutMath::MulDiv64(INT64_MAX, 4, 1), INT64_MAX);
  // The lower bound is tested first, so it wins when the bounds cross.
  EXPECT_EQ(LayoutMath::Median3Clamp(10, 5, 0), 10);
  EXPECT_EQ(LayoutMath::Median3Clamp(0, 5, 3), 3);
  EXPECT_EQ(LayoutMath::Median3Clamp(0, 2, 3), 2);
  const int32_t inverses[][2] = {{90, 270}, {0, 0}, {-90, 90}, {180, 180}, {450, 270}, {-720, 0}};
  for (const auto& c : inverses) EXPECT_EQ(LayoutMath::InverseRotation(c[0]), c[1]) << c[0];
  // A page turned by 270 in a view turned by 180 is turned by 90; by 90 in
  // a view turned by 270, not at all.
  EXPECT_EQ(LayoutMath::AddRotations(270, 180), 90);
  EXPECT_EQ(LayoutMath::AddRotations(90, 270), 0);
  EXPECT_EQ(LayoutMath::AddRotations(-90, 0), 270);
  Fixed w = 0, h = 0;
  LayoutMath::RotatedBoxSize({0, 0, FixedFromInt(612), FixedFromInt(792)}, 90, w, h);
  EXPECT_EQ(w, FixedFromInt(792));
  EXPECT_EQ(h, FixedFromInt(612));
}

TEST_F(PageLayoutTest, WideValuesAndTurnsInsideAPage) {
  const struct {
    WideFixed value;
    int64_t rounded, ceiling;
  } wides[] = {
      {{5, 32768}, 5, 6},     {{5, 32769}, 6, 6},  {{5, 0}, 5, 5},          {{5, 1}, 5, 6},
      {{5, 65536 + 40000}, 7, 7}, {{5, -1}, 5, 5}, {{INT64_MAX, 65535}, INT64_MAX, INT64_MAX},
  };
  for (const auto& w : wides) {
    EXPECT_EQ(WideFixed::Round(w.value), w.rounded) << w.value.whole << " " << w.value.fraction;
    EXPECT_EQ(WideFixed::Ceil(w.value), w.ceiling) << w.value.whole << " " << w.value.fraction;
  }
  EXPECT_EQ(WideFixed::Normalize({5, -1}), (WideFixed{4, 65535}));

  const Fixed w = FixedFromInt(100), h = FixedFromInt(50);
  const struct {
    int32_t rotation;
    int32_t x, y;
  } inPage[] = {{0, 10, 20}, {90, 80, 10}, {180, 90, 30}, {270, 20, 40}};
  for (const auto& t : inPage) {
    Fixed x = FixedFromInt(10), y = FixedFromInt(20);
    LayoutMath::RotateInPage(t.rotation, w, h, x, y);
    EXPECT_EQ(x, FixedFromInt(t.x)) << t.rotation;
    EXPECT_EQ(y, FixedFromInt(t.y)) << t.rotation;
  }
  Fixed dx = 3, dy = 5;
  LayoutMath::RotateQuarter(90, dx, dy);
  EXPECT_EQ(dx, -5);
  EXPECT_EQ(dy, 3);

  // At 10.0 on a 96 dpi screen a box is clipped to about 2212 points.
  const runtime::Rect clipped = LayoutMath::PageBoxSize(
      {FixedFromInt(-30000), 0, FixedFromInt(30000), FixedFromInt(100)}, kMaxZoom, kScale96, kScale96);
  EXPECT_NEAR(clipped.x1 / 65536.0, 0x7FFF * 0.9 / (10.0 * 96 / 72), 0.5);
  EXPECT_EQ(clipped.x0, -clipped.x1);
  EXPECT_EQ(clipped.y1, FixedFromInt(100));
  int64_t cx = 0, cy = 0;
  LayoutMath::Center({-3, 0, 0, INT64_MAX}, cx, cy);
  EXPECT_EQ(cx, -1);
  EXPECT_EQ(cy, INT64_MAX / 2);
}

TEST_F(PageLayoutTest, QuarterTurnsOfPointsAndFrames) {
  const struct {
    int32_t rotation;
    Point64 expected;
  } turns[] = {{0, {3, 5}}, {90, {-5, 3}}, {180, {-3, -5}}, {270, {5, -3}}};
  for (const auto& t : turns) EXPECT_EQ(Point64::Rotate(t.rotation, {3, 5}), t.expected);
  EXPECT_EQ(Point64::Rotate(180, {INT64_MIN, 0}).x, INT64_MAX);

  ViewFrame frame{90, {1000, 0}};
  EXPECT_EQ(ViewFrame::FromLocal(frame, {10, 20}), (Point64{980, 10}));
  // The turned rectangle stays a proper rectangle.
  EXPECT_EQ(ViewFrame::MapRect(frame, {0, 0, 100, 200}), (Rect64{800, 0, 1000, 100}));
}

TEST_F(PageLayoutTest, GapsByMode) {
  LayOut(kLayoutTwoUp, 0, 1, 1, 100, 100, 50, 50);
  EXPECT_EQ(layout.EdgeClass(false, 0), 12);  // one column: both outer gaps
  LayOut(kLayoutReflowSingle, 0, 1, 1, 100, 100, 50, 50);
  EXPECT_EQ(layout.EdgeClass(true, 0), 6);
  EXPECT_EQ(layout.EdgeClass(false, 0), 6);
  EXPECT_EQ(layout.TopGap(false, 0), 0);
  EXPECT_EQ(layout.BottomGap(false, 0), 0);
  EXPECT_EQ(layout.BottomGap(true, 0), 3);
  LayOut(kLayoutReflowSingle, 0, 3, 2, 100, 100, 50, 50);
  EXPECT_EQ(layout.EdgeClass(false, 0), 3);
  EXPECT_EQ(layout.EdgeClass(false, 1), 0);
  EXPECT_EQ(layout.EdgeClass(true, 1), 6);
  EXPECT_EQ(layout.TopGap(false, 1), 1);
  LayOut(kLayoutSinglePage, 0, 3, 2, 100, 100, 50, 50);
  EXPECT_EQ(layout.EdgeClass(false, 0), 9);
  EXPECT_EQ(layout.EdgeClass(false, 1), 6);
  EXPECT_EQ(layout.EdgeClass(false, 2), 9);
  EXPECT_EQ(layout.TopGap(false, 0), 6);
  EXPECT_EQ(layout.BottomGap(false, 1), 6);
  EXPECT_EQ(layout.BottomGap(false, 0), 3);
  EXPECT_EQ(PageLayout::GapTotal(kLayoutContinuous, 1), 12);
  EXPECT_EQ(PageLayout::GapTotal(kLayoutReflow, 1), 6);
}

TEST_F(PageLayoutTest, PagesOutsideTheGridHaveNoRectangles) {
  LayOut(kLayoutContinuous, 2, 1, 3, 100, 200, 60, 80);
  EXPECT_FALSE(layout.IsPageInRange(1));
  EXPECT_TRUE(layout.IsPageInRange(2));
  EXPECT_TRUE(layout.IsPageInRange(4));
  EXPECT_FALSE(layout.IsPageInRange(5));
  EXPECT_EQ(layout.PageRect(5), Rect64{});
  // Cells outside the laid-out range are not in range either.
  layout.cellRange = {0, 1, 1, 3};
  EXPECT_FALSE(layout.IsPageInRange(2));
  Rect64 cell{1, 1, 1, 1}, page{1, 1, 1, 1};
  layout.CellAndPageRect(2, cell, page);
  EXPECT_EQ(cell, Rect64{});
  EXPECT_EQ(page, Rect64{});
}

TEST_F(PageLayoutTest, OneColumnCentresThePageInEveryMode) {
  for (int32_t mode : {kLayoutSinglePage, kLayoutContinuous, kLayoutReflowSingle}) {
    LayOut(mode, 0, 1, 1, 101, 300, 60, 80);
    const Rect64 r = layout.PageRect(0);
    EXPECT_EQ(r.x0, 20) << mode;  // (0 - 60 + 101) / 2, toward zero
    EXPECT_EQ(r.x1 - r.x0, 60) << mode;
    EXPECT_EQ(r.y1 - r.y0, 80) << mode;
  }
  // A reflowed page with the flag off sits under the top gap of its cell.
  LayOut(kLayoutReflowSingle, 0, 1, 1, 101, 300, 60, 80);
  EXPECT_EQ(layout.PageRect(0).y0, 0);
  LayOut(kLayoutSinglePage, 0, 1, 1, 101, 300, 60, 80);
  EXPECT_EQ(layout.PageRect(0).y0, 110);
}

TEST_F(PageLayoutTest, SideBySidePagesMeetInTheMiddle) {
  LayOut(kLayoutTwoUp, 0, 2, 1, 100, 100, 60, 80);
  const Rect64 left = layout.PageRect(0);
  const Rect64 right = layout.PageRect(1);
  EXPECT_EQ(left.x1, 100 - 3);  // flush right, before the right gap
  EXPECT_EQ(right.x0, 100 + 3);  // flush left, after the left gap
  EXPECT_EQ(left.y0, right.y0);
}

TEST_F(PageLayoutTest, VisiblePartOfAPage) {
  LayOut(kLayoutContinuous, 0, 1, 3, 100, 200, 60, 80);
  // The first row's page sits on its cell's bottom gap (y 117..197), the
  // middle row's is centred (260..340).
  layout.window = {0, 200, 100, 350};
  EXPECT_EQ(layout.VisiblePageRect(0, nullptr), IntRect{});
  EXPECT_EQ(layout.VisiblePageRect(1, nullptr), (IntRect{20, 60, 80, 140}));
  const IntRect margins{5, 200, 5, 0};
  EXPECT_EQ(layout.VisiblePageRect(1, &margins), (IntRect{15, 0, 85, 140}));
  // Growing page 0 by its margins brings it into view only past the edge.
  const IntRect touching{0, 0, 0, 3};
  EXPECT_EQ(layout.VisiblePageRect(0, &touching), IntRect{});
  const IntRect further{0, 0, 0, 4};
  EXPECT_EQ(layout.VisiblePageRect(0, &further), (IntRect{20, 0, 80, 1}));
}

TEST_F(PageLayoutTest, PositionsOutsideTheLaidOutCellsAreExtrapolated) {
  LayOut(kLayoutContinuous, 0, 1, 10, 100, 200, 60, 80);
  layout.cellRange = {0, 4, 1, 6};
  layout.firstRowPosition = 800;
  layout.endRowPosition = 1200;
  layout.rowBounds.Clear();
  layout.rowBounds.Append(1000);
  layout.rowBounds.Append(1200);
  EXPECT_EQ(layout.RowPosition(4), 800);
  EXPECT_EQ(layout.RowPosition(5), 1000);
  EXPECT_EQ(layout.RowPosition(6), 1200);
  EXPECT_EQ(layout.RowPosition(8), 1600);
  EXPECT_EQ(layout.RowPosition(2), 400);
  EXPECT_EQ(layout.RowAtPosition(1399), 6);
  EXPECT_EQ(layout.RowAtPosition(-50), 0);
  EXPECT_EQ(layout.RowAtPosition(INT64_MAX), 9);
  EXPECT_EQ(layout.CellRect(0, 7), (Rect64{0, 1400, 100, 1600}));
}

TEST_F(PageLayoutTest, AMillionPagesKeepSixtyFourBitPositions) {
  constexpr int32_t kPages = 1'000'000;
  FixedPages pages(kPages, 612, 792);
  PageLayoutParams p = Params(kLayoutContinuous, kZoomExplicit, kPages, 500'000);
  p.zoom = kMaxZoom;
  ASSERT_EQ(p.rows, kPages);
  layout.Compute(pages, p);
  EXPECT_EQ(layout.clampedPage, 500'000);
  EXPECT_EQ(layout.effectiveZoom, kMaxZoom);
  // Rows of 10,560 pixels: the whole column is far beyond 32 bits.
  const int64_t rowHeight = 10'560 + 6;
  layout.extent = {0, rowHeight * 499'999, 8200, rowHeight * 500'001};
  layout.content = {0, 0, 8200, rowHeight * kPages};
  layout.cellRange = {0, 499'999, 1, 500'001};
  layout.firstRowPosition = rowHeight * 499'999;
  layout.endRowPosition = rowHeight * 500'001;
  layout.rowBounds.Clear();
  layout.rowBounds.Append(rowHeight * 500'000);
  layout.rowBounds.Append(rowHeight * 500'001);
  EXPECT_EQ(layout.RowPosition(kPages), rowHeight * kPages);
  EXPECT_EQ(layout.RowPosition(kPages - 1), rowHeight * (kPages - 1));
  EXPECT_EQ(layout.RowPosition(1), rowHeight);
  EXPECT_EQ(layout.RowAtPosition(rowHeight * 750'000 + 5), 750'000);
}

TEST_F(PageLayoutTest, GridRangeOfEachLayoutMode) {
  const struct {
    int32_t mode, count, page, first, columns, rows;
  } cases[] = {
      {kLayoutSinglePage, 10, 5, 5, 1, 1},  {kLayoutTwoUp, 10, 5, 4, 2, 1},
      {kLayoutTwoUpCover, 10, 5, 5, 2, 1},  {kLayoutTwoUpCover, 10, 0, -1, 2, 1},
      {kLayoutTwoUpCover, 1, 0, 0, 1, 1},   {kLayoutTwoUpCover, 2, 1, 0, 2, 1},
      {kLayoutTwoUp, 1, 0, 0, 1, 1},        {kLayoutContinuous, 10, 5, 0, 1, 10},
      {kLayoutReflow, 7, 3, 0, 1, 7},       {kLayoutReflowSingle, 7, 3, 3, 1, 1},
      {kLayoutContinuous, 0, 0, 0, 1, 1},
  };
  for (const auto& c : cases) {
    PageLayoutParams p;
    p.layoutMode = c.mode;
    p.pageCount = c.count;
    p.requestedPage = c.page;
    p.DeriveGridRange();
    EXPECT_EQ(p.firstPage, c.first) << c.mode << " page " << c.page;
    EXPECT_EQ(p.columns, c.columns) << c.mode << " page " << c.page;
    EXPECT_EQ(p.rows, c.rows) << c.mode << " page " << c.page;
  }
}

TEST_F(PageLayoutTest, GoldenZoomOfOnePageFittedInContinuousMode) {
  FixedPages pages(1, 612, 792);
  layout.Compute(pages, Params(kLayoutContinuous, kZoomFitPage, 1, 0));
  // 240 - 12 - 1 pixels across 612 points and 320 - 12 - 1 down 792.
  const Fixed byWidth = ExpectedFit(227, 612, kScale96);
  const Fixed byHeight = ExpectedFit(307, 792, kScale96);
  EXPECT_EQ(layout.effectiveZoom, std::min(byWidth, byHeight));
  EXPECT_EQ(layout.effectiveZoom, byWidth);
  EXPECT_EQ(layout.clampedPage, 0);

  layout.Compute(pages, Params(kLayoutContinuous, kZoomFitHeight, 1, 0));
  EXPECT_EQ(layout.effectiveZoom, byHeight);

  // A shown vertical bar narrows the view.
  PageLayoutParams barred = Params(kLayoutContinuous, kZoomFitWidth, 1, 0);
  barred.view.verticalBarWidth = 13;
  barred.verticalBarShown = true;
  layout.Compute(pages, barred);
  EXPECT_EQ(layout.effectiveZoom, ExpectedFit(214, 612, kScale96));
  barred.view.verticalPolicy = kBarNever;
  layout.Compute(pages, barred);
  EXPECT_EQ(layout.effectiveZoom, byWidth);
}

TEST_F(PageLayoutTest, CoverModeAtTheFirstPageLeavesTheLeftCellEmpty) {
  FixedPages pages(10, 612, 792);
  layout.Compute(pages, Params(kLayoutTwoUpCover, kZoomFitWidth, 10, 0));
  EXPECT_EQ(layout.firstPage, -1);
  EXPECT_EQ(layout.columns, 2);
  EXPECT_EQ(layout.clampedPage, 0);
  // Only page 0 counts towards the width of the row.
  EXPECT_EQ(layout.RowWidth(pages, 0), FixedFromInt(612));
  EXPECT_EQ(layout.effectiveZoom, ExpectedFit(240 - 18 - 1, 612, kScale96));
  // Page 5 pairs with 6 in this mode and with 4 in the plain two-up mode.
  layout.Compute(pages, Params(kLayoutTwoUpCover, kZoomFitWidth, 10, 5));
  EXPECT_EQ(layout.firstPage, 5);
  EXPECT_EQ(layout.RowWidth(pages, 0), FixedFromInt(1224));
  layout.Compute(pages, Params(kLayoutTwoUp, kZoomFitWidth, 10, 5));
  EXPECT_EQ(layout.firstPage, 4);
}

TEST_F(PageLayoutTest, RequestedPageIsClampedIntoTheGrid) {
  FixedPages pages(10, 612, 792);
  PageLayoutParams p = Params(kLayoutContinuous, kZoomFitWidth, 10, 0);
  p.requestedPage = 50;
  layout.Compute(pages, p);
  EXPECT_EQ(layout.clampedPage, 9);
  p.requestedPage = -4;
  layout.Compute(pages, p);
  EXPECT_EQ(layout.clampedPage, 0);
}

TEST_F(PageLayoutTest, FitWidthInContinuousModeUsesTheWidestPage) {
  FixedPages pages(3, 300, 400);
  pages.Set(2, {0, 0, FixedFromInt(600), FixedFromInt(400)});
  layout.Compute(pages, Params(kLayoutContinuous, kZoomFitWidth, 3, 0));
  EXPECT_EQ(layout.effectiveZoom, ExpectedFit(227, 600, kScale96));
  layout.Compute(pages, Params(kLayoutSinglePage, kZoomFitWidth, 3, 0));
  EXPECT_EQ(layout.effectiveZoom, ExpectedFit(227, 300, kScale96));
}

TEST_F(PageLayoutTest, ZoomLimits) {
  // A page without width or height fits at the largest zoom, with no
  // division by zero.
  for (runtime::Rect box : {runtime::Rect{0, 0, 0, 0}, runtime::Rect{0, 0, 0, FixedFromInt(792)},
                            runtime::Rect{0, 0, FixedFromInt(612), 0}}) {
    FixedPages pages(1, 612, 792);
    pages.Set(0, box);
    for (int32_t zoomMode : {kZoomFitWidth, kZoomFitHeight, kZoomFitPage}) {
      layout.Compute(pages, Params(kLayoutSinglePage, zoomMode, 1, 0));
      const Fixed byWidth = box.x1 == 0 ? kMaxZoom : ExpectedFit(227, 612, kScale96);
      const Fixed byHeight = box.y1 == 0 ? kMaxZoom : ExpectedFit(307, 792, kScale96);
      const Fixed expected = zoomMode == kZoomFitWidth    ? byWidth
                             : zoomMode == kZoomFitHeight ? byHeight
                                                          : std::min(byWidth, byHeight);
      EXPECT_EQ(layout.effectiveZoom, expected) << zoomMode;
    }
  }
  FixedPages pages(1, 612, 792);
  // A view too small for the page at any zoom gives the smallest.
  PageLayoutParams tiny = Params(kLayoutSinglePage, kZoomFitPage, 1, 0);
  tiny.view.width = tiny.view.height = 5;
  layout.Compute(pages, tiny);
  EXPECT_EQ(layout.effectiveZoom, kMinZoom);
  // Explicit zooms are clamped.
  PageLayoutParams p = Params(kLayoutSinglePage, kZoomExplicit, 1, 0);
  p.zoom = FixedFromInt(40);
  layout.Compute(pages, p);
  EXPECT_EQ(layout.effectiveZoom, kMaxZoom);
  p.zoom = 0;
  layout.Compute(pages, p);
  EXPECT_EQ(layout.effectiveZoom, kMinZoom);
  // A box reaching 30000 points is bounded by the 16-bit pixel range,
  // not by the 10.0 limit.
  FixedPages far(1, 612, 792);
  far.Set(0, {0, 0, FixedFromInt(612), FixedFromInt(30000)});
  p.zoom = kMaxZoom;
  layout.Compute(far, p);
  const double limit = 0x7FFF0000 / 65536.0 * 0.9 / (30000.0 * kScale96 / 65536.0);
  EXPECT_NEAR(layout.effectiveZoom / 65536.0, limit, 1e-3);
  EXPECT_LT(layout.effectiveZoom, kMaxZoom);
}

TEST_F(PageLayoutTest, MostVisiblePage) {
  LayOut(kLayoutContinuous, 0, 1, 4, 100, 200, 60, 80);
  // Pages lie at y 117..197, 260..340, 460..540 and 606..686.
  // Equal heights of pages 1 and 2: the earlier wins.
  EXPECT_EQ(layout.FindMostVisiblePage({0, 300, 100, 500}), 1);
  EXPECT_EQ(layout.FindMostVisiblePage({0, 300, 100, 501}), 2);
  // A window over the gap between pages: the page under its corner, or
  // the one below it.
  EXPECT_EQ(layout.FindMostVisiblePage({0, 345, 100, 455}), 2);
  EXPECT_EQ(layout.FindMostVisiblePage({0, 745, 100, 790}), 3);
  layout.window = {0, 250, 100, 350};
  EXPECT_TRUE(layout.FitsHorizontally(1));
  EXPECT_TRUE(layout.FitsVertically(1));
  EXPECT_FALSE(layout.FitsVertically(2));
  EXPECT_FALSE(layout.FitsHorizontally(0));  // its bottom is above the window
}

}  // namespace
}  // namespace viewer

namespace viewer {
namespace {

// The whole computation over documents of equal pages, on a 96 dpi view of
// 240 x 320 pixels with a 13-pixel vertical scroll bar when needed.
class PageLayoutPlacementTest : public ::testing::Test {
 protected:
  PageLayoutParams View(int32_t mode, int32_t zoomMode, int32_t page, int32_t width = 240,
                        int32_t height = 320) {
    PageLayoutParams p;
    p.view.width = width;
    p.view.height = height;
    p.view.verticalBarWidth = 13;
    p.view.horizontalBarHeight = 13;
    p.layoutMode = mode;
    p.zoomMode = zoomMode;
    p.requestedPage = page;
    p.scaleX = p.scaleY = kScale96;
    return p;
  }
  // A page's height in pixels at the layout's zoom, worked out apart.
  static int64_t PixelHeight(const PageLayout& layout, double points) {
    return static_cast<int64_t>(
        std::ceil(points * layout.effectiveZoom / 65536.0 * kScale96 / 65536.0 - 1e-9));
  }

  runtime::LibraryContext context;
  PageLayout layout{&context};
};

TEST_F(PageLayoutPlacementTest, OnePageInAWideWindowHasAColumnAsWideAsTheWindow) {
  FixedPages pages(1, 612, 792);
  layout.ComputeWithScrollBars(pages, View(kLayoutContinuous, kZoomFitPage, 0, 2000, 320));
  EXPECT_FALSE(layout.params.verticalBarShown);
  EXPECT_FALSE(layout.params.horizontalBarShown);
  EXPECT_EQ(layout.columns, 1);
  EXPECT_EQ(layout.ColumnPosition(1) - layout.ColumnPosition(0), 2000);
  EXPECT_EQ(layout.RowPosition(1) - layout.RowPosition(0), 320);
  const Rect64 page = layout.PageRect(0);
  EXPECT_EQ(page.x0, (2000 - (page.x1 - page.x0)) / 2);  // in the middle
  EXPECT_EQ(layout.content, (Rect64{0, 0, 2000, 320}));
  EXPECT_EQ(layout.mostVisiblePage, 0);
  EXPECT_EQ(layout.firstVisiblePage, 0);
  EXPECT_EQ(layout.lastVisiblePage, 0);
}

TEST_F(PageLayoutPlacementTest, AScrollBarIsShownOnlyWhileNeeded) {
  // Fit width: pages a little taller than the window at the full width
  // fit once the bar has taken its width; the bar then goes and its room
  // comes back to the window.
  int givenBack = 0;
  for (int32_t height = 760; height <= 900; height += 2) {
    FixedPages pages(1, 612, height);
    layout.ComputeWithScrollBars(pages, View(kLayoutContinuous, kZoomFitWidth, 0));
    const int64_t windowWidth = layout.window.x1 - layout.window.x0;
    const int64_t windowHeight = layout.window.y1 - layout.window.y0;
    const int64_t contentHeight = layout.content.y1 - layout.content.y0;
    if (layout.params.verticalBarShown) {
      EXPECT_GT(contentHeight, windowHeight) << height;
      EXPECT_EQ(windowWidth, 240 - 13) << height;
    } else {
      EXPECT_LE(contentHeight, windowHeight) << height;
      EXPECT_EQ(windowWidth, 240) << height;
      const Rect64 page = layout.PageRect(0);
      if (page.x1 - page.x0 < 240 - 13) ++givenBack;
    }
  }
  EXPECT_GT(givenBack, 0);
}

TEST_F(PageLayoutPlacementTest, AThousandPagesAroundTheMiddle) {
  FixedPages pages(1000, 612, 792);
  layout.ComputeWithScrollBars(pages, View(kLayoutContinuous, kZoomFitPage, 500));
  EXPECT_TRUE(layout.params.verticalBarShown);
  EXPECT_FALSE(layout.params.horizontalBarShown);
  EXPECT_EQ(layout.clampedPage, 500);
  // Only the rows the window needs are laid out.
  EXPECT_LE(layout.cells.Size(), 4u);
  const int64_t row = PixelHeight(layout, 792) + 6;
  const int64_t height = layout.content.y1 - layout.content.y0;
  EXPECT_LE(std::abs(height - 1000 * row), row) << height;
  EXPECT_EQ(layout.content.y0, 0);
  EXPECT_EQ(layout.window.x1 - layout.window.x0, 240 - 13);
  EXPECT_EQ(layout.topPage, 500);
  EXPECT_EQ(layout.mostVisiblePage, 500);
  EXPECT_EQ(layout.FindMostVisiblePage(layout.window), 500);

  // At the very end the window is pulled up to end at the layout's bottom,
  // and the page above comes into view.
  layout.ComputeWithScrollBars(pages, View(kLayoutContinuous, kZoomFitWidth, 999));
  EXPECT_EQ(layout.window.y1, layout.content.y1);
  EXPECT_EQ(layout.lastVisiblePage, 999);
  EXPECT_EQ(layout.firstVisiblePage, 998);
  EXPECT_EQ(layout.mostVisiblePage, 999);
}

TEST_F(PageLayoutPlacementTest, AMillionPagesLayOutWithoutOverflow) {
  constexpr int32_t kPages = 1'000'000;
  FixedPages pages(kPages, 612, 792);
  PageLayoutParams p = View(kLayoutContinuous, kZoomExplicit, kPages - 1);
  p.zoom = kMaxZoom;
  layout.ComputeWithScrollBars(pages, p);
  EXPECT_EQ(layout.effectiveZoom, kMaxZoom);
  const int64_t row = PixelHeight(layout, 792) + 6;
  const int64_t height = layout.content.y1 - layout.content.y0;
  EXPECT_GT(height, int64_t{INT32_MAX});
  // The rows not laid out are estimated from the one that is (whose gaps
  // are those of the last row): close, not exact.
  EXPECT_LE(std::abs(height - kPages * row), kPages * 3 + row);
  EXPECT_EQ(layout.mostVisiblePage, kPages - 1);
  EXPECT_EQ(layout.RowAtPosition(layout.window.y0), kPages - 1);
  EXPECT_EQ(layout.RowAtPosition(layout.window.y0 - 1), kPages - 2);
}

TEST_F(PageLayoutPlacementTest, CoverModeSizesTheEmptyCellLikeTheFirstPage) {
  FixedPages pages(10, 612, 792);
  layout.ComputeWithScrollBars(pages, View(kLayoutTwoUpCover, kZoomFitWidth, 0));
  EXPECT_EQ(layout.firstPage, -1);
  EXPECT_TRUE(layout.IsPageInRange(-1));
  EXPECT_TRUE(layout.IsPageInRange(0));
  const Rect64 left = layout.CellRect(0, 0);
  const Rect64 right = layout.CellRect(1, 0);
  EXPECT_EQ(left.x1 - left.x0, right.x1 - right.x0);
  EXPECT_EQ(layout.firstVisiblePage, 0);
  EXPECT_EQ(layout.mostVisiblePage, 0);

  // Two-up at page 5 shows pages 4 and 5 side by side.
  layout.ComputeWithScrollBars(pages, View(kLayoutTwoUp, kZoomFitWidth, 5));
  EXPECT_EQ(layout.firstPage, 4);
  const Rect64 four = layout.PageRect(4), five = layout.PageRect(5);
  EXPECT_FALSE(four.IsEmpty());
  EXPECT_LT(four.x1, five.x0);
  EXPECT_EQ(four.y0, five.y0);
  EXPECT_EQ(layout.firstVisiblePage, 4);
  EXPECT_EQ(layout.lastVisiblePage, 5);
}

TEST_F(PageLayoutPlacementTest, PagesWithoutSizeStillLayOut) {
  FixedPages pages(3, 612, 792);
  pages.Set(1, {0, 0, 0, 0});
  layout.ComputeWithScrollBars(pages, View(kLayoutContinuous, kZoomFitPage, 1));
  EXPECT_EQ(layout.clampedPage, 1);
  // Fitted by the widest page; the empty page gets a cell of the smallest
  // size.
  EXPECT_GE(layout.RowPosition(2) - layout.RowPosition(1), 5);
  layout.ComputeWithScrollBars(pages, View(kLayoutSinglePage, kZoomFitPage, 1));
  EXPECT_EQ(layout.effectiveZoom, kMaxZoom);
  EXPECT_EQ(layout.ColumnPosition(1) - layout.ColumnPosition(0), 240);
}

TEST_F(PageLayoutPlacementTest, OddViewsAndDocumentsLayOutSafely) {
  FixedPages empty(0, 612, 792);
  layout.ComputeWithScrollBars(empty, View(kLayoutContinuous, kZoomFitPage, 3));
  EXPECT_EQ(layout.mostVisiblePage, -1);
  EXPECT_EQ(layout.FindMostVisiblePage(layout.window), 0);

  FixedPages pages(7, 612, 792);
  pages.Set(3, {0, 0, FixedFromInt(612), FixedFromInt(792)}, 90);
  const struct {
    int32_t width, height, mode;
  } views[] = {{0, 0, kLayoutContinuous},          {-50, -50, kLayoutTwoUp},
               {INT32_MAX, INT32_MAX, kLayoutTwoUpCover}, {1, 100000, kLayoutSinglePage},
               {100000, 1, kLayoutReflow}};
  for (const auto& v : views) {
    for (int32_t rotation : {0, 90, 270}) {
      layout.viewRotation = rotation;
      layout.ComputeWithScrollBars(pages, View(v.mode, kZoomFitWidth, 3, v.width, v.height));
      EXPECT_GE(layout.effectiveZoom, kMinZoom);
      EXPECT_LE(layout.effectiveZoom, kMaxZoom);
      EXPECT_LE(layout.content.x0, layout.extent.x0);
      EXPECT_GE(layout.content.y1, layout.extent.y1);
      const int32_t shown = layout.FindMostVisiblePage(layout.window);
      EXPECT_TRUE(shown >= 0 && shown < 7) << v.width << " x " << v.height;
    }
  }
}

}  // namespace
}  // namespace viewer
