#include "raster/GlyphSource.h"

#include <gtest/gtest.h>

#include "raster/GlyphMaskSource.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/StubFont.h"

namespace raster {
namespace {

using runtime::FixedFromInt;

TEST(GlyphSourceTest, TheSizeLimitPicksCachedOrPerPaintBitmapsNeverOutlines) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  GlyphRecord record;
  record.origin = {FixedFromInt(10), FixedFromInt(20)};
  struct Case {
    const char* name;
    Matrix glyphMatrix;
    int32_t limit;
    bool cached;
  } cases[] = {
      {"upright", {FixedFromInt(10), 0, 0, -FixedFromInt(10), 0, 0}, 256, true},
      {"b reaches the limit", {FixedFromInt(10), FixedFromInt(256), 0, -FixedFromInt(10), 0, 0}, 256, false},
      {"c reaches the limit", {FixedFromInt(10), 0, -FixedFromInt(256), -FixedFromInt(10), 0, 0}, 256, false},
      {"b² + c² reaches it", {FixedFromInt(10), FixedFromInt(200), FixedFromInt(200), -FixedFromInt(10), 0, 0}, 256,
       false},
      {"no limit: no cache", {FixedFromInt(10), 0, 0, -FixedFromInt(10), 0, 0}, 0, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(GlyphSource::WithinSizeLimit(test.glyphMatrix, test.limit), test.cached);
    rastertest::StubFont font;
    GlyphSource::Create(&context, arena, {0, 0, 64, 64}, GlyphDrawing::kGlyphs, font, test.glyphMatrix, {&record, 1},
                        test.limit);
    EXPECT_EQ(font.bitmapRequests, 1);
    EXPECT_EQ(font.uncachedRequests, test.cached ? 0 : 1);
    EXPECT_EQ(font.outlinesBuilt, 0);
  }
}

TEST(GlyphSourceTest, OutlinesWhenAskedOrWhenTheFontHasNoBitmap) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  const Matrix upright{FixedFromInt(10), 0, 0, -FixedFromInt(10), 0, 0};
  GlyphRecord record;
  record.origin = {FixedFromInt(10), FixedFromInt(20)};
  rastertest::StubFont font;
  GlyphSource::Create(&context, arena, {0, 0, 64, 64}, GlyphDrawing::kGlyphs, font, upright, {&record, 1}, 256, true);
  EXPECT_EQ(font.bitmapRequests, 0);
  EXPECT_EQ(font.outlinesBuilt, 1);
  font.noBitmaps = true;
  GlyphSource::Create(&context, arena, {0, 0, 64, 64}, GlyphDrawing::kGlyphs, font, upright, {&record, 1}, 256);
  EXPECT_EQ(font.outlinesBuilt, 2);
}

}  // namespace
}  // namespace raster
