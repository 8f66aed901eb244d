#include "runtime/Timer.h"

#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace runtime {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  TimerTest() { platform::UseVirtualClock(true); }
  ~TimerTest() override { platform::UseVirtualClock(false); }
};

TEST_F(TimerTest, OnlyTheFirstStartCounts) {
  Timer timer;
  EXPECT_EQ(timer.ElapsedTicks(), 0);
  platform::AdvanceVirtualClock(500);
  Timer::StartOnce(timer);
  EXPECT_TRUE(timer.started);
  EXPECT_EQ(timer.start, 500);
  platform::AdvanceVirtualClock(300);
  // A second start leaves the first one's reading.
  Timer::StartOnce(timer);
  EXPECT_EQ(timer.start, 500);
  EXPECT_EQ(timer.ElapsedTicks(), 300);
}

}  // namespace
}  // namespace runtime
