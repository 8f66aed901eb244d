#include "raster/GlyphMaskSource.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/ArenaAllocator.h"
#include "tests/raster/StubFont.h"

namespace raster {
namespace {

using runtime::FixedFromInt;

class GlyphMaskSourceTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
  rastertest::StubFont font;  // 0.5 × 0.7 boxes
  // At size 10 glyphs are 5 × 7 pixels, y growing downwards.
  const Matrix glyphMatrix{FixedFromInt(10), 0, 0, -FixedFromInt(10), 0, 0};

  static GlyphRecord At(uint32_t glyph, int x, int y) {
    GlyphRecord record;
    record.glyph = glyph;
    record.origin = {FixedFromInt(x), FixedFromInt(y)};
    return record;
  }
  // Coverage over a rectangle through the node's row interface, with the
  // variant it reported for every pixel.
  static std::vector<int> Read(GlyphMaskSource& source, const IntRect& rect) {
    std::vector<int> out;
    for (int32_t y = rect.y0; y < rect.y1; ++y) {
      source.BeginRow(y);
      int32_t x = rect.x0;
      while (x < rect.x1) {
        const int32_t end = source.RunSpan(x, rect.x1);
        EXPECT_GT(end, x);
        for (int32_t i = x; i < end; ++i) out.push_back(source.currentVariant == 0 ? 0 : source.CoverageAt(i));
        x = end;
      }
    }
    return out;
  }
};

TEST_F(GlyphMaskSourceTest, OverlappingBitmapsCombineByOr) {
  struct Case {
    uint8_t first, second, expected;
  } cases[] = {{0x80, 0x7f, 0xff}, {0x80, 0x80, 0x80}, {0x01, 0x10, 0x11}};
  for (const Case& test : cases) {
    SCOPED_TRACE(static_cast<int>(test.expected));
    rastertest::StubFont local;
    local.SetFill('A', test.first);
    local.SetFill('B', test.second);
    const GlyphRecord records[] = {At('A', 10, 20), At('B', 12, 20)};
    GlyphMaskSource source(&context, arena, {0, 0, 64, 64}, local, glyphMatrix, records);
    EXPECT_EQ(source.bounds, (IntRect{10, 13, 17, 20}));
    source.BeginRow(15);
    EXPECT_EQ(source.CoverageAt(11), test.first);
    EXPECT_EQ(source.CoverageAt(13), test.first | test.second);
    EXPECT_EQ(source.CoverageAt(16), test.second);
  }
}

TEST_F(GlyphMaskSourceTest, OriginsAHairShortOfAPixelLandOnIt) {
  // Advances summed in 16.16 leave an origin such as 129.9991 for 130: the
  // glyph belongs on pixel 130, not a pixel to the left.
  for (runtime::Fixed shortBy : {0, 1, 60, 127}) {
    SCOPED_TRACE(shortBy);
    GlyphRecord record = At('A', 10, 20);
    record.origin.x -= shortBy;
    record.origin.y -= shortBy;
    const GlyphRecord records[] = {record};
    GlyphMaskSource source(&context, arena, {0, 0, 64, 64}, font, glyphMatrix, records);
    EXPECT_EQ(source.bounds, (IntRect{10, 13, 15, 20}));
  }
}

TEST_F(GlyphMaskSourceTest, GlyphsOutsideTheClipAreDroppedAndRowsOutsideAreEmpty) {
  const GlyphRecord records[] = {At('A', 10, 20), At('B', 200, 20), At('C', 10, -500), At('D', -3, 20)};
  GlyphMaskSource source(&context, arena, {0, 0, 64, 64}, font, glyphMatrix, records);
  // B and C miss the clip and do not widen the bounds; D is cut by it.
  EXPECT_EQ(source.PlacedCount(), 2u);
  EXPECT_EQ(source.bounds, (IntRect{0, 13, 15, 20}));
  for (int32_t y : {0, 12, 20, 63}) {
    source.BeginRow(y);
    EXPECT_EQ(source.RunSpan(0, 64), 64);
    EXPECT_EQ(source.currentVariant, 0u);
  }
  // Inside a row the gaps between glyphs are empty runs.
  source.BeginRow(15);
  const struct {
    int32_t end;
    uint32_t variant;
  } runs[] = {{2, 1}, {10, 0}, {15, 1}, {64, 0}};
  int32_t x = 0;
  for (const auto& run : runs) {
    x = source.RunSpan(x, 64);
    EXPECT_EQ(x, run.end);
    EXPECT_EQ(source.currentVariant, run.variant);
  }
}

TEST_F(GlyphMaskSourceTest, RowsCanBeReadAgainFromTheTop) {
  font.SetFill('A', 0x40);
  const GlyphRecord records[] = {At('A', 3, 8), At('A', 20, 30), At('A', 5, 10)};
  GlyphMaskSource source(&context, arena, {0, 0, 32, 32}, font, glyphMatrix, records);
  const IntRect all{0, 0, 32, 32};
  const std::vector<int> first = Read(source, all);
  const std::vector<int> second = Read(source, all);
  EXPECT_EQ(first, second);
  int covered = 0;
  for (int v : first) covered += v != 0;
  // Two 5 × 7 glyphs overlapping in 3 × 5 pixels, and a third.
  EXPECT_EQ(covered, 35 + 35 - 15 + 35);
}

TEST_F(GlyphMaskSourceTest, FontsWithoutBitmapsAreCountedAsMissing) {
  font.noBitmaps = true;
  const GlyphRecord records[] = {At('A', 3, 8), At('B', 9, 8)};
  GlyphMaskSource source(&context, arena, {0, 0, 32, 32}, font, glyphMatrix, records);
  EXPECT_EQ(source.MissingCount(), 2u);
  EXPECT_EQ(source.PlacedCount(), 0u);
  EXPECT_TRUE(source.bounds.IsEmpty());
}

}  // namespace
}  // namespace raster
