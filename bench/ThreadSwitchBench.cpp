// Cost of the cooperative-thread switch and of a thread's start and end.
#include <benchmark/benchmark.h>

#include "runtime/CoThread.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"

namespace {

class Spinner : public runtime::CoThread {
 public:
  explicit Spinner(runtime::LibraryContext* context)
      : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold,
                 runtime::kJobStackBytes) {}
  void Run(runtime::LibraryContext* context) override {
    for (;;) runtime::YieldThread(context);
  }
};

class Finisher : public runtime::CoThread {
 public:
  explicit Finisher(runtime::LibraryContext* context)
      : CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold,
                 runtime::kJobStackBytes) {}
  void Run(runtime::LibraryContext*) override {}
};

// One pass: main to the spinner and back, two switches.
void BM_SwitchPass(benchmark::State& state) {
  runtime::LibraryContext context;
  runtime::Scheduler scheduler(&context);
  context.threadingEnabled = true;
  runtime::ThreadHandle handle(&context, runtime::NewObject<Spinner>(&context, &context));
  scheduler.StartThread(handle.Get());
  for (auto _ : state) scheduler.ThreadSwitch(nullptr);
  handle.Destroy();
}
BENCHMARK(BM_SwitchPass);

// Start a thread, run it to its end, and reuse its stack.
void BM_StartAndEnd(benchmark::State& state) {
  runtime::LibraryContext context;
  runtime::Scheduler scheduler(&context);
  context.threadingEnabled = true;
  runtime::ThreadHandle handle(&context, runtime::NewObject<Finisher>(&context, &context));
  for (auto _ : state) {
    scheduler.StartThread(handle.Get());
    scheduler.ThreadSwitch(nullptr);
  }
}
BENCHMARK(BM_StartAndEnd);

}  // namespace
