#include "viewer/ViewPositionMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "viewer/PageLayoutParams.h"

namespace viewer {
namespace {

using runtime::Fixed;

TEST(ViewPositionMathTest, ThumbClampsRangePageAndPosition) {
  struct Case {
    int64_t position, page, range;
    ThumbPosition expected;
  };
  const Case cases[] = {
      {5, 10, 100, {5, 10, 100}},
      {-3, 10, 100, {0, 10, 100}},
      {95, 10, 100, {90, 10, 100}},
      // A range of 0 counts as 1; the page shrinks to the range.
      {0, 5, 0, {0, 1, 1}},
      // A page size of 0 is taken as 1, so that scaling never divides by 0.
      {50, 0, 100, {50, 1, 100}},
      {7, 200, 100, {0, 100, 100}},
  };
  for (const Case& c : cases) {
    const ThumbPosition t = ClampThumb(c.position, c.page, c.range);
    EXPECT_EQ(t.position, c.expected.position) << c.position << " " << c.page << " " << c.range;
    EXPECT_EQ(t.page, c.expected.page);
    EXPECT_EQ(t.range, c.expected.range);
  }
}

TEST(ViewPositionMathTest, ThumbAxisFollowsTheRotation) {
  struct Case {
    int32_t rotation;
    bool verticalBar;
    bool layoutY, fromFarEnd;
  };
  const Case cases[] = {
      {0, false, false, false},  {0, true, true, false},   {90, false, true, true},
      {90, true, false, false},  {180, false, false, true}, {180, true, true, true},
      {270, false, true, false}, {270, true, false, true},
  };
  for (const Case& c : cases) {
    const ThumbAxis a = ThumbAxisFor(c.rotation, c.verticalBar);
    EXPECT_EQ(a.layoutY, c.layoutY) << c.rotation << " " << c.verticalBar;
    EXPECT_EQ(a.fromFarEnd, c.fromFarEnd) << c.rotation << " " << c.verticalBar;
  }
}

TEST(ViewPositionMathTest, ThumbScalesToLayoutPixels) {
  // Window 300 shown as a page of 100: each thumb unit is 3 pixels.
  EXPECT_EQ(ThumbToLayout({10, 100, 1000}, false, 300), 30);
  // From the far end: at position 0 the window shows the end of the range.
  EXPECT_EQ(ThumbToLayout({0, 100, 1000}, true, 300), 2700);
  // Rounded to the nearest pixel: 1 x 2/3 = 0.667 -> 1.
  EXPECT_EQ(ThumbToLayout({1, 3, 10}, false, 2), 1);
  // A page size of 0 does not divide by zero.
  EXPECT_EQ(ThumbToLayout({4, 0, 10}, false, 5), 20);
}

TEST(ViewPositionMathTest, ScrollBarScalesLargeExtentsInto31Bits) {
  struct Case {
    int64_t start, length, extent;
    bool hidden;
    int32_t position, page, range;
  };
  const int64_t huge = (int64_t{1} << 33) + 12345;
  const Case cases[] = {
      {100, 320, 1000, false, 100, 320, 1000},
      // The window shows the whole extent: hidden, all 0.
      {0, 320, 320, true, 0, 0, 0},
      {0, 500, 320, true, 0, 0, 0},
      // Above 2^31: every value divided by the same s = 5.
      {huge / 2, 1000, huge, false, static_cast<int32_t>(huge / 2 / 5), 200,
       static_cast<int32_t>(huge / 5)},
      // A negative extent gives no bar and no division by zero.
      {0, 10, -5, true, 0, 0, 0},
      {0, 1, std::numeric_limits<int64_t>::max(), false, 0, 0, 0x7FFFFFFE},
  };
  for (const Case& c : cases) {
    const ScrollBarAxis bar = ScrollBarFor(c.start, c.length, c.extent);
    EXPECT_EQ(bar.hidden, c.hidden) << c.extent;
    EXPECT_EQ(bar.position, c.position) << c.extent;
    EXPECT_EQ(bar.page, c.page) << c.extent;
    EXPECT_EQ(bar.range, c.range) << c.extent;
    EXPECT_LE(bar.range, 0x7FFFFFFF);
  }
}

TEST(ViewPositionMathTest, AlignmentTurnsAgainstTheRotation) {
  EXPECT_EQ(TurnAlignment(0, 90), 3);
  EXPECT_EQ(TurnAlignment(0, 0), 0);
  EXPECT_EQ(TurnAlignment(1, 180), 3);
  EXPECT_EQ(TurnAlignment(3, 270), 0);
  EXPECT_EQ(TurnAlignment(4, 90), 4);
  EXPECT_EQ(TurnAlignment(5, 270), 5);
  EXPECT_EQ(TurnAlignment(-1, 90), -1);
}

TEST(ViewPositionMathTest, PlaceOnAxisByCode) {
  struct Case {
    int32_t code;
    bool vertical;
    int64_t low, high;
    bool moves;
    int64_t placed;
  };
  // Window 300 long, margin 5, rectangle 40 long.
  const Case cases[] = {
      {0, false, 100, 140, true, 5},    {1, false, 100, 140, true, 5},
      {2, false, 100, 140, true, 255},  {3, false, 100, 140, true, 255},
      {0, true, 100, 140, true, 5},     {1, true, 100, 140, true, 255},
      {2, true, 100, 140, true, 255},   {3, true, 100, 140, true, 5},
      {4, true, 100, 140, true, 130},
      // Code 5: inside with its margins, no move; before the window, to the
      // margin; beyond it, to the far margin; longer than the window,
      // centred.
      {5, true, 5, 295, false, 0},      {5, true, 3, 43, true, 5},
      {5, true, 270, 310, true, 255},   {5, true, -100, 400, true, -100},
      {6, true, 100, 140, false, 0},    {-1, false, 100, 140, false, 0},
  };
  for (const Case& c : cases) {
    int64_t placed = 0;
    EXPECT_EQ(PlaceOnAxis(c.code, c.vertical, c.low, c.high, 300, 5, placed), c.moves)
        << c.code << " " << c.vertical << " " << c.low;
    if (c.moves) {
      EXPECT_EQ(placed, c.placed) << c.code << " " << c.vertical << " " << c.low;
    }
  }
}

TEST(ViewPositionMathTest, ZoomStepsStopAtTheLimits) {
  Fixed out = 0;
  // 9.0 x 1.25 = 11.25 is clamped to 10.0.
  ASSERT_TRUE(StepZoom(9 << 16, true, out));
  EXPECT_EQ(out, 0xA0000);
  EXPECT_FALSE(StepZoom(0xA0000, true, out));
  EXPECT_FALSE(StepZoom(5242, false, out));
  ASSERT_TRUE(StepZoom(1 << 16, false, out));
  EXPECT_EQ(out, 52428);
  ASSERT_TRUE(StepZoom(6000, false, out));
  EXPECT_EQ(out, 5242);
  ASSERT_TRUE(StepZoom(1 << 16, true, out));
  EXPECT_EQ(out, 0x14000);
}

TEST(ViewPositionMathTest, ZoomFromFloatRejectsAndClamps) {
  struct Case {
    double value;
    bool accepted;
    Fixed expected;
  };
  const Case cases[] = {
      {1.0, true, 0x10000},
      {2.5, true, 0x28000},
      {100.0, true, 0xA0000},
      {0.01, true, 5242},
      {0.0, false, 0},
      {-1.0, false, 0},
      {std::nan(""), false, 0},
      {HUGE_VAL, false, 0},
      {-HUGE_VAL, false, 0},
  };
  for (const Case& c : cases) {
    Fixed out = 0;
    EXPECT_EQ(ZoomFromFloat(c.value, out), c.accepted) << c.value;
    if (c.accepted) {
      EXPECT_EQ(out, c.expected) << c.value;
    }
  }
}

TEST(ViewPositionMathTest, ScalesAndAmountsFromTheResolution) {
  EXPECT_EQ(DeviceScale(96), 87381);
  EXPECT_EQ(DeviceScale(72), 0x10000);
  EXPECT_EQ(DeviceScale(0), 87381);
  EXPECT_EQ(LineLeadMargin(96), 144);
  EXPECT_EQ(HalfLineAmount(96), 48);
  EXPECT_EQ(HalfLineAmount(131), 65);
}

TEST(ViewPositionMathTest, ZoomToRectAndReflowEntry) {
  // A rectangle without width zooms by 1.25.
  EXPECT_EQ(ZoomToRectFactor(0x10000, 240, 320, 0, 50), 0x14000);
  // Width ratio 240/120 = 2, height ratio 320/80 = 4: the smaller wins.
  EXPECT_EQ(ZoomToRectFactor(0x10000, 240, 320, 120, 80), 0x20000);
  EXPECT_EQ(ReflowEntryZoom(0x8000), 52428);
  EXPECT_EQ(ReflowEntryZoom(0x20000), 0x20000);
}

TEST(ViewPositionMathTest, RotationAndDestinationValues) {
  int32_t r = 0;
  for (int i = 0; i < 4; ++i) r = AddViewRotation(r, 90);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(AddViewRotation(0, 270), 270);
  EXPECT_EQ(AddViewRotation(270, 270), 180);
  EXPECT_EQ(DestinationValue(true, 40, 7), 40);
  EXPECT_EQ(DestinationValue(true, kDestinationNull, 7), 7);
  EXPECT_EQ(DestinationValue(false, 40, 7), 7);
}

TEST(ViewPositionMathTest, PagingByLayoutGroup) {
  struct Case {
    const char* what;
    bool next;
    PagingInput in;
    std::vector<int32_t> fitting;
    PagingStep expected;
  };
  const Case cases[] = {
      {"single next at the last page asks for it again", true, {0, 9, 9, 9, 10}, {}, {true, 9, true}},
      {"single next", true, {0, 3, 3, 3, 10}, {}, {true, 4, true}},
      {"single previous at 0", false, {0, 0, 0, 0, 10}, {}, {true, 0, true}},
      {"two-up, right page hidden: show it", true, {1, 2, 2, 2, 10}, {}, {true, 3, true}},
      {"two-up, right page current: advance two", true, {1, 2, 3, 2, 10}, {}, {true, 4, true}},
      {"two-up, right page fits: advance two", true, {1, 2, 2, 2, 10}, {3}, {true, 4, true}},
      {"two-up at the end", true, {1, 8, 9, 8, 10}, {}, {}},
      {"two-up previous, left page hidden", false, {2, 4, 5, 4, 10}, {}, {true, 4, true}},
      {"two-up previous from the cover", false, {2, -1, 0, 0, 10}, {}, {}},
      {"continuous next from the top page", true, {3, 0, 5, 4, 10}, {}, {true, 5, false}},
      {"continuous previous skips fitting pages", false, {3, 0, 5, 5, 10}, {4, 3}, {true, 2, false}},
      {"continuous previous stops at 0", false, {3, 0, 2, 2, 10}, {1, 0}, {true, 0, false}},
  };
  for (const Case& c : cases) {
    auto fits = [&](int32_t p) {
      for (int32_t f : c.fitting)
        if (f == p) return true;
      return false;
    };
    const PagingStep s = c.next ? NextPageStep(c.in, fits) : PreviousPageStep(c.in, fits);
    EXPECT_EQ(s.go, c.expected.go) << c.what;
    if (c.expected.go) {
      EXPECT_EQ(s.page, c.expected.page) << c.what;
      EXPECT_EQ(s.skipIfCurrent, c.expected.skipIfCurrent) << c.what;
    }
  }
}

}  // namespace
}  // namespace viewer
