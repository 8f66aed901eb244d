// Glyphs drawn at fractional device positions: the bitmap of a glyph of
// ordinary text size follows its origin to the nearest quarter pixel across
// the line, and to the nearest whole pixel along the other axis. A glyph
// whose origin was cut to the pixel (or to the quarter) sat up to a whole
// pixel left of and above where its advances put it.
#include <gtest/gtest.h>

#include <string>

#include "fonts/FontDict.h"
#include "runtime/ArenaAllocator.h"
#include "tests/fonts/FontDocument.h"
#include "tests/fonts/TrueTypeBuilder.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace fonts {
namespace {

struct Centre {
  double x = 0, y = 0;
};

// The coverage-weighted centre of a glyph bitmap, in device pixels from
// the glyph's whole-pixel origin.
Centre CentreOf(const runtime::GlyphBitmapRecord& record) {
  double sum = 0, x = 0, y = 0;
  const uint8_t* coverage = record.Coverage();
  for (int32_t row = 0; row < record.Height(); ++row)
    for (int32_t column = 0; column < record.Width(); ++column) {
      const double c = coverage[row * record.Width() + column];
      sum += c;
      x += c * (record.originX + record.x0 + column + 0.5);
      y += c * (record.originY + record.y0 + row + 0.5);
    }
  return sum > 0 ? Centre{x / sum, y / sum} : Centre{};
}

TEST(GlyphPhaseTest, BitmapsFollowTheOriginToTheNearestStep) {
  FontDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Squares /FontDescriptor 2 0 R"
                    " /FirstChar 65 /LastChar 65 /Widths [500] >>",
                    "<< /Flags 32 /FontFile2 3 0 R >>",
                    testsupport::StreamBody("", SquaresTrueType(fonttest::Format4Cmap({{0x41, 0x43, 0xFFC0}})))});
  runtime::CountedRef<runtime::FontBase> font;
  ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] { font = doc.Load(); }), -1);
  runtime::ArenaAllocator arena(&doc.context, 4096, 1024);
  // 20-pixel text; glyph 3 is a 300-unit triangle (6 pixels).
  const runtime::Matrix matrix{20 * runtime::kFixedOne, 0, 0, 20 * runtime::kFixedOne, 0, 0};
  const runtime::IntRect clip{-64, -64, 64, 64};
  const runtime::GlyphBitmapRecord* at0 = font->GlyphBitmap(3, matrix, 0, clip, true, arena);
  ASSERT_NE(at0, nullptr);
  const Centre origin = CentreOf(*at0);
  // Phases in 1/256 pixel: x in the low byte, y in the next.
  const struct {
    uint32_t phase;
    double dx, dy;  // the expected move of the glyph from phase 0
  } cases[] = {
      {0x40, 0.25, 0},   {0x80, 0.5, 0},      {0xC0, 0.75, 0},
      {0x1F, 0, 0},      {0x21, 0.25, 0},     // either side of an eighth
      {0xF0, 1.0, 0},    // past the last quarter: the next pixel
      {0x7000, 0, 0},    {0x9000, 0, 1.0},    // along the line: whole pixels, rounded
      {0x9040, 0.25, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.phase);
    const runtime::GlyphBitmapRecord* record = font->GlyphBitmap(3, matrix, c.phase, clip, true, arena);
    ASSERT_NE(record, nullptr);
    // Within a quarter step: the coverage of a slanted edge does not move
    // its centre quite evenly.
    const Centre centre = CentreOf(*record);
    EXPECT_NEAR(centre.x - origin.x, c.dx, 0.07);
    EXPECT_NEAR(centre.y - origin.y, c.dy, 0.07);
  }
}

}  // namespace
}  // namespace fonts
