#include "raster/PaintGeometry.h"

#include <gtest/gtest.h>

#include "runtime/ArenaAllocator.h"
#include "tests/support/CaughtError.h"

namespace raster {
namespace {

using runtime::FixedFromInt;
using runtime::kFixedOne;

Rect R(int x0, int y0, int x1, int y1) { return {FixedFromInt(x0), FixedFromInt(y0), FixedFromInt(x1), FixedFromInt(y1)}; }

TEST(PaintGeometryTest, RectangleOverlap) {
  EXPECT_TRUE(Rect::Intersects(R(0, 0, 10, 10), R(5, 5, 15, 15)));
  EXPECT_FALSE(Rect::Intersects(R(0, 0, 10, 10), R(10, 0, 20, 10)));  // a shared edge only
  EXPECT_FALSE(Rect::Intersects(R(0, 0, 10, 10), R(5, 5, 5, 8)));     // empty
  const Rect none = Rect::Combine(true, R(0, 0, 10, 10), R(20, 20, 30, 30));
  EXPECT_EQ(none.y1, none.y0);
  EXPECT_EQ(Rect::Combine(false, R(0, 0, 10, 10), R(20, 20, 30, 30)), R(0, 0, 30, 30));
}

TEST(PaintGeometryTest, StrokeMargin) {
  // Width 0 reads as 6 raw units, a factor below 1.4143 is raised to it.
  EXPECT_EQ((StrokeMargin{0, kFixedOne}.Margin()), runtime::FixedMul(6, 92687) >> 1);
  EXPECT_EQ((StrokeMargin{FixedFromInt(4), 0}.Margin()), runtime::FixedMul(FixedFromInt(4), 92687) >> 1);
  EXPECT_EQ((StrokeMargin{FixedFromInt(4), FixedFromInt(3)}.Margin()), FixedFromInt(6));
  // An overflowing product falls back to the width.
  EXPECT_EQ((StrokeMargin{FixedFromInt(30000), FixedFromInt(30000)}.Margin()), FixedFromInt(30000));
  // A stroke 2 units wide reaches a rectangle 1 unit away.
  const StrokeMargin wide{FixedFromInt(2), kFixedOne};
  EXPECT_FALSE(IntersectsWithMargin(wide, R(11, 0, 20, 10), R(0, 0, 10, 10), false));
  EXPECT_TRUE(IntersectsWithMargin(wide, R(11, 0, 20, 10), R(0, 0, 10, 10), true));
}

TEST(PaintGeometryTest, MayIntersectUnderAChangedMatrix) {
  PaintBounds object;
  object.hasBounds = true;
  object.bounds = R(0, 0, 10, 10);
  // Drawn again under a shift of 100: it moves away from the rectangle.
  const Matrix shift{kFixedOne, 0, 0, kFixedOne, FixedFromInt(100), 0};
  EXPECT_FALSE(PaintBounds::MayIntersect(object, shift, R(0, 0, 10, 10), false));
  EXPECT_TRUE(PaintBounds::MayIntersect(object, shift, R(-100, 0, -95, 10), false));
  object.hasBounds = false;
  EXPECT_TRUE(PaintBounds::MayIntersect(object, shift, R(0, 0, 10, 10), false));
  object.hasBounds = true;
  runtime::LibraryContext context;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context,
                                       [&] { PaintBounds::MayIntersect(object, Matrix{0, 0, 0, 0, 0, 0}, R(0, 0, 1, 1), false); }),
            runtime::kMalformed);
}

TEST(PaintGeometryTest, AxisAlignedRectangles) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  runtime::IntRect out;
  StoredPath* rect = RectPath::Build(arena, R(1, 2, 5, 7));
  EXPECT_TRUE(Path::IsAxisAlignedRect(rect->Points(), Matrix{}, out));
  EXPECT_EQ(out, (runtime::IntRect{1, 2, 5, 7}));
  struct Case {
    const char* name;
    std::vector<std::pair<int, FixedPoint>> points;  // kind 0 move, 1 line, 3 close
    bool expected;
  } cases[] = {
      {"horizontal first, repeated start", {{0, {0, 0}}, {1, {4, 0}}, {1, {4, 4}}, {1, {0, 4}}, {1, {0, 0}}}, true},
      {"leading movetos", {{0, {9, 9}}, {0, {0, 0}}, {1, {0, 4}}, {1, {4, 4}}, {1, {4, 0}}, {3, {}}}, true},
      {"one diagonal edge", {{0, {0, 0}}, {1, {0, 4}}, {1, {4, 5}}, {1, {4, 0}}, {3, {}}}, false},
      {"a triangle", {{0, {0, 0}}, {1, {0, 4}}, {1, {4, 4}}, {3, {}}}, false},
      {"zero width", {{0, {0, 0}}, {1, {0, 4}}, {1, {0, 4}}, {1, {0, 0}}}, false},
      {"one point", {{0, {0, 0}}}, false},
  };
  for (const Case& test : cases) {
    StoredPath path(arena);
    for (const auto& [kind, p] : test.points) {
      const FixedPoint q{FixedFromInt(p.x), FixedFromInt(p.y)};
      if (kind == 0) path.MoveTo(q);
      if (kind == 1) path.LineTo(q);
      if (kind == 3) path.Close();
    }
    EXPECT_EQ(Path::IsAxisAlignedRect(path.Points(), Matrix{}, out), test.expected) << test.name;
  }
}

TEST(PaintGeometryTest, GridSnappingAndDivisors) {
  // A grid of 4 cells: 0.3 snaps to 0.25, 0.9 carries to the next unit.
  EXPECT_EQ(Grid::SnapToGrid(FixedFromInt(2) + runtime::FixedFromFloat(0.3), 4), FixedFromInt(2) + kFixedOne / 4);
  EXPECT_EQ(Grid::GridCell(runtime::FixedFromFloat(0.3), 4), 1);
  EXPECT_EQ(Grid::GridCarry(runtime::FixedFromFloat(0.3), 4), 0);
  EXPECT_EQ(Grid::GridCell(runtime::FixedFromFloat(0.9), 4), 0);
  EXPECT_EQ(Grid::GridCarry(runtime::FixedFromFloat(0.9), 4), 1);
  runtime::LibraryContext context;
  EXPECT_EQ(GreatestCommonDivisor(&context, 12, 18), 6);
  EXPECT_EQ(GreatestCommonDivisor(&context, -12, 18), 6);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { GreatestCommonDivisor(&context, 0, 5); }), runtime::kOverflow);
}

TEST(PaintGeometryTest, PaintedAreaAndLargestRecord) {
  Rect painted{};
  const Rect clip = R(0, 0, 10, 10);
  AccumulatePaintedRect(painted, &clip, R(5, 5, 20, 20));
  AccumulatePaintedRect(painted, nullptr, R(-3, 2, 1, 3));
  EXPECT_EQ(painted, R(-3, 2, 10, 10));
  struct Record {
    int32_t key;
    int32_t tag;
  };
  const Record a{3, 1}, b{7, 2}, c{7, 3};
  EXPECT_EQ(MaxOfThreeByFirstWord(a, b, c).tag, 3);  // a tie goes to the later
  EXPECT_EQ(MaxOfThreeByFirstWord(b, a, Record{-1, 4}).tag, 2);
}

TEST(PaintGeometryTest, CheckedConcatRaisesOnOverflow) {
  int32_t overflow = 0;
  const Matrix big{FixedFromInt(30000), 0, 0, FixedFromInt(30000), 0, 0};
  Matrix::ConcatChecked(big, big, overflow);
  EXPECT_EQ(overflow, 1);
  overflow = 0;
  const Matrix m = Matrix::ConcatChecked(big, Matrix{kFixedOne / 2, 0, 0, kFixedOne / 4, FixedFromInt(3), 0}, overflow);
  EXPECT_EQ(overflow, 0);
  EXPECT_EQ(m, (Matrix{FixedFromInt(15000), 0, 0, FixedFromInt(7500), FixedFromInt(3), 0}));
}

TEST(PaintGeometryTest, QuadsAndPendingElementsAppendPathPoints) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const runtime::FixedPoint p1{FixedFromInt(1), FixedFromInt(1)}, p2{FixedFromInt(5), FixedFromInt(1)};
  const runtime::FixedPoint a{0, FixedFromInt(-1)}, b{0, FixedFromInt(1)};
  StoredPath quad(arena);
  EXPECT_TRUE(Path::AddQuad(quad, p1, p1, a, b));
  EXPECT_EQ(quad.Size(), 0u);
  EXPECT_FALSE(Path::AddQuad(quad, p1, p2, a, b));
  ASSERT_EQ(quad.Size(), 5u);
  const int kinds[] = {0, 1, 1, 1, 3};
  const runtime::FixedPoint corners[] = {{FixedFromInt(1), 0}, {FixedFromInt(5), 0}, {FixedFromInt(5), FixedFromInt(2)},
                                         {FixedFromInt(1), FixedFromInt(2)}};
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(StoredPath::KindOf(quad.Points()[i]), kinds[i]) << i;
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(StoredPath::Coordinates(quad.Points()[i]), corners[i]) << i;

  // Each kind appends its points (a curve three), unknown kinds nothing; the
  // slot is empty afterwards whatever it held.
  struct Case {
    uint8_t kind;
    uint32_t points;
  };
  for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 1}, Case{3, 3}, Case{4, 1}, Case{9, 0}}) {
    for (const bool scaled : {false, true}) {
      StoredPath out(arena);
      out.MoveTo({0, 0});
      Path::PendingElement pending{FixedFromInt(2), FixedFromInt(4), FixedFromInt(6), FixedFromInt(8),
                                   FixedFromInt(10), FixedFromInt(12), c.kind};
      if (scaled)
        Path::FlushPendingScaled(pending, out, kFixedOne / 2);
      else
        Path::FlushPending(pending, out);
      EXPECT_EQ(out.Size(), 1 + c.points) << int(c.kind);
      EXPECT_EQ(pending.kind, Path::PendingElement::kNone);
      if (c.kind == 3) {
        // The curve's end is (x2, y2), halved when scaled.
        const runtime::FixedPoint end = StoredPath::Coordinates(out.Points()[3]);
        EXPECT_EQ(end, (runtime::FixedPoint{FixedFromInt(scaled ? 5 : 10), FixedFromInt(scaled ? 6 : 12)}));
      }
    }
  }
}

}  // namespace
}  // namespace raster
