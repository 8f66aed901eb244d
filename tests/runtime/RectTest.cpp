#include "runtime/Rect.h"

#include <gtest/gtest.h>

#include "runtime/Rect64.h"
#include "tests/support/FixedValues.h"
#include "tests/support/GeometryPrinters.h"

namespace runtime {
namespace {

using testsupport::F;
constexpr Rect R(double x0, double y0, double x1, double y1) {
  return {F(x0), F(y0), F(x1), F(y1)};
}

TEST(RectTest, Emptiness) {
  EXPECT_TRUE(R(0, 0, 0, 5).IsEmpty());
  EXPECT_TRUE(R(0, 5, 5, 4).IsEmpty());
  EXPECT_FALSE(R(-1, -1, 0, 0).IsEmpty());
  EXPECT_FALSE(kUnboundedRect.IsEmpty());
  EXPECT_FALSE(kUnboundedRectSymmetric.IsEmpty());
  EXPECT_TRUE(kEmptyBoundsStart.IsEmpty());
  EXPECT_TRUE(RectEquals(R(1, 2, 3, 4), R(1, 2, 3, 4)));
  EXPECT_FALSE(RectEquals(R(1, 2, 3, 4), R(1, 2, 3, 5)));
}

TEST(RectTest, IntersectionAndUnion) {
  struct Case {
    const char* name;
    Rect r, s, intersection, unionRect;
  } cases[] = {
      {"disjoint collapses at the larger minimum", R(0, 0, 10, 10), R(20, 20, 30, 30),
       R(20, 20, 20, 20), R(0, 0, 30, 30)},
      {"overlap", R(0, 0, 10, 10), R(5, -5, 15, 5), R(5, 0, 10, 5), R(0, -5, 15, 10)},
      {"inside", R(0, 0, 10, 10), R(2, 2, 3, 3), R(2, 2, 3, 3), R(0, 0, 10, 10)},
      {"first empty gives the second whole", R(5, 5, 5, 5), R(1, 1, 2, 2), R(5, 5, 5, 5),
       R(1, 1, 2, 2)},
      {"second empty gives the first", R(1, 1, 2, 2), R(9, 9, 0, 0), R(9, 9, 9, 9),
       R(1, 1, 2, 2)},
      {"both empty give the second unchanged", R(3, 3, 1, 1), R(7, 8, 6, 5), R(7, 8, 7, 8),
       R(7, 8, 6, 5)},
      {"accumulator start",
       kEmptyBoundsStart,
       R(1, 2, 3, 4),
       {kFixedMax, kFixedMax, kFixedMax, kFixedMax},
       R(1, 2, 3, 4)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rect::Intersect(c.r, c.s), c.intersection) << c.name;
    EXPECT_EQ(Rect::IntersectWith(c.r, c.s), c.intersection) << c.name;
    Rect inPlace = c.r;
    inPlace.IntersectInPlace(c.s);
    EXPECT_EQ(inPlace, c.intersection) << c.name;
    EXPECT_EQ(Rect::Union(c.r, c.s), c.unionRect) << c.name;
    BoundsAccumulator accumulator{c.r};
    accumulator.Add(c.s);
    EXPECT_EQ(accumulator.bounds, c.unionRect) << c.name;
  }
}

TEST(RectTest, ContainmentIsClosedForRectanglesAndHalfOpenForPoints) {
  const Rect box = R(0, 0, 10, 10);
  EXPECT_TRUE(Rect::Contains(box, R(0, 0, 10, 10)));
  EXPECT_TRUE(Rect::Contains(box, R(50, 50, 40, 60)));  // empty: always inside
  EXPECT_TRUE(Rect::Encloses(R(5, 5, 5, 5), R(50, 50, 50, 50)));
  EXPECT_FALSE(Rect::Contains(box, R(-1, 0, 5, 5)));
  EXPECT_FALSE(Rect::Contains(box, R(0, 0, 5, 10.5)));

  struct PointCase {
    double x, y;
    bool inside;
  } points[] = {{0, 0, true},   {9.99, 9.99, true}, {10, 5, false},
                {5, 10, false}, {-0.01, 5, false},  {5, 0, true}};
  for (const PointCase& p : points) {
    EXPECT_EQ(box.ContainsPoint(F(p.x), F(p.y)), p.inside) << p.x << "," << p.y;
    EXPECT_EQ(box.ContainsXY(F(p.x), F(p.y)), p.inside) << p.x << "," << p.y;
  }

  Rect bounds = kEmptyBoundsStart;
  bounds.IncludePoint(F(3), F(-2));
  EXPECT_EQ(bounds, R(3, -2, 3, -2));
  bounds.IncludePoint(F(-1), F(4));
  EXPECT_EQ(bounds, R(-1, -2, 3, 4));
}

TEST(RectTest, OffsetsSaturateAtTheirOwnLimits) {
  struct Case {
    const char* name;
    Rect r;
    Fixed dx, dy;
    Rect offset, offsetSaturating, inset;
  } cases[] = {
      {"plain", R(1, 2, 3, 4), F(1), F(-1), R(2, 1, 4, 3), R(2, 1, 4, 3), R(2, 1, 2, 5)},
      {"negative limit",
       {kFixedMin, 0, 0, 0},
       F(-1),
       0,
       {kFixedMin, 0, F(-1), 0},
       {kFixedLowest, 0, F(-1), 0},
       {kFixedMin, 0, F(1), 0}},
      {"positive limit",
       {0, 0, 0x7fff8000, 0x7fff8000},
       F(1),
       F(1),
       {F(1), F(1), kFixedMax, kFixedMax},
       {F(1), F(1), kFixedMax, kFixedMax},
       {F(1), F(1), 0x7ffe8000, 0x7ffe8000}},
      {"unbounded inset by the lowest delta",
       kUnboundedRect,
       kFixedLowest,
       0,
       {kFixedMin, kFixedLowest, -1, kFixedMax},
       {kFixedLowest, kFixedLowest, -1, kFixedMax},
       {kFixedMin, kFixedLowest, kFixedMax, kFixedMax}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rect::Offset(c.r, c.dx, c.dy), c.offset) << c.name;
    EXPECT_EQ(Rect::OffsetSaturating(c.r, c.dx, c.dy), c.offsetSaturating) << c.name;
    EXPECT_EQ(Rect::InsetSaturated(c.r, c.dx, c.dy), c.inset) << c.name;
  }
  const BoundsRecord record{R(1, 1, 2, 2), kFixedMax, F(5)};
  const BoundsRecord moved = BoundsRecord::Offset(record, F(1), F(2));
  EXPECT_EQ(moved.rect, R(2, 3, 3, 4));
  EXPECT_EQ(moved.xa, kFixedLowest + 0xffff);  // plain addition wraps
  EXPECT_EQ(moved.xb, F(6));
}

TEST(RectTest, DeflateSaturatesEachEdgeAtTheFullRange) {
  struct Case {
    const char* name;
    Rect r;
    Fixed dx, dy;
    Rect deflated;
  } cases[] = {
      {"shrinks inward", R(1, 2, 5, 6), F(1), F(2), R(2, 4, 4, 4)},
      {"negative deltas grow", R(1, 2, 5, 6), F(-1), F(-2), R(0, 0, 6, 8)},
      {"x1 near the top grown by 100 stays at the top",
       {0, 0, kFixedMax - 50, 0}, -100, 0, {-100, 0, kFixedMax, 0}},
      {"x0 near the bottom grown by 100 stays at the bottom",
       {kFixedLowest + 50, 0, 0, 0}, -100, 0, {kFixedLowest, 0, 100, 0}},
      {"a sum of exactly 0x80000000 is not an overflow",
       {kFixedMin, 0, 0, 0}, -1, 0, {kFixedLowest, 0, 1, 0}},
      {"the lowest delta subtracts exactly",
       {0, kFixedLowest, -1, 0}, kFixedLowest, kFixedLowest, {kFixedLowest, kFixedLowest, kFixedMax, kFixedMax}},
  };
  for (const Case& c : cases) EXPECT_EQ(Rect::Deflate(c.r, c.dx, c.dy), c.deflated) << c.name;
}

TEST(RectTest, PixelConversions) {
  struct Case {
    Rect r;
    IntRect pixels;
  } cases[] = {
      {{0, 0, 0x7fff0001, 0x18000}, {0, 0, 32767, 2}},
      {{-0x8000, -0x10000, 0x10000, 0x7fffffff}, {-1, -1, 1, 32767}},
      {{kFixedLowest, 0x7fff0000, 0, 0x7fff0000}, {-32768, 32767, 0, 32767}},
  };
  for (const Case& c : cases) EXPECT_EQ(Rect::ToPixelBounds(c.r), c.pixels);
  EXPECT_EQ(Rect::FromIntRect({1, 2, 3, 4}), R(1, 2, 3, 4));
  EXPECT_EQ(Rect::FromIntRect({3, 2, 3, 4}), Rect{});
  EXPECT_EQ(Rect::FromIntRect({-5, -5, -4, -4}), R(-5, -5, -4, -4));
}

TEST(RectTest, QuarterTurns) {
  struct Case {
    int32_t rotation;
    Rect rotated;
  } cases[] = {
      {0, {1, 2, 3, 4}},    {90, {-4, 1, -2, 3}},   {180, {-3, -4, -1, -2}},
      {270, {2, -3, 4, -1}}, {45, {2, -3, 4, -1}},  {-90, {2, -3, 4, -1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rect::Rotate(c.rotation, {1, 2, 3, 4}), c.rotated) << c.rotation;
    EXPECT_EQ(Rect::RotateByPageRotation(c.rotation, {1, 2, 3, 4}), c.rotated) << c.rotation;
  }
  // An unbounded rectangle stays non-empty under every turn.
  for (int32_t rotation : {90, 180, 270})
    EXPECT_FALSE(Rect::Rotate(rotation, kUnboundedRect).IsEmpty()) << rotation;

  Rect p = R(1, 1, 2, 2), q = R(3, 3, 4, 4);
  Rect::SwapBounds(p, q);
  EXPECT_EQ(p, R(3, 3, 4, 4));
  EXPECT_EQ(q, R(1, 1, 2, 2));
}

TEST(Rect64Test, Operations) {
  Rect64 r{0, 0, 10, 10};
  EXPECT_FALSE(r.IsEmpty());
  EXPECT_TRUE((Rect64{0, 0, 0, 10}.IsEmpty()));
  EXPECT_TRUE((Rect64{5, 0, 4, 10}.IsEmpty()));
  EXPECT_FALSE((Rect64{0, 0, 0x100000000, 1}.IsEmpty()));  // no 32-bit truncation
  EXPECT_EQ(Rect64::Intersect(r, {20, 20, 30, 30}), (Rect64{20, 20, 20, 20}));
  EXPECT_EQ(Rect64::Intersect(r, {5, -5, 15, 5}), (Rect64{5, 0, 10, 5}));

  EXPECT_EQ(Rect64::OffsetSaturating({INT64_MIN, 0, INT64_MAX - 1, 0}, -1, 0),
            (Rect64{INT64_MIN, 0, INT64_MAX - 2, 0}));
  EXPECT_EQ(Rect64::OffsetSaturating({0, INT64_MAX, 0, 1}, 0, 1),
            (Rect64{0, INT64_MAX, 0, 2}));

  EXPECT_EQ(Rect64::Rotate(90, {1, 2, 3, 4}), (Rect64{-4, 1, -2, 3}));
  EXPECT_EQ(Rect64::Rotate(180, {1, 2, 3, 4}), (Rect64{-3, -4, -1, -2}));
  EXPECT_EQ(Rect64::Rotate(270, {1, 2, 3, 4}), (Rect64{2, -3, 4, -1}));
  EXPECT_EQ(Rect64::Rotate(0, {1, 2, 3, 4}), (Rect64{1, 2, 3, 4}));
  EXPECT_EQ(Rect64::Rotate(180, {INT64_MIN, 0, 1, 1}), (Rect64{-1, -1, INT64_MAX, 0}));

  r.Clear();
  EXPECT_EQ(r, Rect64{});
}

}  // namespace
}  // namespace runtime
