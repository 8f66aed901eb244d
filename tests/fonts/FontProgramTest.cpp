#include "fonts/FontProgram.h"

#include <gtest/gtest.h>

#include "fonts/CffFont.h"
#include "tests/fonts/CffBuilder.h"
#include "tests/fonts/FontTestSupport.h"

namespace {

TEST(FontProgram, OversamplingAndMatrixMeasures) {
  const fonttest::Bytes program = [] {
    fonttest::CffBuilder b;
    b.charstrings.assign(2, fonttest::Charstring({fonttest::Op(fonttest::kEndchar)}));
    return b.Build();
  }();
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, program);
  ASSERT_TRUE(font);
  const struct {
    fonts::Matrix m;
    fonts::OversamplingFactors expected;
  } cases[] = {
      {{runtime::FixedFromFloat(1.2), 0, 0, runtime::FixedFromFloat(1.2), 0, 0}, {4, 1}},
      {{runtime::FixedFromFloat(1.8), 0, 0, runtime::FixedFromFloat(1.8), 0, 0}, {2, 1}},
      {{2 * 65536, 0, 0, 2 * 65536, 0, 0}, {1, 1}},
      {{0, 65536, -65536, 0, 0, 0}, {1, 4}},  // a quarter turn at scale 1
      {{46341, 46341, -46341, 46341, 0, 0}, {1, 1}},
  };
  for (const auto& c : cases) EXPECT_EQ(font->GlyphOversampling(c.m), c.expected);
  EXPECT_EQ(fonts::GeometricScale({2 * 65536, 0, 0, -2 * 65536, 5, 7}), 2 * 65536);
  EXPECT_NEAR(fonts::GeometricScale({0, 4 * 65536, -65536, 0, 0, 0}), 2 * 65536, 2);
  EXPECT_TRUE(fonts::IsFontUnitScale({65, 0, 0, 65, 0, 0}));
  EXPECT_FALSE(fonts::IsFontUnitScale({65, 0, 0, 65, 1, 0}));
}

TEST(FontProgram, OrientationSplitKeepsTheGlyphUpright) {
  // Glyph 1: a line from (0,0) to (100, 200); drawn under a y-flip and a
  // quarter turn, the points stay upright and the orientation carries the
  // rest.
  fonttest::CffBuilder b;
  b.charstrings.assign(2, fonttest::Charstring({fonttest::Op(fonttest::kEndchar)}));
  b.charstrings[1] = fonttest::Charstring({fonttest::N(100), fonttest::N(200), fonttest::Op(fonttest::kRlineto)});
  const fonttest::Bytes program = b.Build();
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, program);
  ASSERT_TRUE(font);
  font->SetHinting(false);
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const struct {
    fonts::Matrix m;
    fonts::Matrix orientation;
  } cases[] = {
      {{65536, 0, 0, -65536, 0, 0}, {65536, 0, 0, -65536, 0, 0}},
      {{0, 65536, 65536, 0, 0, 0}, {0, 65536, 65536, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    runtime::ArenaVector<runtime::FixedPoint> points(arena, 8);
    fonts::Matrix orientation;
    font->GlyphByIndex(1, c.m, points, arena, orientation);
    EXPECT_EQ(orientation, c.orientation);
    ASSERT_EQ(points.Size(), 2u);
    EXPECT_EQ(points[1].x & ~1, 100 * 65536);
    EXPECT_EQ(points[1].y & ~1, 200 * 65536);
  }
}

}  // namespace
