#include "raster/ImageMatrix.h"

#include <gtest/gtest.h>

namespace raster {
namespace {

using runtime::kFixedOne;

TEST(ImageMatrixTest, ConcatHalvesUntilTheUnitScaleIsRepresentable) {
  // A 1 x 1 image does no halving.
  Matrix one{kFixedOne, 0, 0, kFixedOne, 0, 0};
  ImageMatrix::Concat(one, 1, 1);
  EXPECT_EQ(one, (Matrix{kFixedOne, 0, 0, -kFixedOne, 0, kFixedOne}));
  int32_t halvings = -1;
  EXPECT_EQ(ImageMatrix::PixelsToUnit(1, 1, halvings).f, kFixedOne);
  EXPECT_EQ(halvings, 0);
  // 1000 wide halves ten times: f = 1024.0.
  EXPECT_EQ(ImageMatrix::PixelsToUnit(1000, 500, halvings).f, 1024 * kFixedOne);
  EXPECT_EQ(halvings, 10);
  Matrix halved{1000 * kFixedOne, 0, 0, 500 * kFixedOne, 0, 0};
  ImageMatrix::Concat(halved, 1000, 500);
  // Whatever the halving, pixel (width, 0) lands at the matrix's x scale.
  EXPECT_NEAR(runtime::FixedToDouble(halved.a), 1.0, 0.01);
  EXPECT_NEAR(runtime::FixedToDouble(halved.d), -1.0, 0.01);
}

TEST(ImageMatrixTest, WideImagesKeepAPositiveScale) {
  for (int32_t width : {32767, 32768, 40000, 100000}) {
    Matrix m{200 * kFixedOne, 0, 0, 100 * kFixedOne, 0, 0};
    ImageMatrix::Concat(m, width, 10);
    EXPECT_GT(m.a, 0) << width;
    // The image maps onto 200 units: one pixel is 200 / width of a unit.
    EXPECT_NEAR(runtime::FixedToDouble(m.a) * width, 200.0, 200.0 * 0.02) << width;
    EXPECT_LT(m.d, 0) << width;
  }
}

TEST(ImageMatrixTest, ReductionFactorAndVisibility) {
  struct Case {
    double scale;
    int32_t factor, shift;
  } cases[] = {{2.0, 1, 0}, {0.51, 1, 0}, {0.5, 2, 1}, {0.3, 3, 1}, {0.25, 4, 2},
               {0.1, 10, 3}, {1.0 / 32, 32, 5}, {0.01, 32, 5}};
  for (const Case& test : cases) {
    const runtime::Fixed s = runtime::FixedFromFloat(test.scale);
    const Matrix m{s, 0, 0, s, 0, 0};
    EXPECT_EQ(ReductionFactorForMatrix(m), test.factor) << test.scale;
    EXPECT_EQ(ReductionShiftForMatrix(m), test.shift) << test.scale;
  }
  const Matrix tenth{kFixedOne / 10, 0, 0, kFixedOne / 10, 0, 0};
  EXPECT_TRUE(IsBelowVisibleSize(kFixedOne / 2, tenth));
  EXPECT_FALSE(IsBelowVisibleSize(kFixedOne, tenth));
}

}  // namespace
}  // namespace raster
