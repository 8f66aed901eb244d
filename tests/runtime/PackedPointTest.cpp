#include "runtime/PackedPoint.h"

#include <gtest/gtest.h>

#include "runtime/ChunkedList.h"
#include "runtime/LibraryContext.h"
#include "tests/support/FixedValues.h"
#include "tests/support/GeometryPrinters.h"

namespace runtime {
namespace {

using testsupport::F;

TEST(PackedPointTest, PackingKeepsOneHundredTwentyEighths) {
  struct Case {
    const char* name;
    Fixed x, y;
    uint8_t kind;
    uint8_t bytes[6];
    Fixed ux, uy;
  } cases[] = {
      {"minus a half", F(-0.5), F(0), PackedPoint::kMove, {0xff, 0xff, 0, 0, 0x80, 0},
       F(-0.5), 0},
      {"kind bits", F(1), F(2), PackedPoint::kClose, {1, 0, 2, 0, 1, 1}, F(1), F(2)},
      {"line", F(3.25), F(-1.75), PackedPoint::kLine, {3, 0, 0xfe, 0xff, 0x41, 0x40},
       F(3.25), F(-1.75)},
      {"curve", 0, 0, PackedPoint::kCurve, {0, 0, 0, 0, 0, 1}, 0, 0},
      {"bits below 1/128 dropped", 0x123ff, -0x1ff, PackedPoint::kLine,
       {1, 0, 0xff, 0xff, 0x23, 0xfe}, 0x12200, -0x200},
      {"lowest kept one step inside", kFixedLowest, kFixedLowest + 0x1ff, PackedPoint::kMove,
       {0, 0x80, 0, 0x80, 0x02, 0x02}, kFixedLowest + 0x200, kFixedLowest + 0x200},
      {"highest", kFixedMax, kFixedMax, PackedPoint::kMove, {0xff, 0x7f, 0xff, 0x7f, 0xfe, 0xfe},
       0x7ffffe00, 0x7ffffe00},
  };
  for (const Case& c : cases) {
    PackedPoint point;
    PackedPoint::Pack(point, c.x, c.y, c.kind);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(point.bytes[i], c.bytes[i]) << c.name << " byte " << i;
    EXPECT_EQ(point.X(), c.ux) << c.name;
    EXPECT_EQ(point.Y(), c.uy) << c.name;
    EXPECT_EQ(point.PointKind(), c.kind) << c.name;
  }
}

TEST(PackedPointTest, BoundsOfARunSkipCloseMarks) {
  LibraryContext context;
  ChunkedList<PackedPoint> list(&context, nullptr, 2);  // runs cross chunks
  EXPECT_EQ(PackedPoint::BoundsOfRun(list, list.Begin(), list.End()), kEmptyBoundsStart);

  const struct {
    double x, y;
    uint8_t kind;
  } points[] = {{1, 5, PackedPoint::kMove},  {-2, 3, PackedPoint::kLine},
                {4, 4, PackedPoint::kCurve}, {100, 100, PackedPoint::kClose},
                {0, -1, PackedPoint::kLine}};
  for (const auto& p : points) {
    PackedPoint point;
    PackedPoint::Pack(point, F(p.x), F(p.y), p.kind);
    list.Push(point);
  }
  EXPECT_EQ(PackedPoint::BoundsOfRun(list, list.Begin(), list.End()),
            (Rect{F(-2), F(-1), F(4), F(5)}));
  // A sub-run: points 1 and 2 only.
  const auto first = list.Seek(list.Begin(), 1);
  EXPECT_EQ(PackedPoint::BoundsOfRun(list, first, list.Seek(first, 2)),
            (Rect{F(-2), F(3), F(4), F(4)}));
  // A run of close marks only has no bounds.
  const auto close = list.Seek(list.Begin(), 3);
  EXPECT_EQ(PackedPoint::BoundsOfRun(list, close, list.Seek(close, 1)), kEmptyBoundsStart);
}

}  // namespace
}  // namespace runtime
