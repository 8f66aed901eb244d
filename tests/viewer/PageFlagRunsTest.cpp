#include "viewer/PageFlagRuns.h"

#include <gtest/gtest.h>

namespace viewer {
namespace {

TEST(PageFlagRunsTest, EmptyMapAnswersZero) {
  runtime::LibraryContext context;
  PageFlagRuns runs(&context);
  EXPECT_EQ(runs.Find(0), 0);
  EXPECT_EQ(runs.Find(INT32_MIN), 0);
  EXPECT_EQ(runs.Find(INT32_MAX), 0);
}

TEST(PageFlagRunsTest, AssignedRangesSplitAndMerge) {
  runtime::LibraryContext context;
  PageFlagRuns runs(&context);
  runs.Assign(0, INT32_MAX, 1);
  EXPECT_EQ(runs.Find(-1), 0);
  EXPECT_EQ(runs.Find(0), 1);
  EXPECT_EQ(runs.Find(5000), 1);
  runs.Assign(7, 8, 0);
  for (int32_t page : {0, 6, 8, 100}) EXPECT_EQ(runs.Find(page), 1) << page;
  EXPECT_EQ(runs.Find(7), 0);
  EXPECT_EQ(runs.RunCount(), 4u);
  runs.Assign(7, 8, 1);  // the hole closes again
  EXPECT_EQ(runs.RunCount(), 2u);
  EXPECT_EQ(runs.Find(7), 1);
  runs.Assign(3, 3, 0);  // nothing
  EXPECT_EQ(runs.Find(3), 1);
  // Overlapping assignments.
  runs.Assign(10, 20, 2);
  runs.Assign(15, 30, 3);
  const int32_t expected[][2] = {{9, 1}, {10, 2}, {14, 2}, {15, 3}, {29, 3}, {30, 1}};
  for (const auto& e : expected) EXPECT_EQ(runs.Find(e[0]), e[1]) << e[0];
}

}  // namespace
}  // namespace viewer
