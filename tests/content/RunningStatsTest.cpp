// Block statistics and the scores that break blocks.
#include <gtest/gtest.h>

#include <cmath>

#include "content/RunningStats.h"

namespace {

using content::BlockJoin;
using content::RunningStats;
using runtime::FixedFromInt;
using runtime::FixedToDouble;

TEST(RunningStatsTest, MergingKeepsMeanAndSpread) {
  RunningStats stats = RunningStats::Single(FixedFromInt(10));
  RunningStats::Merge(stats, RunningStats::Single(FixedFromInt(20)));
  EXPECT_EQ(stats.count, 2);
  EXPECT_EQ(stats.mean, FixedFromInt(15));
  EXPECT_NEAR(FixedToDouble(RunningStats::StdDev(stats)), 7.071, 0.01);
  // Many samples of large values rescale instead of overflowing; the
  // result stays the sample standard deviation.
  RunningStats wide;
  double sum = 0, squares = 0;
  for (int i = 0; i < 200; ++i) {
    const double v = (i % 2 == 0) ? 1000.0 : 3000.0;
    sum += v;
    squares += v * v;
    RunningStats::Merge(wide, RunningStats::Single(runtime::FixedFromFloat(v)));
  }
  const double mean = sum / 200;
  const double expected = std::sqrt((squares - 200 * mean * mean) / 199);
  EXPECT_NEAR(FixedToDouble(wide.mean), mean, 0.5);
  EXPECT_NEAR(FixedToDouble(RunningStats::StdDev(wide)), expected, expected * 0.01);
  // Merging past the sample limit drops the samples.
  RunningStats full = wide;
  full.count = RunningStats::kMaxCount;
  RunningStats::Merge(full, RunningStats::Single(0));
  EXPECT_EQ(full.count, RunningStats::kMaxCount);
}

TEST(RunningStatsTest, EmptyStatisticsAreNeutral) {
  // These divided by a count of zero: empty statistics now give no
  // tolerance and a neutral spacing score.
  const RunningStats empty;
  EXPECT_EQ(RunningStats::Tolerance(empty, runtime::kFixedOne, runtime::kFixedOne), 0);
  EXPECT_EQ(BlockJoin::SpacingScore(empty, FixedFromInt(12)), 0);
  EXPECT_FALSE(RunningStats::Admits(empty, 0, runtime::kFixedOne, runtime::kFixedOne));
  EXPECT_FALSE(RunningStats::Overlaps(empty, RunningStats::Single(1), runtime::kFixedOne, runtime::kFixedOne));
}

TEST(RunningStatsTest, TolerancesAdmitAndOverlap) {
  const RunningStats left = RunningStats::Single(FixedFromInt(72));
  const runtime::Fixed quarter = runtime::kFixedOne / 4;
  // One sample: the tolerance is a quarter of the mean, 18.
  EXPECT_EQ(RunningStats::Tolerance(left, quarter, quarter), FixedFromInt(18));
  EXPECT_TRUE(RunningStats::Admits(left, FixedFromInt(89), quarter, quarter));
  EXPECT_FALSE(RunningStats::Admits(left, FixedFromInt(90), quarter, quarter));
  EXPECT_TRUE(RunningStats::Admits(left, FixedFromInt(55), quarter, quarter));
  EXPECT_FALSE(RunningStats::Admits(left, FixedFromInt(54), quarter, quarter));
  EXPECT_TRUE(RunningStats::Overlaps(RunningStats::Single(FixedFromInt(10)), RunningStats::Single(FixedFromInt(19)),
                                     quarter, runtime::kFixedOne));
  EXPECT_FALSE(RunningStats::Overlaps(RunningStats::Single(FixedFromInt(10)),
                                      RunningStats::Single(FixedFromInt(41)), quarter, quarter));
}

TEST(RunningStatsTest, PunctuationAndSpacingScores) {
  struct Case {
    uint32_t last, first;
    double score;
  };
  const Case cases[] = {
      {'.', 'T', 0.75}, {',', 'a', -0.8}, {',', 0xA1, -0.3}, {',', 0x2022, 1.1}, {'a', '*', 1.1},
      {'a', 0xBF, 0.5}, {'a', 'b', 0.0},  {0x3002, 'x', 0.75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.last);
    EXPECT_NEAR(FixedToDouble(BlockJoin::PunctuationScore(c.last, c.first)), c.score, 0.0001);
  }
  // A list mark alone asks for a break.
  EXPECT_TRUE(BlockJoin::BreakScore(0, 0, BlockJoin::PunctuationScore('a', '*')));
  EXPECT_FALSE(BlockJoin::BreakScore(0, 0, BlockJoin::PunctuationScore('.', 'T')));
  // Gaps of 10 and 12: mean 11, tolerance max(1.1, 1.41) = 1.41.
  RunningStats gaps = RunningStats::Single(FixedFromInt(10));
  RunningStats::Merge(gaps, RunningStats::Single(FixedFromInt(12)));
  const double tolerance = FixedToDouble(RunningStats::Tolerance(gaps, runtime::kFixedOne, 6553));
  EXPECT_NEAR(tolerance, 1.414, 0.01);
  EXPECT_NEAR(FixedToDouble(BlockJoin::SpacingScore(gaps, FixedFromInt(12))), 1.0 / tolerance, 0.01);
  // 30 tolerances above the mean is capped at +20, below at -20.
  EXPECT_EQ(BlockJoin::SpacingScore(gaps, runtime::FixedFromFloat(11 + 30 * tolerance)), FixedFromInt(20));
  EXPECT_EQ(BlockJoin::SpacingScore(gaps, runtime::FixedFromFloat(11 - 30 * tolerance)), FixedFromInt(-20));
}

}  // namespace
