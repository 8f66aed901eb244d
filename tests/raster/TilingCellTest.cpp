#include "raster/TilingCell.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/ArenaAllocator.h"
#include "tests/support/CaughtError.h"

namespace raster {
namespace {

using runtime::FixedFromFloat;
using runtime::FixedFromInt;
using runtime::kFixedOne;

class TilingCellTest : public ::testing::Test {
 protected:
  // A coloured pattern of a square cell `size` units wide drawn at 1:1.
  TilingPainter& Painter(double size, int32_t n = 3) {
    auto* painter = runtime::NewInArena<TilingPainter>(arena, &context, arena);
    painter->xStep = painter->yStep = FixedFromFloat(size);
    painter->bbox = Rect{0, 0, FixedFromFloat(size), FixedFromFloat(size)};
    painter->colourComponents = n;
    painter->destinationRect = {0, 0, 64, 64};
    painter->fallbackRect = {0, 0, 64, 64};
    return *painter;
  }
  void Prepare(TilingPainter& painter) {
    PatternCell::SetUp(painter);
    PatternCell::ChannelPlan(painter, painter.colourComponents);
    PatternCell::ChooseTileSize(painter);
  }

  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
};

TEST_F(TilingCellTest, TileSidesFromTheCellsDeviceSize) {
  struct Case {
    double size;
    int32_t side;
  } cases[] = {{3.2, 8}, {100.1, 101}, {8.0, 8}, {8.01, 9}, {0.5, 8}};
  for (const Case& test : cases) {
    TilingPainter& painter = Painter(test.size);
    Prepare(painter);
    EXPECT_TRUE(painter.tileUsed) << test.size;
    EXPECT_EQ(painter.tileRect, (IntRect{0, 0, test.side, test.side})) << test.size;
    EXPECT_FALSE(painter.degenerate) << test.size;
  }
  // A cell too large for a tile keeps the fallback rectangle.
  TilingPainter& huge = Painter(5000.0);
  huge.fallbackRect = {1, 2, 3, 4};
  Prepare(huge);
  EXPECT_FALSE(huge.tileUsed);
  EXPECT_EQ(huge.tileRect, (IntRect{1, 2, 3, 4}));
}

TEST_F(TilingCellTest, DegenerateCells) {
  TilingPainter& singular = Painter(10.0);
  singular.patternMatrix = Matrix{kFixedOne, kFixedOne, kFixedOne, kFixedOne, 0, 0};
  PatternCell::SetUp(singular);
  EXPECT_TRUE(singular.degenerate);
  EXPECT_EQ(singular.visible, (Rect{0, 0, kFixedOne, kFixedOne}));
  EXPECT_EQ(singular.cellMatrix, Matrix{});
  TilingPainter& empty = Painter(10.0);
  empty.bbox = Rect{0, 0, 0, FixedFromInt(5)};
  PatternCell::SetUp(empty);
  EXPECT_TRUE(empty.degenerate);
  EXPECT_EQ(empty.bbox, (Rect{0, 0, kFixedOne, kFixedOne}));
  // A negative step keeps its magnitude and records the sign.
  TilingPainter& negative = Painter(10.0);
  negative.xStep = -FixedFromInt(10);
  PatternCell::SetUp(negative);
  EXPECT_EQ(negative.xSign, -1);
  EXPECT_EQ(negative.ySign, 1);
  EXPECT_EQ(negative.cell.x1 - negative.cell.x0, FixedFromInt(10));
  EXPECT_FALSE(negative.degenerate);
}

TEST_F(TilingCellTest, ChannelPlans) {
  TilingPainter& painter = Painter(10.0);
  painter.uncoloured = true;
  PatternCell::ChannelPlan(painter, 3);
  EXPECT_EQ(std::vector<int32_t>(painter.plan, painter.plan + 4), (std::vector<int32_t>{1, 0, 0, 1}));
  painter.uncoloured = false;
  PatternCell::ChannelPlan(painter, 4);
  EXPECT_EQ(std::vector<int32_t>(painter.plan, painter.plan + 4), (std::vector<int32_t>{0, 1, 4, 5}));
}

// A one-channel plane over `buffer` whose tile pixels are x + 10 y + 1.
struct MarginFixture {
  MarginFixture(IntRect tile, IntRect buffer) : tile(tile), buffer(buffer) {
    bytes.assign(static_cast<size_t>((buffer.x1 - buffer.x0) * (buffer.y1 - buffer.y0)), 0xEE);
    plane = TilePlane{bytes.data(), buffer, 1, 0, buffer.x1 - buffer.x0};
    for (int y = tile.y0; y < tile.y1; ++y)
      for (int x = tile.x0; x < tile.x1; ++x) *plane.At(x, y) = static_cast<uint8_t>(x + 10 * y + 1);
  }
  int At(int x, int y) const { return *plane.At(x, y); }
  IntRect tile, buffer;
  std::vector<uint8_t> bytes;
  TilePlane plane;
};

TEST_F(TilingCellTest, MarginsRepeatTheTileAtWholePixelSteps) {
  MarginFixture f({0, 0, 4, 3}, {-2, -2, 6, 5});
  PatternCell::FillTileMargins(f.plane, f.tile, f.buffer, FixedFromInt(4), FixedFromInt(3));
  for (int y = -2; y < 5; ++y)
    for (int x = -2; x < 6; ++x) {
      const int tx = (x + 4) % 4, ty = (y + 3) % 3;
      ASSERT_EQ(f.At(x, y), tx + 10 * ty + 1) << x << "," << y;
    }
}

TEST_F(TilingCellTest, MarginsBetweenPeriodsAreClear) {
  // A tile of 4 columns repeated every 6: columns 4 and 5 (and -2, -1) lie
  // between one period's end and the next period's start.
  MarginFixture f({0, 0, 4, 1}, {-3, 0, 8, 1});
  PatternCell::FillTileMargins(f.plane, f.tile, f.buffer, FixedFromInt(6), FixedFromInt(1));
  EXPECT_EQ(f.At(-3, 0), 4);  // column 3 of the previous period
  EXPECT_EQ(f.At(-2, 0), 0);
  EXPECT_EQ(f.At(-1, 0), 0);
  EXPECT_EQ(f.At(4, 0), 0);
  EXPECT_EQ(f.At(5, 0), 0);
  EXPECT_EQ(f.At(6, 0), 1);
  EXPECT_EQ(f.At(7, 0), 2);
  // A buffer equal to the tile is left alone.
  MarginFixture same({0, 0, 2, 2}, {0, 0, 2, 2});
  const std::vector<uint8_t> before = same.bytes;
  PatternCell::FillTileMargins(same.plane, same.tile, same.buffer, FixedFromInt(2), FixedFromInt(2));
  EXPECT_EQ(same.bytes, before);
}

TEST_F(TilingCellTest, TileIsDrawnOnceAndRepeatedOverTheDestination) {
  TilingPainter& painter = Painter(8.0, 1);
  painter.uncoloured = true;
  Prepare(painter);
  ASSERT_TRUE(painter.tileUsed);
  PatternCell::AllocateTileBuffer(painter);
  PatternCell::BindTargetPlanes(painter);
  ASSERT_NE(painter.targetPlanes.shape, nullptr);
  EXPECT_EQ(painter.targetPlanes.colour, nullptr);
  // "Draw" the cell: a vertical bar over columns 0-3 of the 8 x 8 tile.
  PixelPlane* shape = painter.targetPlanes.shape;
  for (int y = 0; y < 8; ++y) {
    shape->SetRow(y);
    for (int x = 0; x < 8; ++x) *CursorAt(shape, x).Channel(0) = x < 4 ? 255 : 0;
  }
  PatternCell::FinishTile(painter);
  ASSERT_NE(painter.sampler, nullptr);
  ImageSampler* sampler = painter.sampler;
  for (int32_t y : {0, 13, 40}) {
    sampler->BeginRow(y);
    sampler->RunSpan(0, 64);
    for (int32_t x = 0; x < 64; ++x) {
      const int value = *CursorAt(sampler->Current().shape, x).Channel(0);
      const int column = x % 8;
      // Whole-pixel sampling at 1:1: the bar repeats every 8 pixels.
      ASSERT_EQ(value, column < 4 ? 255 : 0) << x << "," << y;
    }
  }
}

TEST_F(TilingCellTest, AViewThatCannotBeAllocatedIsAnError) {
  TilingPainter& painter = Painter(8.0, 3);
  Prepare(painter);
  PatternCell::AllocateTileBuffer(painter);
  // No memory left for the views: the binding fails instead of drawing the
  // cell with a plane missing.
  runtime::ArenaAllocator tight(&context, 256, 64);
  TilingPainter* starved = runtime::NewInArena<TilingPainter>(arena, &context, tight);
  starved->tileUsed = true;
  starved->tilePlane = painter.tilePlane;
  starved->plan[2] = 3;
  context.memory.hardLimit = context.memory.bytesInUse;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { PatternCell::BindTargetPlanes(*starved); }),
            runtime::kOutOfMemory);
  context.memory.hardLimit = runtime::kNoLimit;
}

}  // namespace
}  // namespace raster
