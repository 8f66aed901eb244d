// What the viewer paints over a page through a paint context: prepared
// device-space paths (a line, a filled rectangle, a rectangle's outline)
// and a page's content played into one rectangle of the layer. Colours are
// checked against hand computation; pixels outside what was asked for
// must stay paper white.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/ContentOwner.h"
#include "content/Page.h"
#include "content/PaintInRect.h"
#include "content/PreparedPath.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using runtime::kFixedOne;

constexpr runtime::Fixed PreparedUnits(int n) { return n * kFixedOne; }

// A 40 x 40 page device over the paper, and a 40 x 40 page whose content
// fills everything blue.
class PreparedPathTest : public ::testing::Test {
 protected:
  PreparedPathTest()
      : bytes_(testsupport::SmallPdfFile({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 40 40] /Contents 4 0 R >>",
            testsupport::StreamBody("", "0 0 1 rg 0 0 40 40 re f 1 0 0 rg 0 0 1 1 re f"),
        })),
        document_(&context_, bytes_),
        colors_(&context_, &*document_),
        arena_(&context_, 65536, 16384) {
    paint_.owner = &context_;
    paint_.layer = raster::RasterDevice::CreateForTarget(&context_, arena_, {0, 0, 40, 40}, colors_.DeviceRgb().Get());
    paint_.colors = &colors_;
    paint_.arena = &arena_;
    paint_.pageWidth = 40;
    paint_.pageHeight = 40;
    paint_.page.document = &*document_;
    // Device y grows downwards.
    paint_.page.matrix = {kFixedOne, 0, 0, -kFixedOne, 0, PreparedUnits(40)};
  }

  std::array<int, 3> At(int x, int y) const {
    const raster::PixelPlane& colour = *paint_.layer->Target().colour;
    const uint8_t* p = colour.base + static_cast<int64_t>(y - colour.rect.y0) * colour.format.rowStep +
                       static_cast<int64_t>(x - colour.rect.x0) * colour.format.columnStep;
    return {p[2], p[1], p[0]};
  }

  runtime::LibraryContext context_;
  std::string bytes_;
  pdftest::OpenDocument document_;
  color::ColorContext colors_;
  runtime::ArenaAllocator arena_;
  content::PaintContext paint_;
};

constexpr std::array<int, 3> kPreparedWhite{255, 255, 255}, kPreparedRed{255, 0, 0}, kPreparedBlue{0, 0, 255};
const content::PreparedPaint kPreparedRedPaint{kFixedOne, 0, 0, kFixedOne};

TEST_F(PreparedPathTest, LinesAndRectanglesPaintWhereTheyLie) {
  // A 2-pixel horizontal line along y = 5 covers rows 4 and 5.
  content::PaintLinePath(paint_, {PreparedUnits(2), PreparedUnits(5)}, {PreparedUnits(30), PreparedUnits(5)}, PreparedUnits(2), kPreparedRedPaint, 0);
  EXPECT_EQ(At(10, 4), kPreparedRed);
  EXPECT_EQ(At(10, 5), kPreparedRed);
  EXPECT_EQ(At(10, 3), kPreparedWhite);
  EXPECT_EQ(At(10, 6), kPreparedWhite);
  EXPECT_EQ(At(35, 5), kPreparedWhite);
  // Width 0 fills the rectangle exactly.
  content::FillRectPath(paint_, {PreparedUnits(10), PreparedUnits(10), PreparedUnits(20), PreparedUnits(20)}, 0, kPreparedRedPaint, 0);
  EXPECT_EQ(At(10, 10), kPreparedRed);
  EXPECT_EQ(At(19, 19), kPreparedRed);
  EXPECT_EQ(At(20, 15), kPreparedWhite);
  EXPECT_EQ(At(15, 9), kPreparedWhite);
  // A 2-pixel outline: the border is painted, the inside is not.
  content::FillRectPath(paint_, {PreparedUnits(24), PreparedUnits(24), PreparedUnits(36), PreparedUnits(36)}, PreparedUnits(2), kPreparedRedPaint, 0);
  EXPECT_EQ(At(30, 24), kPreparedRed);
  EXPECT_EQ(At(35, 30), kPreparedRed);
  EXPECT_EQ(At(30, 30), kPreparedWhite);
  // Half opacity over the paper; nothing at all for an empty path.
  content::FillRectPath(paint_, {PreparedUnits(30), PreparedUnits(0), PreparedUnits(40), PreparedUnits(4)}, 0, {kFixedOne, 0, 0, kFixedOne / 2}, 0);
  const std::array<int, 3> half = At(35, 2);
  EXPECT_EQ(half[0], 255);
  EXPECT_NEAR(half[1], 128, 1);
  content::PaintPreparedPath(paint_, {}, PreparedUnits(1), kPreparedRedPaint, 0);
}

TEST_F(PreparedPathTest, ClipOfTheContextLimitsThePath) {
  paint_.region = raster::PixelRegion::FromRect(arena_, {0, 0, 15, 40});
  content::FillRectPath(paint_, {PreparedUnits(10), PreparedUnits(10), PreparedUnits(20), PreparedUnits(20)}, 0, kPreparedRedPaint, 0);
  EXPECT_EQ(At(12, 12), kPreparedRed);
  EXPECT_EQ(At(17, 12), kPreparedWhite);
}

TEST_F(PreparedPathTest, PaintInRectPaintsOnlyItsRectangleAndCountsOperations) {
  const runtime::ObjectHandle page = document_->GetObject(3, 0);
  content::ContentMachine* machine = content::Page::NewMachine(*document_, page);
  ASSERT_NE(machine, nullptr);
  content::MachineHolder holder(&context_, machine);
  content::CountingPaintTarget told;
  uint32_t operations = 5;
  content::PaintInRect(paint_, *machine, {8, 8, 16, 12}, nullptr, &told, operations);
  EXPECT_EQ(At(8, 8), kPreparedBlue);
  EXPECT_EQ(At(15, 11), kPreparedBlue);
  EXPECT_EQ(At(16, 11), kPreparedWhite);
  EXPECT_EQ(At(8, 12), kPreparedWhite);
  EXPECT_EQ(At(7, 8), kPreparedWhite);
  // The red square at the page's lower left lies outside the rectangle.
  EXPECT_EQ(At(0, 39), kPreparedWhite);
  // Four operations played (rg and a painted path, twice: a path and the
  // operator that paints it are one), added to what the count held.
  EXPECT_EQ(operations, 5u + 4u);
  // A rectangle off the layer paints nothing.
  content::PaintInRect(paint_, *machine, {100, 100, 120, 120}, nullptr, &told, operations);
  EXPECT_EQ(At(30, 30), kPreparedWhite);
  // It still plays the page: the count grows by as many again.
  EXPECT_EQ(operations, 5u + 4u + 4u);
}

}  // namespace
