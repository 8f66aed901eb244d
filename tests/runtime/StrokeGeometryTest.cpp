#include "runtime/StrokeGeometry.h"

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <vector>

#include "runtime/LibraryContext.h"
#include "runtime/StrokeStyle.h"
#include "tests/support/CaughtError.h"
#include "tests/support/FixedValues.h"
#include "tests/support/GeometryPrinters.h"

namespace runtime {
namespace {

using testsupport::F;

constexpr Matrix Scale(double sx, double sy) { return {F(sx), 0, 0, F(sy), 0, 0}; }

class StrokeGeometryTest : public ::testing::Test {
 protected:
  StrokeStyle Style(Fixed width, int32_t join = StrokeStyle::kMiterJoin,
                    Fixed miterLimit = StrokeStyle::kDefaultMiterLimit) {
    StrokeStyle style(&context);
    style.width = width;
    style.lineJoin = join;
    style.miterLimit = miterLimit;
    return style;
  }
  LibraryContext context;
};

TEST_F(StrokeGeometryTest, DefaultStyle) {
  const StrokeStyle style(&context);
  EXPECT_EQ(style.width, 0x10000);
  EXPECT_EQ(style.miterLimit, 0xA0000);
  EXPECT_EQ(style.lineCap, 0);
  EXPECT_EQ(style.lineJoin, 0);
  EXPECT_EQ(style.dashPhase, 0);
  EXPECT_FALSE(style.IsDashed());

  StrokeStyle dashed(&context);
  const std::vector<Fixed> pattern{F(1), F(2), F(3), F(4), F(5), F(6), F(7), F(8), F(9)};
  dashed.SetDash(pattern, F(0.5));
  StrokeStyle copy = dashed;  // nine entries: beyond the inline slots
  ASSERT_EQ(copy.dashes.Count(), 9u);
  EXPECT_EQ(copy.dashes[8], F(9));
  EXPECT_EQ(copy.dashPhase, F(0.5));
  dashed.SetDash({}, 0);
  EXPECT_FALSE(dashed.IsDashed());
  EXPECT_TRUE(copy.IsDashed());
}

TEST_F(StrokeGeometryTest, EffectiveWidth) {
  struct Case {
    const char* name;
    Matrix matrix;
    Fixed width, effective, device;
  } cases[] = {
      {"uniform scale narrows by a quarter pixel", Scale(2, 2), F(1), 0xE000, F(1.75)},
      {"not nearly uniform", Scale(2, 1), F(1), F(1), F(2)},
      {"within 0.3 of the smaller scale", Scale(2, 1.6), F(1), 0xE000, F(1.75)},
      {"just beyond 0.3 of the smaller scale", Scale(2, 1.5), F(1), F(1), F(2)},
      {"zero width stays zero", Scale(1, 1), 0, 0, 0},
      {"device width over 1000 is not narrowed", Scale(2, 2), F(600), F(600), F(1200)},
      {"collapsed matrix gets the floor", Scale(0, 0), F(1), 0x3fffff, kFixedMax},
      {"huge width saturates on the device", Scale(1000, 1000), F(5000), F(5000), kFixedMax},
  };
  for (const Case& c : cases) {
    Fixed device = -1;
    EXPECT_EQ(StrokeGeometry::EffectiveWidth(Style(c.width), c.matrix, device), c.effective)
        << c.name;
    EXPECT_EQ(device, c.device) << c.name;
  }
}

TEST_F(StrokeGeometryTest, ThinAndTolerances) {
  struct ThinCase {
    const char* name;
    Matrix matrix;
    Fixed width;
    bool thin;
  } thins[] = {
      {"device width 0.2", Scale(1, 1), F(0.2), true},
      {"0.3 truncated is still thin", Scale(1, 1), F(0.3), true},
      {"device width 0.3", Scale(1, 1), 19661, false},
      {"scaled down", Scale(0.1, 0.1), F(2.5), true},
      {"scaled up", Scale(4, 1), F(0.1), false},
      {"huge width is not thin", Scale(30000, 30000), F(30000), false},
  };
  for (const ThinCase& c : thins)
    EXPECT_EQ(StrokeGeometry::IsThin(Style(c.width), c.matrix), c.thin) << c.name;

  struct ToleranceCase {
    double scale;
    Fixed tolerance, quarter;
  } tolerances[] = {
      {1, 0x4000, 0x4000}, {0.5, 0x8000, 0x8000}, {4, 0x1000, 0x1000}, {8000, 64, 2},
      {0, kFixedMax, kFixedMax},
  };
  for (const ToleranceCase& c : tolerances) {
    EXPECT_EQ(StrokeGeometry::Tolerance(Scale(c.scale, c.scale)), c.tolerance) << c.scale;
    EXPECT_EQ(StrokeGeometry::QuarterPixel(Scale(c.scale, c.scale)), c.quarter) << c.scale;
  }
}

TEST_F(StrokeGeometryTest, CullRectangle) {
  struct Case {
    const char* name;
    Matrix matrix;
    Fixed width;
    int32_t join;
    Fixed miterLimit;
    Rect cull;
  } cases[] = {
      {"mitred joins grow by twice the limit times the width", Scale(1, 1), F(1),
       StrokeStyle::kMiterJoin, F(10), {F(-20), F(-20), F(120), F(70)}},
      {"round joins grow by twice the width", Scale(1, 1), F(1), StrokeStyle::kRoundJoin, F(25),
       {F(-2), F(-2), F(102), F(52)}},
      {"miter limit 25 leaves it unbounded", Scale(1, 1), F(1), StrokeStyle::kMiterJoin, F(25),
       kUnboundedRectSymmetric},
      {"miter limit below 1 counts as 1", Scale(1, 1), F(1), StrokeStyle::kMiterJoin, F(0.5),
       {F(-2), F(-2), F(102), F(52)}},
      {"clip mapped back to user space", Scale(2, 2), F(1), StrokeStyle::kBevelJoin, F(10),
       {F(-2), F(-2), F(52), F(27)}},
      {"no inverse: unbounded", Scale(0, 0), F(1), StrokeStyle::kRoundJoin, F(10),
       kUnboundedRectSymmetric},
      {"a huge width saturates instead of wrapping", Scale(1, 1), F(1000),
       StrokeStyle::kMiterJoin, F(20), {kFixedMin, kFixedMin, kFixedMax, kFixedMax}},
      {"negative width shrinking it away", Scale(1, 1), F(-100), StrokeStyle::kRoundJoin,
       F(10), {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const StrokeStyle style = Style(c.width, c.join, c.miterLimit);
    EXPECT_EQ(StrokeGeometry::CullRect(style, {0, 0, 100, 50}, c.matrix), c.cull) << c.name;
  }
}

TEST_F(StrokeGeometryTest, SetUpRecord) {
  StrokeStyle style = Style(F(1));
  const StrokeGeometry plain(&context, style, {0, 0, 100, 100}, Scale(2, 2));
  EXPECT_EQ(plain.style, &style);
  EXPECT_EQ(plain.divisor, F(1));
  EXPECT_EQ(plain.width, 0xE000);
  EXPECT_EQ(plain.halfWidth, 0x7000);
  EXPECT_EQ(plain.halfWidthSquared, 0x3100);
  EXPECT_EQ(plain.inverseScale, F(0.5));
  EXPECT_EQ(plain.tolerance, 0x2000);
  EXPECT_EQ(plain.undashedTolerance, 0x2000);
  EXPECT_EQ(plain.levelLimit, 6);
  EXPECT_FALSE(plain.thin);
  EXPECT_EQ(plain.cullRect, (Rect{F(-20), F(-20), F(70), F(70)}));  // miter 10 × 2 × 1.0
  EXPECT_EQ(plain.dashes.Count(), 0u);

  const std::vector<Fixed> pattern{F(3), F(1), F(2), F(1), F(4), F(1)};
  style.SetDash(pattern, F(0.5));
  const StrokeGeometry dashed(&context, style, {0, 0, 100, 100}, Scale(2, 2));
  EXPECT_EQ(dashed.undashedTolerance, 0);
  EXPECT_EQ(dashed.dashPhase, F(0.5));
  ASSERT_EQ(dashed.dashes.Count(), 6u);
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(dashed.dashes[i], pattern[i]) << i;
}

TEST_F(StrokeGeometryTest, WideStrokesAreNormalisedByTheirWidth) {
  // Not nearly uniform, so the width stays 100.0 and is the divisor.
  StrokeStyle style = Style(F(100));
  const std::vector<Fixed> pattern{F(50), F(25)};
  style.SetDash(pattern, F(12.5));
  const StrokeGeometry wide(&context, style, {0, 0, 10, 10}, Scale(1, 0.5));
  EXPECT_EQ(wide.divisor, F(100));
  EXPECT_EQ(wide.width, F(1));
  EXPECT_EQ(wide.halfWidth, F(0.5));
  EXPECT_EQ(wide.halfWidthSquared, F(0.25));
  EXPECT_EQ(wide.dashes[0], F(0.5));
  EXPECT_EQ(wide.dashes[1], F(0.25));
  EXPECT_EQ(wide.dashPhase, F(0.125));
  EXPECT_EQ(wide.undashedTolerance, 0);

  // A large matrix entry limits the divisor: the width keeps a factor that
  // the matrix brings back.
  const StrokeStyle large = Style(F(200));
  const Matrix big{F(1000), 0, 0, F(500), 0, 0};
  const StrokeGeometry limited(&context, large, {0, 0, 10, 10}, big);
  EXPECT_EQ(limited.divisor, FixedDiv(kFixedMax, F(1000)));
  EXPECT_EQ(limited.width, FixedDiv(F(200), limited.divisor));

  // Even the limited divisor leaves 5000 at 90.0 or more.
  const StrokeStyle huge = Style(F(5000));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
              StrokeGeometry geometry(&context, huge, {0, 0, 10, 10}, Scale(1000, 1000));
            }),
            kBeyondLimit);
}

TEST_F(StrokeGeometryTest, AnyStyleAndMatrixEitherSetsUpOrRaisesCodeSix) {
  std::mt19937 random(23);
  auto any = [&] { return static_cast<Fixed>(random()) >> (random() % 32); };
  for (int i = 0; i < 5000; ++i) {
    StrokeStyle style = Style(any(), static_cast<int32_t>(random() % 3), any());
    const std::vector<Fixed> pattern{any(), any(), any(), any(), any()};
    style.SetDash(std::span(pattern).first(random() % 6), any());
    const Matrix m{any(), any(), any(), any(), any(), any()};
    const long code = testsupport::RuntimeCodeOf(&context, [&] {
      const StrokeGeometry geometry(&context, style, {0, 0, 240, 320}, m);
      EXPECT_LT(AbsSat(geometry.width), kFixedNinety);
      EXPECT_EQ(geometry.halfWidth, geometry.width >> 1);
    });
    EXPECT_TRUE(code == -1 || code == kBeyondLimit) << code;
  }
}

}  // namespace
}  // namespace runtime
