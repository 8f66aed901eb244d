#include "platform/Clock.h"

#include <time.h>

namespace platform {
namespace {

constexpr int64_t kVirtualFrequency = 1000000;  // ticks per second
constexpr int64_t kRealFrequency = 1000000000;  // nanosecond counter

bool g_virtual = false;
int64_t g_virtualTicks = 0;
ClockObserver g_observer = nullptr;
void* g_observerUser = nullptr;

int64_t RealTicks() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * kRealFrequency + now.tv_nsec;
}

}  // namespace

bool QueryPerformanceCounter(int64_t* count) {
  *count = g_virtual ? g_virtualTicks : RealTicks();
  return true;
}

bool QueryPerformanceFrequency(int64_t* frequency) {
  *frequency = g_virtual ? kVirtualFrequency : kRealFrequency;
  return true;
}

uint32_t GetTickCount() {
  int64_t count = 0;
  int64_t frequency = 1;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<uint32_t>(count / (frequency / 1000));
}

void Sleep(uint32_t milliseconds) {
  if (g_virtual) {
    AdvanceVirtualClock(static_cast<int64_t>(milliseconds) * 1000);
    return;
  }
  timespec delay{static_cast<time_t>(milliseconds / 1000),
                 static_cast<long>(milliseconds % 1000) * 1000000L};
  nanosleep(&delay, nullptr);
}

void UseVirtualClock(bool on) {
  g_virtual = on;
  g_virtualTicks = 0;
}

bool IsVirtualClock() { return g_virtual; }

void AdvanceVirtualClock(int64_t microseconds) {
  if (microseconds <= 0) return;
  g_virtualTicks += microseconds;
  if (g_observer != nullptr) g_observer(g_observerUser);
}

void SetClockObserver(ClockObserver observer, void* user) {
  g_observer = observer;
  g_observerUser = user;
}

}  // namespace platform
