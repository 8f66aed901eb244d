#include "viewer/PagePlacement.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"
#include "viewer/PageLayout.h"

namespace viewer {
namespace {

using runtime::FixedFromInt;
using runtime::IntRect;

// One page of 60 x 80 pixels centred in a 100 x 200 cell (at 20, 60), the
// window over the whole cell.
class PagePlacementTest : public ::testing::Test {
 protected:
  PagePlacementTest() {
    layout.params.layoutMode = kLayoutSinglePage;
    layout.params.scaleX = 0x15555;
    layout.params.scaleY = 0x20000;
    layout.firstPage = 4;
    layout.pageCount = 10;
    layout.cellRange = {0, 0, 1, 1};
    layout.extent = layout.window = layout.content = {0, 0, 100, 200};
    layout.endColumnPosition = 100;
    layout.endRowPosition = 200;
    PageCell cell;
    cell.pageWidth = 60;
    cell.pageHeight = 80;
    cell.pageRotation = 270;
    cell.placementWord = 77;
    layout.cells.Append(cell);
  }
  PagePlacement Placed() {
    PagePlacement p;
    EXPECT_TRUE(PagePlacement::Build(layout, 4, p));
    return p;
  }

  runtime::LibraryContext context;
  PageLayout layout{&context};
};

TEST_F(PagePlacementTest, BuildsThePlacementUnderTheViewRotation) {
  PagePlacement p;
  p.placementWord = 5;
  EXPECT_FALSE(PagePlacement::Build(layout, 5, p));
  EXPECT_EQ(p.placementWord, 0u);  // emptied
  EXPECT_EQ(PagePlacement::DeviceRect(layout, 5, p, {0, 0, 10, 10}), IntRect{});

  layout.viewRotation = 180;
  p = Placed();
  EXPECT_EQ(p.rotation, 90);
  EXPECT_EQ(p.scale[0], 0x15555);
  EXPECT_EQ(p.placementWord, 77u);
  EXPECT_EQ(p.rect, (runtime::Rect{FixedFromInt(-60), FixedFromInt(-80), 0, 0}));
  layout.viewRotation = 270;
  layout.cells[0].pageRotation = 90;
  layout.cells[0].pageMatrix = {0, runtime::kFixedOne, -runtime::kFixedOne, 0, FixedFromInt(80), 0};
  p = Placed();
  EXPECT_EQ(p.rotation, 0);
  EXPECT_EQ(p.scale[0], 0x20000);  // exchanged for a quarter turn
  EXPECT_EQ(p.scale[1], 0x15555);
  // The cell's matrix is taken as it is: it carries the view's turn already,
  // and turning it again put marks and taps off the drawn page.
  EXPECT_EQ(p.matrix, layout.cells[0].pageMatrix);
}

TEST_F(PagePlacementTest, EarlierRenderingsLandInTheWindow) {
  const PagePlacement same = Placed();
  // Moved by the page's corner in the window.
  EXPECT_EQ(PagePlacement::DeviceRect(layout, 4, same, {0, 0, 10, 10}), (IntRect{20, 60, 30, 70}));
  // A right edge on the window's left edge still touches it; a left edge
  // on its right edge does not.
  EXPECT_EQ(PagePlacement::DeviceRect(layout, 4, same, {-25, 0, -20, 10}),
            (IntRect{-5, 60, 0, 70}));
  EXPECT_EQ(PagePlacement::DeviceRect(layout, 4, same, {80, 0, 90, 10}), IntRect{});

  // Drawn at twice the size: carried through the old placement's inverse.
  PagePlacement larger = same;
  larger.matrix.a = larger.matrix.d = FixedFromInt(2);
  larger.rect.x1 = FixedFromInt(120);
  EXPECT_EQ(PagePlacement::DeviceRect(layout, 4, larger, {0, 0, 20, 20}), (IntRect{20, 60, 30, 70}));

  // Drawn turned the other way: it cannot be reused.
  PagePlacement turned = same;
  turned.matrix = runtime::Matrix::RotateByViewRotation(180, same.matrix);
  EXPECT_EQ(PagePlacement::DeviceRect(layout, 4, turned, {0, 0, 20, 20}), IntRect{});
  // Nor with another extra matrix.
  PagePlacement extra = same;
  extra.hasExtraMatrix = true;
  EXPECT_EQ(PagePlacement::DeviceRect(layout, 4, extra, {0, 0, 20, 20}), IntRect{});
}

TEST_F(PagePlacementTest, WindowInPageSpace) {
  EXPECT_EQ(PagePlacement::WindowToPageRect(layout, 4),
            (runtime::Rect{FixedFromInt(-20), FixedFromInt(-60), FixedFromInt(80),
                           FixedFromInt(140)}));
  // A window far beyond the Fixed range saturates instead of wrapping.
  layout.window = {0, 0, 100, int64_t{1} << 40};
  const runtime::Rect far = PagePlacement::WindowToPageRect(layout, 4);
  EXPECT_GT(far.y1, far.y0);
  layout.cells[0].pageMatrix = {0, 0, 0, 0, 0, 0};
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { PagePlacement::WindowToPageRect(layout, 4); }),
            long{runtime::kMalformed});
}

}  // namespace
}  // namespace viewer
