#include "raster/ConstantSources.h"

#include <gtest/gtest.h>

#include "runtime/ArenaAllocator.h"

namespace raster {
namespace {

class ConstantSourcesTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
};

TEST_F(ConstantSourcesTest, FixedToByteClampsAndRounds) {
  struct Case {
    runtime::Fixed value;
    int byte;
  } cases[] = {
      {runtime::kFixedOne, 255}, {0x8000, 127}, {0x7fff, 127}, {0xff00, 254}, {0, 0},
      // Outside [0, 1] is clamped, never wrapped.
      {0x10001, 255}, {0x20000, 255}, {-1, 0}, {-0x10000, 0}, {runtime::kFixedMax, 255}, {INT32_MIN, 0},
  };
  for (const Case& test : cases) EXPECT_EQ(FixedToByte(test.value), test.byte) << test.value;
}

TEST_F(ConstantSourcesTest, ConstantSources) {
  PlaneSource* opaque = AlphaSource::FromFixed(arena, runtime::kFixedOne);
  EXPECT_TRUE(opaque->alphaOpaque);
  EXPECT_TRUE(opaque->shapeOpaque);
  PlaneSource* half = AlphaSource::FromFixed(arena, 0x8000);
  EXPECT_FALSE(half->alphaOpaque);
  EXPECT_EQ(*CursorAt(half->variants[0].alpha, 1234).Channel(2), 127);
  EXPECT_EQ(half->variants[0].colour, nullptr);
  PlaneSource* transparent = TransparentSource::Create(arena);
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(transparent->variants[0].Plane(k)->IsZeroConstant());
  PlaneSource* shape = ShapeSource::FromFixed(arena, 0xff00);
  EXPECT_EQ(*CursorAt(shape->variants[0].shape, -7).Channel(0), 254);
  PlaneSource* rgb = SolidColorSource::FromRgbFixed(arena, runtime::kFixedOne, 0x8000, 0x30000);
  EXPECT_TRUE(rgb->variants[0].IsOpaqueConstBgr());
  const SpanCursor colour = CursorAt(rgb->variants[0].colour, 99);
  EXPECT_EQ(*colour.Channel(0), 255);
  EXPECT_EQ(*colour.Channel(1), 127);
  EXPECT_EQ(*colour.Channel(2), 255);
  const runtime::Fixed cmyk[] = {0, 0x4000, 0x8000, -5};
  const SpanCursor four = CursorAt(SolidColorSource::FromFixed(arena, cmyk)->variants[0].colour, 0);
  EXPECT_EQ(four.count, 4);
  EXPECT_EQ(*four.Channel(1), 64);
  EXPECT_EQ(*four.Channel(3), 0);
}

}  // namespace
}  // namespace raster
