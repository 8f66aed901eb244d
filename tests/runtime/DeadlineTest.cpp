#include "runtime/Deadline.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/Clock.h"
#include "runtime/LibraryContext.h"
#include "runtime/PerfFrequency.h"
#include "tests/support/FakeHostServices.h"

namespace runtime {
namespace {

class DeadlineTest : public ::testing::Test {
 protected:
  DeadlineTest() { platform::UseVirtualClock(true); }
  ~DeadlineTest() override { platform::UseVirtualClock(false); }
  LibraryContext context;
};

TEST_F(DeadlineTest, PassesOnlyOnceTheClockIsLaterThanTheTarget) {
  const Deadline deadline(&context, 10);  // 10,000 ticks of the 1 MHz clock
  EXPECT_EQ(deadline.target, 10000);
  platform::AdvanceVirtualClock(10000);
  EXPECT_FALSE(deadline.Passed());
  platform::AdvanceVirtualClock(1);
  EXPECT_TRUE(deadline.Passed());

  Deadline far(&context);
  far.SetFromNow(std::numeric_limits<int64_t>::max());
  EXPECT_EQ(far.target, std::numeric_limits<int64_t>::max());
  EXPECT_FALSE(far.Passed());

  const Deadline longest(&context, UINT32_MAX);
  EXPECT_GT(longest.target, 0);
}

TEST_F(DeadlineTest, TheKeptFrequencyFollowsTheClockInUse) {
  int64_t frequency = 0;
  ASSERT_TRUE(platform::QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(GetPerfFrequency(), frequency);
  EXPECT_EQ(GetPerfFrequency(), frequency);  // the kept answer
  platform::UseVirtualClock(!platform::IsVirtualClock());
  ASSERT_TRUE(platform::QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(GetPerfFrequency(), frequency);
  platform::UseVirtualClock(!platform::IsVirtualClock());
}

TEST_F(DeadlineTest, InputOrTheDeadlineStops) {
  testsupport::FakeHostServices host;
  const InputStop stop{&host, Deadline(&context, 5)};
  EXPECT_FALSE(ShouldYieldForInput(stop));
  host.inputPending = true;
  EXPECT_TRUE(ShouldYieldForInput(stop));
  host.inputPending = false;
  platform::AdvanceVirtualClock(6000);
  EXPECT_TRUE(ShouldYieldForInput(stop));
  EXPECT_TRUE(ShouldYieldForInput(InputStop{nullptr, stop.deadline}));
}

}  // namespace
}  // namespace runtime
