#include "runtime/LineIntersection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "runtime/ClipBox.h"
#include "runtime/Vector.h"
#include "tests/support/FixedValues.h"

namespace runtime {
namespace {

using testsupport::F;

TEST(LineIntersectionTest, Table) {
  struct Case {
    const char* name;
    bool segment;
    double x0, y0, x1, y1, x2, y2, x3, y3;
    bool meets;
    double x, y;
  } cases[] = {
      {"crossing diagonals", true, 0, 0, 2, 2, 0, 2, 2, 0, true, 1, 1},
      {"parallel segments", true, 0, 0, 1, 0, 0, 1, 1, 1, false, 0, 0},
      {"parallel lines", false, 0, 0, 1, 0, 0, 1, 1, 1, false, 0, 0},
      {"lines meet beyond the segment", false, 0, 0, 1, 1, 3, 0, 3, 1, true, 3, 3},
      {"segments that miss", true, 0, 0, 1, 1, 3, 0, 3, 1, false, 0, 0},
      {"second segment short of the first", true, 0, 0, 4, 0, 1, 1, 1, 3, false, 0, 0},
      {"touching end", true, 0, 0, 2, 0, 1, 0, 1, 2, true, 1, 0},
      {"far from the origin", true, 10000, 10000, 10002, 10002, 10000, 10002, 10002, 10000,
       true, 10001, 10001},
      {"large spread", false, -20000, 0, 20000, 0, 0, -20000, 0, 20000, true, 0, 0},
  };
  for (const Case& c : cases) {
    Fixed x = -7, y = -7;
    const bool meets = LineIntersection(x, y, F(c.x0), F(c.y0), F(c.x1), F(c.y1), F(c.x2),
                                        F(c.y2), F(c.x3), F(c.y3), c.segment);
    EXPECT_EQ(meets, c.meets) << c.name;
    if (c.meets) {
      EXPECT_EQ(x, F(c.x)) << c.name;
      EXPECT_EQ(y, F(c.y)) << c.name;
    }
  }
  Fixed x = 0, y = 0;
  EXPECT_TRUE(SegmentIntersect(x, y, 0, 0, F(2), F(2), 0, F(2), F(2), 0));
  EXPECT_EQ(x, F(1));
  EXPECT_TRUE(LineIntersect(x, y, 0, 0, F(1), F(1), F(3), 0, F(3), F(1)));
  EXPECT_EQ(y, F(3));
  // Points at the extremes of the range: no overflow, whatever the answer.
  LineIntersection(x, y, kFixedMin, kFixedMin, kFixedMax, kFixedMax, kFixedMin, kFixedMax,
                   kFixedMax, kFixedMin, false);
  LineIntersection(x, y, kFixedLowest, 0, kFixedMax, 1, 0, kFixedLowest, 1, kFixedMax, true);
  // Any coordinates at all (the sanitizer build checks for overflow); a
  // point found on crossing segments lies within their common bounds.
  std::mt19937 random(13);
  for (int i = 0; i < 20000; ++i) {
    Fixed v[8];
    for (Fixed& c : v) c = static_cast<Fixed>(random()) >> (random() % 32);
    for (bool segment : {false, true}) {
      if (LineIntersection(x, y, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], segment) &&
          segment) {
        EXPECT_GE(x, int64_t{std::min(v[0], v[2])} - 0x10000);
        EXPECT_LE(x, int64_t{std::max(v[0], v[2])} + 0x10000);
      }
    }
  }
}

TEST(VectorTest, SnapToAxis) {
  struct Case {
    double x, y, sx, sy;
  } cases[] = {
      {3, -3, 0, -1}, {0, 0, 0, -1},   {3, 1, 1, 0},  {-3, 1, -1, 0},
      {1, 3, 0, 1},   {0.5, -4, 0, -1}, {-2, -2, 0, -1}, {2, 2, 0, 1},
  };
  for (const Case& c : cases) {
    Fixed x = F(c.x), y = F(c.y);
    Vector::SnapToAxis(x, y);
    EXPECT_EQ(x, F(c.sx)) << c.x << "," << c.y;
    EXPECT_EQ(y, F(c.sy)) << c.x << "," << c.y;
  }
  Fixed x = kFixedLowest, y = kFixedMax;  // |0x80000000| is the larger
  Vector::SnapToAxis(x, y);
  EXPECT_EQ(x, -kFixedOne);
  EXPECT_EQ(y, 0);
}

TEST(ClipBoxTest, ClassifiesWholePixelBounds) {
  struct Case {
    const char* name;
    bool off;
    double points[8];
    ClipBox::Classification expected;
  } cases[] = {
      {"inside", false, {1, 1, 2, 3, 4, 2, 9, 9}, ClipBox::kInside},
      {"rounded out to the box edge", false, {0.5, 0.5, 9.5, 9.5, 1, 1, 1, 1}, ClipBox::kInside},
      {"rounded out past the box", false, {0.5, 0.5, 10.25, 9.5, 1, 1, 1, 1}, ClipBox::kPartly},
      {"disjoint", false, {20, 20, 21, 25, 30, 30, 22, 22}, ClipBox::kOutside},
      {"touching the right edge only", false, {10, 1, 12, 2, 11, 3, 10, 4}, ClipBox::kOutside},
      {"overlap", false, {-5, -5, 5, 5, 0, 0, 1, 1}, ClipBox::kPartly},
      {"clipping off", true, {20, 20, 21, 25, 30, 30, 22, 22}, ClipBox::kInside},
      {"one point on a whole pixel", false, {30, 30, 30, 30, 30, 30, 30, 30}, ClipBox::kInside},
  };
  for (const Case& c : cases) {
    ClipBox clip{{0, 0, 10, 10}, c.off};
    const double* p = c.points;
    EXPECT_EQ(clip.ClassifyPoints({F(p[0]), F(p[1])}, {F(p[2]), F(p[3])}, {F(p[4]), F(p[5])},
                                  {F(p[6]), F(p[7])}),
              c.expected)
        << c.name;
  }
}

}  // namespace
}  // namespace runtime
