#pragma once
// A library context with a scheduler on the virtual clock, and threads made
// from closures, for the tests of the cooperative threads.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "runtime/CoThread.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"
#include "tests/support/RecordingViewerHooks.h"

namespace runtime {

class ClosureThread : public CoThread {
 public:
  using Body = std::function<void(LibraryContext*)>;
  ClosureThread(LibraryContext* context, Body run, uint32_t stackBytes = kJobStackBytes)
      : CoThread(context, kJobArenaBlockBytes, kJobArenaThreshold, stackBytes),
        body(std::move(run)) {}
  void Run(LibraryContext* context) override { body(context); }
  Body body;
};

// A registered stack object that logs its cleanup, as library holders do.
struct LoggedCleanup {
  CleanupNode node;
  std::string* log;
  char mark;

  LoggedCleanup(std::string* target, char letter) : log(target), mark(letter) {
    node.Register(nullptr, &LoggedCleanup::Cleanup);
  }
  ~LoggedCleanup() { node.Unlink(); }
  static void Cleanup(CleanupNode* raw) {
    auto* self = reinterpret_cast<LoggedCleanup*>(raw);
    *self->log += self->mark;
    raw->Unlink();
  }
};

class ThreadFixture : public ::testing::Test {
 protected:
  ThreadFixture() {
    platform::UseVirtualClock(true);
    context.threadingEnabled = true;
    context.viewer = &viewer;
  }
  ~ThreadFixture() override {
    handles.clear();
    platform::UseVirtualClock(false);
  }

  // A thread object owned by the fixture, not yet started.
  ClosureThread* Make(ClosureThread::Body body) {
    auto* thread = NewObject<ClosureThread>(&context, &context, std::move(body));
    handles.push_back(std::make_unique<ThreadHandle>(&context, thread));
    return thread;
  }
  ClosureThread* Start(ClosureThread::Body body) {
    ClosureThread* thread = Make(std::move(body));
    scheduler.StartThread(thread);
    return thread;
  }

  int64_t NowMicroseconds() const {
    int64_t now = 0;
    platform::QueryPerformanceCounter(&now);
    return now;
  }

  // Runs `body` in a trap and returns the error it raised (code 99: none).
  template <class Body>
  static ErrorRecord Caught(Body&& body) {
    ErrorRecord seen{kRuntimeDomain, 99, 0};
    ErrorTrap trap;
    if (!trap.Run(std::forward<Body>(body))) {
      trap.SetHandled();
      seen = trap.Held();
      trap.Close();
    }
    return seen;
  }

  // Runs `body` on a new thread inside a trap; the body calls `ready` just
  // before its long work. After the thread has yielded a few times it is
  // cancelled; returns the error its trap saw (code 99: none).
  using CancelledBody = std::function<void(LibraryContext*, const std::function<void()>& ready)>;
  ErrorRecord CancelPartWay(CancelledBody body) {
    bool started = false;
    ErrorRecord seen{kRuntimeDomain, 99, 0};
    ClosureThread* victim = Start([&](LibraryContext* ctx) {
      ErrorTrap trap(ctx);
      if (!trap.Run([&] { body(ctx, [&] { started = true; }); })) {
        seen = trap.Held();
        trap.Rethrow();
      }
    });
    scheduler.RunUntil([&] { return started; });
    int polls = 0;
    scheduler.RunUntil([&] { return ++polls > 5; });
    EXPECT_EQ(scheduler.Kill(victim), 1);
    return seen;
  }

  testsupport::RecordingViewerHooks viewer;
  LibraryContext context;
  Scheduler scheduler{&context};
  std::vector<std::unique_ptr<ThreadHandle>> handles;
};

}  // namespace runtime
