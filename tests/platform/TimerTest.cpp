#include <gtest/gtest.h>

#include "WindowTestSupport.h"

namespace platform {
namespace {

using testing::WindowTest;

int g_ticks = 0;
int g_ticksInsideNestedLoop = 0;
bool g_inNestedLoop = false;

void CountTick(HWND, UINT, UINT_PTR, DWORD) {
  ++g_ticks;
  if (g_inNestedLoop) ++g_ticksInsideNestedLoop;
}

void Quit(HWND window, UINT, UINT_PTR id, DWORD) {
  KillTimer(window, id);
  PostQuitMessage(7);
}

void RunLoopUntilQuit(int expectedCode) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  EXPECT_EQ(static_cast<int>(message.wParam), expectedCode);
}

class TimerTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    g_ticks = 0;
    g_ticksInsideNestedLoop = 0;
    g_inNestedLoop = false;
  }
};

TEST_F(TimerTest, TenMillisecondTimerFiresTenTimesInAHundred) {
  const HWND window = TopLevel();
  ASSERT_NE(SetTimer(window, 1, 10, CountTick), 0u);
  ASSERT_NE(SetTimer(window, 2, 100, Quit), 0u);
  RunLoopUntilQuit(7);
  EXPECT_EQ(g_ticks, 10);
  EXPECT_EQ(GetTickCount(), 100u);

  // Time that passed while nobody looked is made up, interval by interval.
  AdvanceVirtualClock(50 * 1000);
  Pump();
  EXPECT_EQ(g_ticks, 15);
}

void EndNestedLoop(HWND window, UINT, UINT_PTR id, DWORD) {
  KillTimer(window, id);
  PostMessageW(window, WM_USER + 5, 0, 0);
}

// On the third tick, a modal loop runs for 50 ms, as a dialog would.
void TickThenRunModal(HWND window, UINT, UINT_PTR, DWORD) {
  ++g_ticks;
  if (g_inNestedLoop) ++g_ticksInsideNestedLoop;
  if (g_ticks != 3) return;
  SetTimer(window, 3, 50, EndNestedLoop);
  g_inNestedLoop = true;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    if (message.message == WM_USER + 5) break;
    DispatchMessageW(&message);
  }
  g_inNestedLoop = false;
}

TEST_F(TimerTest, TimersKeepFiringInsideANestedModalLoop) {
  const HWND window = TopLevel();
  ASSERT_NE(SetTimer(window, 1, 10, TickThenRunModal), 0u);
  ASSERT_NE(SetTimer(window, 2, 100, Quit), 0u);
  RunLoopUntilQuit(7);
  EXPECT_EQ(g_ticks, 10);
  EXPECT_EQ(g_ticksInsideNestedLoop, 5);
}

void KillSelf(HWND window, UINT, UINT_PTR id, DWORD) {
  ++g_ticks;
  KillTimer(window, id);
  // As a one-shot timer object does: its hidden window goes too.
  DestroyWindow(window);
}

TEST_F(TimerTest, DestroyingATimerInsideItsCallbackIsSafe) {
  const HWND window = TopLevel();
  ASSERT_NE(SetTimer(window, 1, 10, KillSelf), 0u);
  const HWND other = TopLevel(u"Other");
  ASSERT_NE(SetTimer(other, 1, 10, CountTick), 0u);
  AdvanceVirtualClock(100 * 1000);
  Pump();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(g_ticks, 1 + 10);

  // A tick taken off the queue before its timer was killed stays quiet.
  MSG message;
  AdvanceVirtualClock(10 * 1000);
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  KillTimer(other, 1);
  DispatchMessageW(&message);
  EXPECT_EQ(g_ticks, 11);
}

TEST_F(TimerTest, TimersWithoutAWindowAndWindowTimersWithoutProcedures) {
  const HWND window = TopLevel();
  const UINT_PTR anonymous = SetTimer(nullptr, 0, 30, CountTick);
  ASSERT_NE(anonymous, 0u);
  ASSERT_EQ(SetTimer(window, 9, 20, nullptr), 9u);
  // Setting an existing timer again restarts it with the new interval.
  AdvanceVirtualClock(15 * 1000);
  ASSERT_EQ(SetTimer(window, 9, 25, nullptr), 9u);
  AdvanceVirtualClock(45 * 1000);  // now 60 ms
  Pump();
  EXPECT_EQ(g_ticks, 2);
  const auto timers = testing::Only(WM_TIMER);
  ASSERT_EQ(timers.size(), 1u);  // at 40 ms
  EXPECT_EQ(timers[0].wParam, 9u);
  EXPECT_TRUE(KillTimer(nullptr, anonymous));
  EXPECT_FALSE(KillTimer(nullptr, anonymous));
  EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(uintptr_t{0x999}), 1, 10, nullptr), 0u);
}

}  // namespace
}  // namespace platform
