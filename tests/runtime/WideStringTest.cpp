#include "runtime/WideString.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"

namespace runtime {
namespace {

TEST(WideStringTest, WideStrCompareOrdersByCodeUnit) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int32_t expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, 0}, {nullptr, u"", 0},     {u"", nullptr, 0},
      {nullptr, u"a", -1},   {u"a", u"", 1},        {u"abc", u"abc", 0},
      {u"ab", u"abc", -1},   {u"abd", u"abc", 1},   {u"B", u"a", -1},
      {u"\uFFFF", u"a", 1},  {u"\u00e9", u"z", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideStrCompare(c.a, c.b), c.expected)
        << (c.a ? "a" : "null") << " vs " << (c.b ? "b" : "null");
  }
}


TEST(WideStringTest, AppendJoinedGrowsAndWritesTheSuffixOnlyWhenGiven) {
  LibraryContext context;
  WideString text(&context);
  text.AppendJoined("Ryumin", nullptr);
  EXPECT_EQ(text.Count(), 7u);
  EXPECT_EQ(WideStrCompare(text.Text(), u"Ryumin"), 0);
  // The second append finds a full buffer: it must grow it first.
  text.AppendJoined("-Light", "otf");
  EXPECT_EQ(WideStrCompare(text.Text(), u"Ryumin-Light.otf"), 0);
  EXPECT_EQ(text.Count(), 17u);
  EXPECT_GE(text.CapacityBytes(), 34u);
  text.Reserve(4);  // shrinking keeps what fits
  EXPECT_EQ(text.CapacityBytes(), 8u);
  EXPECT_EQ(text.Count(), 4u);
}

}  // namespace
}  // namespace runtime
