#pragma once
// Times a command line run as a process (its output dropped), for
// benchmarks that measure the probe beside a reference tool.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace benchsupport {

inline void TimeCommand(benchmark::State& state, const std::string& command) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    const auto end = std::chrono::steady_clock::now();
    if (status != 0) {
      state.SkipWithError(("failed: " + command).c_str());
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
}

}  // namespace benchsupport
