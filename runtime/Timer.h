#pragma once
// A stopwatch on the performance counter. Started at most once: of several
// places that may start it, the first one counts.
#include <cstdint>

namespace runtime {

struct Timer {
  int64_t start = 0;  // counter ticks
  bool started = false;

  // Reads the counter into `start` unless the timer is already started.
  static void StartOnce(Timer& timer);
  // Ticks since the start; 0 when not started or when the counter reads
  // earlier than the start.
  int64_t ElapsedTicks() const;
};

}  // namespace runtime
