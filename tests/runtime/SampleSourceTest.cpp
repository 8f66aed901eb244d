#include "runtime/SampleSource.h"

#include <gtest/gtest.h>

#include "runtime/SpanRange.h"

namespace runtime {
namespace {

// Sample n answers {10n, 10n + 1, 10n + 2}.
struct CountingSource : SampleSource {
  SampleTriple Sample() override {
    ++calls;
    return {{10 * calls, 10 * calls + 1, 10 * calls + 2}};
  }
  int32_t calls = 0;
};

TEST(SampleSourceTest, TripleSampleTakesOneWordFromEachSampleInItsOwnOrder) {
  CountingSource source;
  const SampleTriple triple = TripleSample(&source);
  EXPECT_EQ(source.calls, 3);
  EXPECT_EQ(triple.words[0], 10);  // first sample, word 0
  EXPECT_EQ(triple.words[1], 31);  // third sample, word 1
  EXPECT_EQ(triple.words[2], 22);  // second sample, word 2
}

TEST(SampleSourceTest, SpanRangeGrowsAndSaysSo) {
  SpanRange range;
  EXPECT_TRUE(range.IsEmpty());
  struct Step {
    int32_t low, high;
    int32_t min, max;
    bool changed;
  } steps[] = {
      {5, 9, 5, 9, true},  {6, 8, 5, 9, false}, {5, 9, 5, 9, false},
      {4, 9, 4, 9, true},  {7, 12, 4, 12, true},
  };
  for (const Step& step : steps) {
    range.changed = false;
    range.Include(step.low, step.high);
    EXPECT_EQ(range.min, step.min);
    EXPECT_EQ(range.max, step.max);
    EXPECT_EQ(range.changed, step.changed) << step.low << ".." << step.high;
  }
}

}  // namespace
}  // namespace runtime
