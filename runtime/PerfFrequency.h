#pragma once
// The performance counter: its ticks now, and its ticks per second, asked
// of the platform once and kept. Subsystems above the runtime read time
// through these, never from the platform layer.
#include <cstdint>

namespace runtime {

// Ticks per second; never 0. A failed query is asked again on the next call.
int64_t GetPerfFrequency();

// The counter's current value in ticks; 0 when the platform cannot say.
int64_t ReadPerfCounter();

}  // namespace runtime
