// Oriented boxes: turns between frames, unions, line extension and overlap.
#include <gtest/gtest.h>

#include <cmath>

#include "content/OrientedBox.h"

namespace {

using content::OrientedBox;
using content::Orientation;
using runtime::FixedFromInt;

OrientedBox Box(double degrees, int u0, int u1, int v0, int v1, bool turnable = false) {
  const double radians = degrees * M_PI / 180.0;
  return OrientedBox{turnable ? OrientedBox::kTurnable : 0u, runtime::FixedFromFloat(std::cos(radians)),
                     runtime::FixedFromFloat(std::sin(radians)), FixedFromInt(u0), FixedFromInt(u1),
                     FixedFromInt(v0), FixedFromInt(v1)};
}

bool SameBox(const OrientedBox& a, const OrientedBox& b) {
  return a.flags == b.flags && a.cos == b.cos && a.sin == b.sin && a.uMin == b.uMin && a.uMax == b.uMax &&
         a.vMin == b.vMin && a.vMax == b.vMax;
}

TEST(OrientedBoxTest, RelativeTurnsBetweenFrames) {
  struct Case {
    const char* name;
    OrientedBox a, b;
    uint32_t turn;
  };
  const Case cases[] = {
      {"2 degrees apart is one frame", Box(0, 0, 10, 0, 1), Box(2, 0, 10, 0, 1), Orientation::kSame},
      {"10 degrees apart, fixed direction", Box(0, 0, 10, 0, 1), Box(10, 0, 10, 0, 1), Orientation::kIncomparable},
      {"10 degrees apart, turnable", Box(0, 0, 10, 0, 1, true), Box(10, 0, 10, 0, 1), Orientation::kOtherAngle},
      {"a quarter turn, fixed direction", Box(0, 0, 10, 0, 1), Box(90, 0, 10, 0, 1), Orientation::kIncomparable},
      {"a quarter turn, turnable", Box(0, 0, 10, 0, 1, true), Box(90, 0, 10, 0, 1), Orientation::kQuarter},
      {"a half turn", Box(0, 0, 10, 0, 1, true), Box(180, 0, 10, 0, 1), Orientation::kHalf},
      {"three quarters", Box(0, 0, 10, 0, 1, true), Box(270, 0, 10, 0, 1), Orientation::kThreeQuarters},
      {"an empty box", OrientedBox{}, Box(0, 0, 10, 0, 1), Orientation::kIncomparable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Orientation::RelativeTurn(c.a, c.b), c.turn);
  }
}

TEST(OrientedBoxTest, TurningThereAndBackGivesTheBox) {
  const OrientedBox box = Box(30, 5, 17, -3, 9, true);
  for (uint32_t turn : {Orientation::kQuarter, Orientation::kHalf, Orientation::kThreeQuarters}) {
    const uint32_t back = turn == Orientation::kQuarter ? Orientation::kThreeQuarters
                          : turn == Orientation::kHalf  ? Orientation::kHalf
                                                        : Orientation::kQuarter;
    OrientedBox turned, again;
    Orientation::ApplyTurn(turned, box, turn);
    Orientation::ApplyTurn(again, turned, back);
    EXPECT_TRUE(SameBox(again, box)) << turn;
  }
  OrientedBox gone;
  EXPECT_TRUE(Orientation::ApplyTurn(gone, box, Orientation::kIncomparable).IsEmpty());
  // A quarter turn of an upright box: its vertical extent becomes its length.
  OrientedBox turned;
  Orientation::ApplyTurn(turned, OrientedBox::FromRect({FixedFromInt(1), FixedFromInt(2), FixedFromInt(3),
                                                        FixedFromInt(7)}),
                         Orientation::kQuarter);
  EXPECT_EQ(turned.uMin, FixedFromInt(2));
  EXPECT_EQ(turned.uMax, FixedFromInt(7));
  EXPECT_EQ(turned.vMin, FixedFromInt(-3));
  EXPECT_EQ(turned.vMax, FixedFromInt(-1));
}

TEST(OrientedBoxTest, UnionsTakeTheFixedFrame) {
  OrientedBox out;
  // A turnable box joins a vertical line in the line's frame.
  OrientedBox::Union(out, Box(90, 0, 10, 0, 2), OrientedBox::FromRect({0, FixedFromInt(12), FixedFromInt(2),
                                                                        FixedFromInt(14)}));
  EXPECT_FALSE(out.IsEmpty());
  EXPECT_FALSE(out.IsTurnable());
  EXPECT_EQ(out.uMax, FixedFromInt(14));
  EXPECT_EQ(out.vMin, FixedFromInt(-2));
  // Two fixed frames at a quarter turn cannot be united.
  EXPECT_TRUE(OrientedBox::Union(out, Box(0, 0, 10, 0, 1), Box(90, 0, 10, 0, 1)).IsEmpty());
}

TEST(OrientedBoxTest, ALineExtendsByBoxesThatDoNotReachFarBack) {
  struct Case {
    const char* name;
    OrientedBox added;
    bool extends;
  };
  const OrientedBox line = Box(0, 100, 200, 0, 10);
  const Case cases[] = {
      {"after the line", Box(0, 210, 250, 0, 10), true},
      {"a twentieth of its length before the start", Box(0, 98, 138, 0, 10), true},
      {"half its length before the start", Box(0, 80, 120, 0, 10), false},
      {"in another fixed frame", Box(90, 0, 40, 0, 10), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OrientedBox out;
    EXPECT_EQ(!OrientedBox::ExtendLine(out, line, c.added).IsEmpty(), c.extends);
  }
  // Two single glyphs above each other read downwards... as a column.
  OrientedBox column;
  OrientedBox::ExtendLine(column, OrientedBox::FromRect({0, FixedFromInt(20), FixedFromInt(10), FixedFromInt(30)}),
                          OrientedBox::FromRect({0, FixedFromInt(8), FixedFromInt(10), FixedFromInt(18)}));
  EXPECT_FALSE(column.IsEmpty());
  EXPECT_EQ(column.sin != 0, true);
}

TEST(OrientedBoxTest, BoxesMeetOnlyWithArea) {
  struct Case {
    const char* name;
    OrientedBox a, b;
    bool meet;
  };
  const Case cases[] = {
      {"overlapping in one frame", Box(0, 0, 10, 0, 10), Box(0, 5, 15, 5, 15), true},
      {"touching edges", Box(0, 0, 10, 0, 10), Box(0, 10, 20, 0, 10), false},
      {"an upright box over a vertical line", Box(90, 0, 20, -5, 0),
       OrientedBox::FromRect({FixedFromInt(1), FixedFromInt(1), FixedFromInt(4), FixedFromInt(4)}), true},
      {"fixed frames a quarter turn apart", Box(0, 0, 10, 0, 10), Box(90, 0, 10, -10, 0), false},
      {"a turnable box and a tilted one", OrientedBox::FromRect({0, 0, FixedFromInt(10), FixedFromInt(10)}),
       Box(30, 2, 6, -1, 1), true},
      {"a tilted box far away", OrientedBox::FromRect({0, 0, FixedFromInt(10), FixedFromInt(10)}),
       Box(30, 50, 60, 0, 1), false},
      {"an empty box", OrientedBox{}, Box(0, 0, 10, 0, 10), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(OrientedBox::Meets(c.a, c.b), c.meet);
  }
}

}  // namespace
