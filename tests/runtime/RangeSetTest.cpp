#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/LibraryContext.h"
#include "runtime/RangeSet.h"

namespace runtime {
namespace {

using Ranges = std::vector<Range>;

RangeSet Make(LibraryContext* context, const Ranges& ranges) {
  RangeSet set(context);
  for (const Range& range : ranges) set.Add(range.start, range.end);
  return set;
}

TEST(RangeSetTest, AddMergesOverlappingAndTouchingRanges) {
  LibraryContext context;
  struct Case {
    const char* name;
    Ranges before;
    Range added;
    Ranges after;
  } cases[] = {
      {"fills the gap between touching ranges", {{0, 5}, {10, 12}}, {5, 10}, {{0, 12}}},
      {"inside a range changes nothing", {{0, 5}}, {2, 3}, {{0, 5}}},
      {"empty range", {{0, 5}}, {7, 7}, {{0, 5}}},
      {"reversed range", {{0, 5}}, {9, 7}, {{0, 5}}},
      {"apart from the others", {{0, 5}, {20, 30}}, {8, 12}, {{0, 5}, {8, 12}, {20, 30}}},
      {"swallows several", {{0, 2}, {4, 6}, {8, 10}, {15, 16}}, {1, 9}, {{0, 10}, {15, 16}}},
      {"extends an end", {{0, 5}}, {3, 9}, {{0, 9}}},
      {"touches the next start", {{10, 20}}, {5, 10}, {{5, 20}}},
      {"negative and extreme", {{-5, 0}}, {INT32_MIN, -5}, {{INT32_MIN, 0}}},
  };
  for (const Case& c : cases) {
    RangeSet set = Make(&context, c.before);
    set.Add(c.added.start, c.added.end);
    EXPECT_EQ(set.Ranges(), c.after) << c.name;
  }
}

TEST(RangeSetTest, DifferenceKeepsOnlyWhatTheFirstSetHolds) {
  LibraryContext context;
  struct Case {
    const char* name;
    Ranges a, b, result;
  } cases[] = {
      {"cut entirely before", {{10, 20}}, {{0, 5}}, {{10, 20}}},
      {"cut before and inside", {{10, 20}}, {{0, 5}, {12, 15}}, {{10, 12}, {15, 20}}},
      {"nothing to cut", {{1, 4}, {6, 9}}, {}, {{1, 4}, {6, 9}}},
      {"cut covers all", {{1, 4}, {6, 9}}, {{0, 10}}, {}},
      {"cut spans two ranges", {{0, 10}, {20, 30}}, {{5, 25}}, {{0, 5}, {25, 30}}},
      {"cut after", {{0, 10}}, {{10, 20}}, {{0, 10}}},
      {"several cuts in one range",
       {{0, 20}},
       {{2, 4}, {6, 8}, {18, 25}},
       {{0, 2}, {4, 6}, {8, 18}}},
      {"cut at the start", {{0, 10}, {12, 14}}, {{0, 3}, {12, 13}}, {{3, 10}, {13, 14}}},
      {"empty first set", {}, {{0, 5}}, {}},
  };
  for (const Case& c : cases) {
    RangeSet a = Make(&context, c.a), b = Make(&context, c.b);
    RangeSet result(&context);
    result.Difference(a, b);
    EXPECT_EQ(result.Ranges(), c.result) << c.name;
    a.Difference(a, b);  // in place
    EXPECT_EQ(a.Ranges(), c.result) << c.name;
  }
}

TEST(RangeSetTest, MatchesABitmapOverRandomOperations) {
  LibraryContext context;
  std::mt19937 random(11);
  constexpr int kSpan = 200;
  for (int trial = 0; trial < 20; ++trial) {
    RangeSet a(&context), b(&context);
    std::vector<bool> inA(kSpan), inB(kSpan);
    for (int i = 0; i < 15; ++i) {
      for (auto [set, bits] : {std::pair{&a, &inA}, std::pair{&b, &inB}}) {
        const int start = static_cast<int>(random() % kSpan);
        const int end = std::min(kSpan, start + static_cast<int>(random() % 20));
        set->Add(start, end);
        for (int x = start; x < end; ++x) (*bits)[x] = true;
      }
    }
    RangeSet difference(&context), both(&context);
    difference.Difference(a, b);
    both.Union(a, b);
    for (int x = -1; x <= kSpan; ++x) {
      const bool inside = x >= 0 && x < kSpan;
      ASSERT_EQ(a.Contains(x), inside && inA[x]) << trial << " " << x;
      ASSERT_EQ(difference.Contains(x), inside && inA[x] && !inB[x]) << trial << " " << x;
      ASSERT_EQ(both.Contains(x), inside && (inA[x] || inB[x])) << trial << " " << x;
    }
    // Stored ranges stay disjoint and never touch.
    Ranges ranges = both.Ranges();
    for (size_t i = 1; i < ranges.size(); ++i) ASSERT_LT(ranges[i - 1].end, ranges[i].start);
  }
}

TEST(RangeSetTest, CopiesAndRemovalCallback) {
  LibraryContext context;
  RangeSet single(&context, 3, 8);
  EXPECT_EQ(single.Ranges(), (Ranges{{3, 8}}));
  RangeSet copy(single);
  copy.Add(8, 9);
  EXPECT_EQ(single.Ranges(), (Ranges{{3, 8}}));
  EXPECT_EQ(copy.Ranges(), (Ranges{{3, 9}}));
  single = copy;
  EXPECT_EQ(single.Ranges(), (Ranges{{3, 9}}));

  Ranges removed;
  RangeSet set = Make(&context, {{0, 2}, {4, 6}, {10, 12}});
  set.SetRemovalCallback(
      [](void* target, const RangeNode* node) {
        static_cast<Ranges*>(target)->push_back({node->start, node->end});
      },
      &removed);
  set.Add(1, 5);
  EXPECT_EQ(removed, (Ranges{{0, 2}, {4, 6}}));
  EXPECT_EQ(set.Ranges(), (Ranges{{0, 6}, {10, 12}}));
}

}  // namespace
}  // namespace runtime
