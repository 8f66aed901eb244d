#pragma once
// The performance counter's ticks per second, asked of the platform once
// and kept.
#include <cstdint>

namespace runtime {

// Ticks per second; never 0. A failed query is asked again on the next call.
int64_t GetPerfFrequency();

}  // namespace runtime
