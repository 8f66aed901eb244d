#include "raster/PathGeometry.h"

#include <gtest/gtest.h>

#include "tests/raster/RasterTestUnits.h"

#include "raster/Bezier.h"

namespace {

using raster::FixedClipBox;
using runtime::FixedPoint;
using runtime::kFixedMax;
using runtime::kFixedOne;

using rastertest::I;

TEST(PathGeometryTest, MidpointsAreExactWithoutOverflow) {
  EXPECT_EQ(raster::FixedVec::Midpoint(kFixedMax, kFixedMax), kFixedMax);
  EXPECT_EQ(raster::FixedVec::Midpoint(runtime::kFixedMin, runtime::kFixedMin), runtime::kFixedMin);
  EXPECT_EQ(raster::FixedVec::Midpoint(-3, 0), -2);  // halves round toward minus infinity
}

TEST(PathGeometryTest, ZonesPutTheBorderInside) {
  const FixedClipBox box{I(0), I(0), I(10), I(10), false};
  struct Case {
    FixedPoint p;
    int zone;
  } cases[] = {
      {{I(0), I(0)}, 0},    {{I(10), I(10)}, 0},  {{I(5), I(5)}, 0},   {{I(-1), I(11)}, 7},
      {{I(5), I(11)}, 6},   {{I(11), I(11)}, 5},  {{I(-1), I(5)}, 8},  {{I(11), I(5)}, 4},
      {{I(-1), I(-1)}, 1},  {{I(5), I(-1)}, 2},   {{I(11), I(-1)}, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(raster::ClipZone::ZoneOfPoint(c.p, box), c.zone) << c.p.x << "," << c.p.y;
  }
  EXPECT_TRUE(raster::ClipZone::SameOutside(box, {I(-1), I(-1)}, {I(-5), I(-2)}));
  EXPECT_FALSE(raster::ClipZone::SameOutside(box, {I(1), I(1)}, {I(2), I(2)}));
}

TEST(PathGeometryTest, ArcFactorsOfRightAndZeroAngles) {
  EXPECT_EQ(raster::ArcFactor(0), 36194);
  EXPECT_EQ(raster::ArcFactor(128), 0);
  EXPECT_GT(raster::ArcFactor(64), 0);
  EXPECT_LT(raster::ArcFactor(64), 36194);
}

TEST(PathGeometryTest, CubicEndsAreExact) {
  const FixedPoint p[4] = {{I(1) + 3, I(2) + 5}, {I(40), -I(30)}, {-I(7), I(9)}, {I(13) + 1, -I(2) - 7}};
  EXPECT_EQ(raster::Bezier::PointAt(p, 0), p[0]);
  EXPECT_EQ(raster::Bezier::PointAt(p, kFixedOne), p[3]);
  EXPECT_EQ(raster::SegmentPointAt(p, 4, kFixedOne), p[3]);
  const FixedPoint line[2] = {{I(1), I(1)}, {I(3) + 1, I(5) + 7}};
  EXPECT_EQ(raster::SegmentPointAt(line, 2, kFixedOne), line[1]);
  EXPECT_EQ(raster::SegmentPointAt(line, 2, kFixedOne / 2), (FixedPoint{I(2), I(3) + 3}));
  FixedPoint whole[4];
  raster::Bezier::SubCurve(p, 0, kFixedOne, whole);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(whole[i], p[i]);
  const FixedPoint d = raster::Bezier::DerivativeAt(p, kFixedOne);
  EXPECT_EQ(d.x, 3 * (p[3].x - p[2].x));
  EXPECT_EQ(d.y, 3 * (p[3].y - p[2].y));
}

TEST(PathGeometryTest, ExtremaStrictlyInsideTheCurve) {
  runtime::Fixed t[4];
  // x rises then falls back: one x extremum at t = 0.5.
  const FixedPoint arch[4] = {{0, 0}, {I(10), I(1)}, {I(10), I(2)}, {0, I(3)}};
  ASSERT_EQ(raster::Bezier::ExtremaParams(arch, t), 1);
  EXPECT_NEAR(t[0], kFixedOne / 2, 2);
  // Monotone in both axes: none.
  const FixedPoint rising[4] = {{0, 0}, {I(1), I(1)}, {I(2), I(2)}, {I(3), I(3)}};
  EXPECT_EQ(raster::Bezier::ExtremaParams(rising, t), 0);
  // An extremum within 4/65536 of the start is dropped: the tangent at t = 0
  // is zero in x and x then only grows.
  const FixedPoint flatStart[4] = {{0, 0}, {0, I(1)}, {I(5), I(2)}, {I(9), I(3)}};
  EXPECT_EQ(raster::Bezier::ExtremaParams(flatStart, t), 0);
}

TEST(PathGeometryTest, SplitAtExtremaGivesMonotonePieces) {
  const FixedPoint s[4] = {{0, 0}, {I(30), I(10)}, {-I(20), I(20)}, {I(10), I(30)}};
  FixedPoint pieces[5][4];
  const int count = raster::Bezier::SplitAtExtrema(s, pieces);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(pieces[0][0], s[0]);
  EXPECT_EQ(pieces[count - 1][3], s[3]);
  for (int k = 0; k < count; ++k) {
    if (k > 0) {
      EXPECT_EQ(pieces[k][0], pieces[k - 1][3]);
    }
    for (int axis = 0; axis < 2; ++axis) {
      auto v = [&](int i) { return axis == 0 ? pieces[k][i].x : pieces[k][i].y; };
      const auto low = std::min(v(0), v(3)), high = std::max(v(0), v(3));
      for (int i = 1; i <= 2; ++i) {
        EXPECT_GE(v(i), low) << k;
        EXPECT_LE(v(i), high) << k;
      }
    }
  }
  const FixedPoint rising[4] = {{0, 0}, {I(1), I(1)}, {I(2), I(2)}, {I(3), I(3)}};
  EXPECT_EQ(raster::Bezier::SplitAtExtrema(rising, pieces), 1);
}

}  // namespace
