#include "shell/Timer.h"

#include <gtest/gtest.h>

#include "ShellWindowFixture.h"

namespace shell {
namespace {

struct TickLog {
  int ticks = 0;
  int destroyOnTick = 0;  // 0: never
  Timer* timer = nullptr;
};

void CountTick(void* context) {
  auto* log = static_cast<TickLog*>(context);
  ++log->ticks;
  if (log->ticks == log->destroyOnTick) {
    delete log->timer;
    log->timer = nullptr;
  }
}

class ShellTimerTest : public testing::ShellWindowTest {};

TEST_F(ShellTimerTest, TicksOnTheVirtualClockUntilDestroyed) {
  TickLog log;
  log.timer = Timer::Create(10, &log, CountTick);
  ASSERT_NE(log.timer, nullptr);
  RunFor(100);
  EXPECT_EQ(log.ticks, 10);
  // Ten more in steps of 5 ms.
  for (int step = 0; step < 20; ++step) RunFor(5);
  EXPECT_EQ(log.ticks, 20);
  delete log.timer;
  log.timer = nullptr;
  RunFor(100);
  EXPECT_EQ(log.ticks, 20);
}

TEST_F(ShellTimerTest, DestroyedInsideItsOwnCallbackStopsAtOnce) {
  // The clock jumps far ahead, so several ticks are due at once; the one
  // that destroys the timer is its last.
  struct Case {
    int interval;
    int destroyOnTick;
  };
  for (const Case& c : {Case{10, 1}, Case{10, 3}, Case{1, 7}}) {
    TickLog log;
    log.destroyOnTick = c.destroyOnTick;
    log.timer = Timer::Create(c.interval, &log, CountTick);
    ASSERT_NE(log.timer, nullptr);
    const platform::HWND window = log.timer->Window();
    RunFor(c.interval * 20);
    EXPECT_EQ(log.ticks, c.destroyOnTick);
    EXPECT_EQ(log.timer, nullptr);
    EXPECT_FALSE(platform::IsWindow(window));
    RunFor(100);
    EXPECT_EQ(log.ticks, c.destroyOnTick);
  }
}

TEST_F(ShellTimerTest, HiddenWindowCannotBeClosedAndFailuresGiveNull) {
  TickLog log;
  Timer* timer = Timer::Create(10, &log, CountTick);
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(platform::SendMessageW(timer->Window(), platform::WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(platform::IsWindow(timer->Window()));
  RunFor(20);
  EXPECT_EQ(log.ticks, 2);
  // Two timers tick independently.
  TickLog other;
  Timer* second = Timer::Create(25, &other, CountTick);
  ASSERT_NE(second, nullptr);
  RunFor(50);
  EXPECT_EQ(log.ticks, 7);
  EXPECT_EQ(other.ticks, 2);
  delete second;
  delete timer;

  // No callback, or no timer class: no timer.
  EXPECT_EQ(Timer::Create(10, &log, nullptr), nullptr);
  platform::UnregisterClassW(kTimerWindowClass, nullptr);
  EXPECT_EQ(Timer::Create(10, &log, CountTick), nullptr);
}

}  // namespace
}  // namespace shell
