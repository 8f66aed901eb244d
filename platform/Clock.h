#pragma once
// The one clock of the system: the performance counter. Real and monotonic
// in use; a virtual clock that only moves when a test advances it.
#include <cstdint>

namespace platform {

// Counter ticks and ticks per second, as QueryPerformanceCounter and
// QueryPerformanceFrequency report them.
bool QueryPerformanceCounter(int64_t* count);
bool QueryPerformanceFrequency(int64_t* frequency);
// Milliseconds since start, on the same clock.
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);

// Switches the process to a virtual clock at tick 0 (frequency 1 MHz), or
// back to the real one.
void UseVirtualClock(bool on);
bool IsVirtualClock();
// Moves the virtual clock forward; the observer (the window system's timers)
// is told about every step so that timers fire in order.
void AdvanceVirtualClock(int64_t microseconds);
using ClockObserver = void (*)(void* user);
void SetClockObserver(ClockObserver observer, void* user);

}  // namespace platform
