#include "runtime/Timer.h"

#include "platform/Clock.h"

namespace runtime {

void Timer::StartOnce(Timer& timer) {
  if (timer.started) return;
  platform::QueryPerformanceCounter(&timer.start);
  timer.started = true;
}

int64_t Timer::ElapsedTicks() const {
  if (!started) return 0;
  int64_t now = 0;
  platform::QueryPerformanceCounter(&now);
  return now > start ? now - start : 0;
}

}  // namespace runtime
