#include "runtime/Comparators.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "runtime/ChangeStamp.h"
#include "runtime/FeatureMask.h"
#include "runtime/NameMap.h"
#include "runtime/TextPosition.h"

namespace runtime {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(ComparatorsTest, TextPositionsOrderFieldByFieldWithTheAfterFlagLast) {
  const TextPosition base{2, 5, 1, 7, 3, 0};
  struct Case {
    const char* name;
    TextPosition other;
    int order;  // of base against other
  } cases[] = {
      {"equal", base, 0},
      {"after flag only", {2, 5, 1, 7, 3, 1}, -1},
      {"character beats flag", {2, 5, 1, 7, 2, 1}, 1},
      {"glyph", {2, 5, 1, 8, 0, 0}, -1},
      {"string", {2, 5, 0, 9, 9, 1}, 1},
      {"operation is unsigned", {2, 0x80000000u, 0, 0, 0, 0}, -1},
      {"page is signed", {-1, 9, 9, 9, 9, 1}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(TextPosition::Compare(base, c.other)), c.order) << c.name;
    EXPECT_EQ(TextPosition::Less(base, c.other), c.order < 0) << c.name;
    EXPECT_EQ(TextPosition::Greater(base, c.other), c.order > 0) << c.name;
    EXPECT_EQ(TextPosition::Equals(base, c.other), c.order == 0) << c.name;
  }
  TextRange range{base, {3, 1, 1, 1, 1, 1}};
  range.Clear();
  EXPECT_TRUE(TextPosition::Equals(range.start, TextPosition{}));
  EXPECT_TRUE(TextPosition::Equals(range.end, TextPosition{}));
}

TEST(ComparatorsTest, RecordOrders) {
  // Triples: b (signed) first, then a (unsigned), then c.
  EXPECT_LT(CompareTriple({9, -1, 9}, {0, 0, 0}), 0);
  EXPECT_GT(CompareTriple({0x80000000u, 0, 0}, {1, 0, 0}), 0);
  EXPECT_LT(CompareTriple({1, 0, 1}, {1, 0, 2}), 0);
  EXPECT_EQ(CompareTriple({1, 2, 3}, {1, 2, 3}), 0);
  EXPECT_TRUE(TriplesEqual({1, 2, 3}, {1, 2, 3}));
  EXPECT_FALSE(TriplesEqual({1, 2, 3}, {1, 2, 4}));

  // Six words: 0, 1, then 4, 5 before 2, 3.
  const int32_t a[6] = {1, 1, 9, 9, 0, 0};
  const int32_t b[6] = {1, 1, 0, 0, 1, 0};
  const int32_t c[6] = {1, 1, 0, 0, 1, 0};
  const int32_t d[6] = {-5, 9, 9, 9, 9, 9};
  EXPECT_LT(CompareSixWords(a, b), 0);
  EXPECT_EQ(CompareSixWords(b, c), 0);
  EXPECT_LT(CompareSixWords(d, a), 0);

  EXPECT_EQ(CompareIntKey(5, 7), -1);
  EXPECT_EQ(CompareIntKey(7, 5), 1);
  EXPECT_EQ(CompareIntKey(-3, -3), 0);
  EXPECT_EQ(CompareSecondFloat({9.f, 1.f}, {0.f, 2.f}), -1);
  EXPECT_EQ(CompareSecondFloat({0.f, 2.f}, {9.f, 2.f}), 0);
}

TEST(ComparatorsTest, StringWordAndShortOrders) {
  struct Case {
    const char* key;
    const char* entry;
    int order;
  } strings[] = {
      {"A", "B", -1}, {"B", "A", 1}, {"A", "A", 0}, {"", "A", -1}, {"Ab", "A", 1},
      {nullptr, "", -1}, {"", nullptr, 1}, {nullptr, nullptr, 0},
      // strcmp compares bytes as unsigned.
      {"\xC0", "z", 1},
  };
  for (const Case& c : strings) {
    EXPECT_EQ(CompareCStrings(c.key, c.entry), c.order) << c.order;
    EXPECT_EQ(NameMap::Compare(c.key, c.entry), c.order);
    if (c.key != nullptr && c.entry != nullptr) {
      EXPECT_EQ(Sign(CompareStringPointers(&c.key, &c.entry)), c.order) << c.key << " " << c.entry;
    }
  }

  struct Record {
    uint32_t first, second, third;
  };
  EXPECT_EQ(CompareSecondWord(Record{9, 1, 0}, Record{0, 2, 0}), -1);
  EXPECT_EQ(CompareSecondWord(Record{0, 2, 0}, Record{9, 2, 5}), 0);
  // The second word is unsigned: its difference would overflow.
  EXPECT_EQ(CompareSecondWord(Record{0, 0x80000000u, 0}, Record{0, 1, 0}), 1);

  EXPECT_EQ(CompareUInt16(0, 65535), -65535);
  EXPECT_EQ(CompareUInt16(65535, 0), 65535);
  EXPECT_EQ(CompareUInt16(42, 42), 0);
}

TEST(ComparatorsTest, MixedWidthComparisons) {
  struct Case {
    uint32_t a;
    int64_t b;
    bool greater;
  } cases[] = {
      {5, -1, true},
      {5, int64_t{1} << 32, false},
      {0xFFFFFFFFu, 0xFFFFFFFE, true},
      {0xFFFFFFFFu, 0xFFFFFFFF, false},
      {0, INT64_MIN, true},
      {0, 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(U32GreaterThanI64(c.a, c.b), c.greater) << c.a << " " << c.b;
  EXPECT_TRUE(Int32BelowInt64(-1, 0));
  EXPECT_FALSE(Int32BelowInt64(INT32_MAX, INT32_MAX));
  EXPECT_TRUE(Int32AboveInt64(INT32_MIN, INT64_MIN));
  EXPECT_FALSE(Int32AboveInt64(-1, int64_t{1} << 40));
}

TEST(ComparatorsTest, SpanTest) {
  EXPECT_TRUE(SpanIsBlank({3, 3, 7}));
  EXPECT_TRUE(SpanIsBlank({3, 9, 0}));
  EXPECT_FALSE(SpanIsBlank({3, 9, 1}));
}

TEST(ComparatorsTest, FeatureCodesSetTheirBits) {
  const uint32_t table[4][4] = {{7, 9, 10, 8}, {0, 1, 2, 0}, {3, 4, 5, 6}, {11, 12, 13, 14}};
  for (uint32_t kind = 1; kind <= 4; ++kind) {
    for (uint32_t variant = 0; variant < 4; ++variant) {
      EXPECT_EQ(FeatureMask::CodeFor(0, kind, variant), table[kind - 1][variant]);
    }
  }
  struct Off {
    uint32_t flag, kind, variant;
  } outside[] = {{1, 1, 0}, {0, 0, 0}, {0, 5, 0}, {0, 1, 4}, {0, 0xFFFFFFFF, 0}};
  for (const Off& o : outside) EXPECT_EQ(FeatureMask::CodeFor(o.flag, o.kind, o.variant), 0u);

  FeatureMask mask;
  EXPECT_EQ(mask.Note(0, 4, 3), 14u);
  EXPECT_EQ(mask.Note(0, 3, 0), 3u);
  EXPECT_EQ(mask.seen, (1u << 14) | (1u << 3));
}

TEST(ComparatorsTest, ChangeStampsCountEveryChangeAndPendingOnesOnce) {
  ChangeStamp stamp;
  EXPECT_TRUE(stamp.Bump());
  EXPECT_FALSE(stamp.Bump(false));
  stamp.BumpTwice();
  EXPECT_EQ(stamp.stamp, 4u);
  EXPECT_EQ(stamp.count, 4u);
  PendingChange pending{&stamp};
  pending.Commit();  // nothing marked
  pending.Mark();
  pending.Commit();
  pending.Commit();
  EXPECT_EQ(stamp.stamp, 5u);
  EXPECT_FALSE(pending.pending);
}


TEST(ComparatorsTest, CStringLessPutsNullFirst) {
  EXPECT_TRUE(CStringLess(nullptr, ""));
  EXPECT_FALSE(CStringLess("", nullptr));
  EXPECT_FALSE(CStringLess(nullptr, nullptr));
  EXPECT_TRUE(CStringLess("A", "B"));
  EXPECT_FALSE(CStringLess("b", "B"));
  EXPECT_TRUE(CStringLess("Ab", "Abc"));
}

}  // namespace
}  // namespace runtime
