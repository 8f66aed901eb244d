#include "runtime/Scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "runtime/Event.h"
#include "runtime/Task.h"
#include "tests/runtime/ThreadFixture.h"
#include "tests/support/FakeHostServices.h"

namespace runtime {
namespace {

using SchedulerTest = ThreadFixture;

constexpr int64_t kMillisecond = 1000;  // virtual clock ticks

TEST_F(SchedulerTest, BudgetedThreadsInterleaveBySlicesAndTheRunStopsAfterThePassAtItsDeadline) {
  std::string log;
  auto stepper = [&](char letter) {
    return [&log, letter](LibraryContext* ctx) {
      for (int step = 0; step < 1000; ++step) {
        log += letter;
        platform::AdvanceVirtualClock(kMillisecond);
        // 400,000 of 1,000,000 units: the third step spends the budget.
        ChargeWork(ctx, 400000);
      }
    };
  };
  Start(stepper('A'));
  Start(stepper('B'));
  EXPECT_EQ(log, "");  // starting runs nothing of the job yet

  const int64_t begin = NowMicroseconds();
  Scheduler::RunForMilliseconds(&context, 20);
  const int64_t elapsed = NowMicroseconds() - begin;

  // Passes end at 6, 12, 18 and 24 ms; the one that starts at 18 ms, not yet
  // past the deadline, runs whole.
  EXPECT_EQ(log, "AAABBBAAABBBAAABBBAAABBB");
  const int64_t pass = 6 * kMillisecond;  // one slice of each runnable thread
  EXPECT_GE(elapsed, 20 * kMillisecond);
  EXPECT_LE(elapsed, 20 * kMillisecond + pass);

  // The next run goes on where the threads stopped.
  log.clear();
  Scheduler::RunForMilliseconds(&context, 1);
  EXPECT_EQ(log, "AAABBB");
}

TEST_F(SchedulerTest, YieldingJobKeepsItsLocalsAndResumesWhereItStopped) {
  std::string log;
  auto job = [&](char letter) {
    return [&log, letter](LibraryContext* ctx) {
      uint64_t squares[64];
      for (uint64_t i = 0; i < 64; ++i) squares[i] = i * i + static_cast<uint64_t>(letter);
      std::string text(200, letter);
      for (int round = 0; round < 3; ++round) {
        log += letter;
        log += static_cast<char>('0' + round);
        YieldThread(ctx);
        for (uint64_t i = 0; i < 64; ++i) {
          if (squares[i] != i * i + static_cast<uint64_t>(letter)) log += '!';
        }
        if (text != std::string(200, letter)) log += '?';
      }
      log += letter;
      log += '.';
    };
  };
  Start(job('x'));
  Start(job('y'));
  scheduler.RunUntil([] { return false; });
  // Each thread resumes after its yield, with its own locals intact.
  EXPECT_EQ(log, "x0y0x1y1x2y2x.y.");
}

TEST_F(SchedulerTest, ThreadSwitchAloneAndYieldWithThreadingOffDoNothing) {
  scheduler.ThreadSwitch(nullptr);
  EXPECT_TRUE(scheduler.OnMainThread());

  std::string log;
  Start([&](LibraryContext* ctx) {
    ctx->threadingEnabled = false;
    ctx->workBudget = -5;
    YieldThread(ctx);
    log += (ctx->workBudget == -5) ? "kept" : "reset";
    ctx->threadingEnabled = true;
    YieldThread(ctx);
    log += (ctx->workBudget == kWorkBudget) ? ",reset" : ",kept";
  });
  scheduler.RunUntil([&] { return !log.empty() && log.size() < 5; });
  EXPECT_EQ(log, "kept");  // no switch: the thread went on in the same turn
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(log, "kept,reset");
}

TEST_F(SchedulerTest, MainThreadWorkNeverYields) {
  context.workBudget = 10;
  bool ran = false;
  Start([&](LibraryContext*) { ran = true; });
  ChargeWork(&context, 500);
  EXPECT_FALSE(ran);
  EXPECT_EQ(context.workBudget, -490);
}

TEST_F(SchedulerTest, ChargeWorkSaturatesWhileTheBudgetIsNeverReset) {
  context.threadingEnabled = false;
  context.workBudget = INT32_MIN + 5;
  ChargeWork(&context, 10000);
  EXPECT_EQ(context.workBudget, INT32_MIN);
}

TEST_F(SchedulerTest, ErrorEscapingRunEndsTheThreadQuietly) {
  std::string log;
  ClosureThread* thread = Start([&](LibraryContext*) {
    log += 'a';
    ThrowRuntime(kMalformed);
  });
  ClosureThread* other = Start([&](LibraryContext* ctx) {
    YieldThread(ctx);
    log += 'b';
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(log, "ab");
  EXPECT_TRUE(thread->IsIdle());
  EXPECT_FALSE(thread->live);
  EXPECT_TRUE(other->IsIdle());
  EXPECT_TRUE(scheduler.current->IsAlone());
}

TEST_F(SchedulerTest, KillingAWaitingThreadUnwindsItAndTheKillerGoesOn) {
  Event event(&context);
  std::string cleanups;
  ErrorRecord seenInside{kRuntimeDomain, 99, 0};
  bool pastWait = false;
  ClosureThread* victim = Start([&](LibraryContext* ctx) {
    LoggedCleanup held(&cleanups, 'h');
    ErrorTrap trap(ctx);
    if (!trap.Run([&] {
          event.Wait();
          pastWait = true;
        })) {
      seenInside = trap.Held();
      trap.Rethrow();  // let the kill go on to the thread's end
    }
  });
  scheduler.RunUntil([] { return false; });
  ASSERT_EQ(event.waiters, victim);

  // Killed from another thread, which carries on after the kill.
  std::string killer;
  Start([&](LibraryContext*) {
    killer += "k";
    EXPECT_EQ(scheduler.Kill(victim), 1);
    killer += "!";
  });
  scheduler.RunUntil([] { return false; });

  EXPECT_EQ(killer, "k!");
  EXPECT_EQ(cleanups, "h");
  EXPECT_FALSE(pastWait);
  EXPECT_TRUE(seenInside.IsRuntime(kCancelled));
  EXPECT_EQ(seenInside.flag, 1);
  EXPECT_TRUE(victim->IsIdle());
  EXPECT_FALSE(victim->live);
  EXPECT_EQ(event.waiters, nullptr);
}

TEST_F(SchedulerTest, AKilledThreadWhoseHandlerLeavesEarlyStillEnds) {
  // The job's loop takes every error of a step and goes on with the next
  // (leaving its trap by `continue`); the kill's cancellation must still
  // end the job, not let it run its remaining steps inside Kill.
  int steps = 0;
  std::string cleanups;
  ClosureThread* victim = Start([&](LibraryContext* ctx) {
    LoggedCleanup held(&cleanups, 'c');
    for (int i = 0; i < 1000; ++i) {
      ErrorTrap trap(ctx);
      if (!trap.Run([&] {
            ++steps;
            YieldThread(ctx);
          })) {
        trap.SetHandled();
        continue;
      }
    }
  });
  scheduler.RunUntil([&] { return steps >= 3; });
  const int before = steps;
  EXPECT_EQ(scheduler.Kill(victim), 1);
  EXPECT_EQ(steps, before);
  EXPECT_EQ(cleanups, "c");
  EXPECT_TRUE(victim->IsIdle());
}

TEST_F(SchedulerTest, AStandardExceptionInAThreadEndsOnlyThatThread) {
  std::string log;
  ErrorRecord seen{kRuntimeDomain, 99, 0};
  ClosureThread* thread = Start([&](LibraryContext* ctx) {
    seen = Caught([] { throw std::bad_alloc(); });
    log += 'a';
    YieldThread(ctx);
    throw std::bad_alloc();  // reaches the thread's own trap
  });
  Start([&](LibraryContext* ctx) {
    YieldThread(ctx);
    YieldThread(ctx);
    log += 'b';
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_TRUE(seen.IsRuntime(kOutOfMemory));
  EXPECT_EQ(log, "ab");
  EXPECT_TRUE(thread->IsIdle());
  EXPECT_FALSE(thread->live);
}

TEST_F(SchedulerTest, KillFromMainUnwindsARunnableThread) {
  std::string cleanups;
  int steps = 0;
  ClosureThread* victim = Start([&](LibraryContext* ctx) {
    LoggedCleanup held(&cleanups, 'r');
    for (;;) {
      ++steps;
      YieldThread(ctx);
    }
  });
  scheduler.RunUntil([&] { return steps >= 3; });
  EXPECT_EQ(scheduler.Kill(victim), 1);
  EXPECT_EQ(cleanups, "r");
  EXPECT_TRUE(victim->IsIdle());
  EXPECT_TRUE(scheduler.OnMainThread());
  EXPECT_TRUE(scheduler.current->IsAlone());
  // Killing what already ended changes nothing.
  EXPECT_EQ(scheduler.Kill(victim), 1);
  EXPECT_EQ(cleanups, "r");
}

TEST_F(SchedulerTest, AThreadKilledBeforeItsFirstTurnNeverRunsItsJob) {
  bool ran = false;
  ClosureThread* thread = Start([&](LibraryContext*) { ran = true; });
  EXPECT_TRUE(thread->live);
  scheduler.Kill(thread);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(thread->IsIdle());
  // An ended thread may be started again on its stack.
  scheduler.StartThread(thread);
  scheduler.RunUntil([] { return false; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(thread->IsIdle());
  // A live thread cannot be started twice.
  ClosureThread* other = Start([](LibraryContext* ctx) { YieldThread(ctx); });
  EXPECT_TRUE(Caught([&] { scheduler.StartThread(other); }).IsRuntime(kMalformed));
}

TEST_F(SchedulerTest, KillAllFromAThreadSparesOnlyThatThread) {
  std::string log;
  for (char mark : std::string("ab")) {
    Start([&log, mark](LibraryContext* ctx) {
      LoggedCleanup held(&log, mark);
      for (;;) YieldThread(ctx);
    });
  }
  Start([&](LibraryContext* ctx) {
    YieldThread(ctx);
    scheduler.KillAll();
    log += '!';
  });
  scheduler.RunUntil([] { return false; });
  ASSERT_EQ(log.size(), 3u);
  std::sort(log.begin(), log.begin() + 2);  // the order of the kills is not fixed
  EXPECT_EQ(log, "ab!");
  EXPECT_TRUE(scheduler.current->IsAlone());
}

TEST_F(SchedulerTest, RefusesToKillItselfOrTheMainThreadAndToBlockTheMainThread) {
  ErrorRecord selfKill{};
  ErrorRecord mainKill{};
  Start([&](LibraryContext*) {
    selfKill = Caught([&] { scheduler.Kill(scheduler.current); });
    mainKill = Caught([&] { scheduler.Kill(&scheduler.mainThread); });
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_TRUE(selfKill.IsRuntime(kMalformed));
  EXPECT_TRUE(mainKill.IsRuntime(kMalformed));

  ThreadState* ring = nullptr;
  EXPECT_TRUE(Caught([&] { scheduler.WaitOn(&ring); }).IsRuntime(kMalformed));
  EXPECT_EQ(ring, nullptr);
  EXPECT_TRUE(scheduler.current->IsAlone());
  EXPECT_TRUE(scheduler.OnMainThread());
}

TEST_F(SchedulerTest, WorkTimerStartsWhenWorkAppearsAndStopsWhenTheLastThreadEnds) {
  Event go(&context);
  Start([&](LibraryContext* ctx) { YieldThread(ctx); });
  Start([&](LibraryContext*) { go.Wait(); });
  EXPECT_EQ(viewer.calls, "+");  // the second start found work already there
  scheduler.RunUntil([] { return false; });
  // The first thread ended while the second was runnable; the second then
  // blocked, leaving only the main thread.
  EXPECT_EQ(viewer.calls, "+-");
  go.Set();  // work appears again
  EXPECT_EQ(viewer.calls, "+-+");
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(viewer.calls, "+-+-");
}

TEST_F(SchedulerTest, CallOnThreadStackRunsOnTheMainStackAndCarriesErrorsBack) {
  uintptr_t threadLocal = 0;
  uintptr_t calledAt = 0;
  bool calledOnMain = false;
  uintptr_t stackLow = 0;
  uintptr_t stackHigh = 0;
  ErrorRecord carried{};
  std::string after;
  ClosureThread* thread = Start([&](LibraryContext* ctx) {
    int marker = 0;
    threadLocal = reinterpret_cast<uintptr_t>(&marker);
    RunOnMainStack(ctx, [&] {
      int local = 0;
      calledAt = reinterpret_cast<uintptr_t>(&local);
      calledOnMain = scheduler.OnMainThread();
    });
    carried = Caught([&] { RunOnMainStack(ctx, [] { ThrowRuntime(kUnsupported); }); });
    after = "back";
  });
  stackLow = thread->stackLimit;
  stackHigh = thread->stackLimit + thread->stackSize;
  scheduler.RunUntil([] { return false; });

  EXPECT_GE(threadLocal, stackLow);
  EXPECT_LT(threadLocal, stackHigh);
  EXPECT_TRUE(calledOnMain);
  EXPECT_TRUE(calledAt < stackLow || calledAt >= stackHigh);
  EXPECT_TRUE(carried.IsRuntime(kUnsupported));
  EXPECT_EQ(after, "back");

  // On the main thread the call is direct.
  bool direct = false;
  RunOnMainStack(&context, [&] { direct = scheduler.OnMainThread(); });
  EXPECT_TRUE(direct);
}

TEST_F(SchedulerTest, RunLoopInsideADeferredCallReturnsAtOnce) {
  int otherSteps = 0;
  bool loopReturned = false;
  Start([&](LibraryContext* ctx) {
    for (int i = 0; i < 5; ++i) {
      ++otherSteps;
      YieldThread(ctx);
    }
  });
  Start([&](LibraryContext* ctx) {
    RunOnMainStack(ctx, [&] {
      const int before = otherSteps;
      EXPECT_FALSE(scheduler.deferredDone);
      scheduler.RunUntil([] { return false; });
      loopReturned = (otherSteps == before);
    });
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_TRUE(loopReturned);
  EXPECT_TRUE(scheduler.deferredDone);
}

// Recursion with a sizeable frame, checked on entry as parsers do.
int Descend(Scheduler* scheduler, int depth) {
  CheckStackSpace(scheduler);
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  frame[511] = frame[0];
  // Far deeper than any stack: the check must stop it first.
  if (depth > 10000000) return 0;
  return Descend(scheduler, depth + 1) + frame[511];
}

TEST_F(SchedulerTest, DeepRecursionOnAThreadRaisesStackExhaustedInsteadOfCrashing) {
  ErrorRecord seen{};
  bool nearlyExhaustedAtStart = true;
  Start([&](LibraryContext* ctx) {
    nearlyExhaustedAtStart = StackNearlyExhausted(ctx);
    seen = Caught([&] { Descend(&scheduler, 0); });
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_TRUE(seen.IsRuntime(kStackExhausted));
  EXPECT_FALSE(nearlyExhaustedAtStart);

  // The main stack is the process's; it is never checked.
  CheckStackSpace(&scheduler);
  EXPECT_FALSE(StackNearlyExhausted(&context));
}

TEST_F(SchedulerTest, InteractiveLoopStopsForInput) {
  testsupport::FakeHostServices host;
  int steps = 0;
  Start([&](LibraryContext* ctx) {
    for (;;) {
      if (++steps == 3) host.inputPending = true;
      platform::AdvanceVirtualClock(kMillisecond);
      YieldThread(ctx);
    }
  });
  scheduler.RunUntilInputOrDeadline(InputStop{&host, Deadline(&context, 1000)});
  EXPECT_EQ(steps, 3);
  host.inputPending = false;
  scheduler.RunUntilInputOrDeadline(InputStop{&host, Deadline(&context, 0)});
  EXPECT_EQ(steps, 4);  // a deadline not yet passed allows one pass

  // Through the context's host.
  context.host = &host;
  host.inputPending = true;
  Scheduler::RunUntilInputOrMilliseconds(&context, 100);
  EXPECT_EQ(steps, 4);
  host.inputPending = false;
  Scheduler::RunUntilInputOrMilliseconds(&context, 2);
  EXPECT_EQ(steps, 7);  // passes end at 1, 2 and 3 ms
}

TEST_F(SchedulerTest, RunUntilReadyReturnsTheItemOrRaisesAMissingItem) {
  int item = 7;
  int* awaited = nullptr;
  Start([&](LibraryContext* ctx) {
    YieldThread(ctx);
    YieldThread(ctx);
    awaited = &item;
  });
  EXPECT_EQ(RunUntilReady(&context, &awaited, 100), &item);

  int* never = nullptr;
  Start([&](LibraryContext* ctx) {
    for (;;) {
      platform::AdvanceVirtualClock(kMillisecond);
      YieldThread(ctx);
    }
  });
  const ErrorRecord missing = Caught([&] { RunUntilReady(&context, &never, 5); });
  EXPECT_TRUE(missing.Is(kViewerDomain, 2));
  EXPECT_EQ(missing.flag, 1);
}

class RecordingTask : public Task {
 public:
  RecordingTask(LibraryContext* context, Scheduler* owner, std::string* target, bool fail)
      : Task(context), scheduler(owner), log(target), shouldFail(fail) {}
  void Run(LibraryContext*) override {
    *log += scheduler->OnMainThread() ? "main" : "thread";
    if (shouldFail) ThrowRuntime(kMalformed);
  }
  Scheduler* scheduler;
  std::string* log;
  bool shouldFail;
};

TEST_F(SchedulerTest, TasksRunOnTheMainThreadAndWakeTheirPoster) {
  std::string log;
  bool failed = true;
  bool failedSecond = false;
  Start([&](LibraryContext* ctx) {
    auto* task = NewObject<RecordingTask>(ctx, ctx, &scheduler, &log, false);
    scheduler.PostTask(task);
    task->done.Wait();
    failed = task->failed;
    task->Release();
    auto* failing = NewObject<RecordingTask>(ctx, ctx, &scheduler, &log, true);
    scheduler.PostTask(failing);
    failing->done.Wait();
    failedSecond = failing->failed && failing->error.IsRuntime(kMalformed);
    failing->Release();
    log += ",done";
  });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(log, "mainmain,done");
  EXPECT_FALSE(failed);
  EXPECT_TRUE(failedSecond);
}

// A holder whose release must happen on the main thread: its cleanup posts
// a task and waits for it, as releases of host objects do.
struct MainReleasedHolder {
  CleanupNode node;
  LibraryContext* context;
  Scheduler* scheduler;
  std::string* log;

  MainReleasedHolder(LibraryContext* ctx, Scheduler* owner, std::string* target)
      : context(ctx), scheduler(owner), log(target) {
    node.Register(ctx, &MainReleasedHolder::Cleanup);
  }
  ~MainReleasedHolder() { node.Unlink(); }
  static void Cleanup(CleanupNode* raw) {
    auto* self = reinterpret_cast<MainReleasedHolder*>(raw);
    raw->Unlink();
    auto* task = NewObject<RecordingTask>(self->context, self->context, self->scheduler,
                                          self->log, false);
    self->scheduler->PostTask(task);
    task->done.Wait();
    task->Release();
    *self->log += ",released";
  }
};

TEST_F(SchedulerTest, AKilledThreadThatWaitsOnTheMainThreadWhileUnwindingStillEnds) {
  std::string log;
  Event never(&context);
  ClosureThread* victim = Start([&](LibraryContext* ctx) {
    MainReleasedHolder holder(ctx, &scheduler, &log);
    never.Wait();
  });
  scheduler.RunUntil([] { return false; });
  scheduler.Kill(victim);
  EXPECT_EQ(log, "main,released");
  EXPECT_TRUE(victim->IsIdle());
  handles.clear();
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), kStackSlots);
}

// A holder whose cleanup blocks on an event: its thread, once killed, stops
// half-way through its unwinding.
struct BlockingCleanup {
  CleanupNode node;
  Event* event;
  static void Cleanup(CleanupNode* raw) {
    raw->Unlink();
    reinterpret_cast<BlockingCleanup*>(raw)->event->Wait();
  }
};

TEST_F(SchedulerTest, AThreadDestroyedHalfWayThroughItsUnwindingKeepsItsStackOutOfThePool) {
  Event never(&context);
  Event stuck(&context);
  auto handle = std::make_unique<ThreadHandle>(
      &context, NewObject<ClosureThread>(&context, &context, [&](LibraryContext* ctx) {
        BlockingCleanup holder{{}, &stuck};
        holder.node.Register(ctx, &BlockingCleanup::Cleanup);
        never.Wait();
      }));
  scheduler.StartThread(handle->Get());
  Start([&](LibraryContext*) { scheduler.Kill(handle->Get()); });
  scheduler.RunUntil([] { return false; });
  EXPECT_EQ(stuck.waiters, handle->Get());  // blocked in its own cleanup
  EXPECT_TRUE(Caught([&] { scheduler.StartThread(handle->Get()); }).IsRuntime(kMalformed));

  handle.reset();
  EXPECT_EQ(stuck.waiters, nullptr);
  // The killer's stack is still held by its handle; the victim's is kept.
  EXPECT_EQ(scheduler.stackPool.FreeSlots(), kStackSlots - 2);
}

TEST_F(SchedulerTest, DestroyingTheSchedulerUnwindsEveryLiveThread) {
  std::string cleanups;
  auto ownContext = std::make_unique<LibraryContext>();
  auto own = std::make_unique<Scheduler>(ownContext.get());
  ownContext->threadingEnabled = true;
  Event never(ownContext.get());
  auto* waiting = NewObject<ClosureThread>(ownContext.get(), ownContext.get(),
                                           [&](LibraryContext*) {
                                             LoggedCleanup held(&cleanups, 'w');
                                             never.Wait();
                                           });
  auto* running = NewObject<ClosureThread>(ownContext.get(), ownContext.get(),
                                           [&](LibraryContext* ctx) {
                                             LoggedCleanup held(&cleanups, 'r');
                                             for (;;) YieldThread(ctx);
                                           });
  // A third is left blocked in its own cleanup by a kill from a thread.
  Event stuck(ownContext.get());
  auto* blocked = NewObject<ClosureThread>(ownContext.get(), ownContext.get(),
                                           [&](LibraryContext* ctx) {
                                             BlockingCleanup holder{{}, &stuck};
                                             holder.node.Register(ctx, &BlockingCleanup::Cleanup);
                                             never.Wait();
                                           });
  auto* killer = NewObject<ClosureThread>(ownContext.get(), ownContext.get(),
                                          [&](LibraryContext*) { own->Kill(blocked); });
  own->StartThread(blocked);
  own->RunUntil([] { return false; });
  own->StartThread(killer);
  own->RunUntil([] { return false; });
  ASSERT_EQ(stuck.waiters, blocked);
  own->StartThread(waiting);
  own->StartThread(running);
  own->RunUntil([] { return true; });
  own->ThreadSwitch(nullptr);
  own.reset();
  EXPECT_EQ(stuck.waiters, nullptr);
  stuck.Set();  // finds nobody to wake
  EXPECT_EQ(cleanups.size(), 2u);
  EXPECT_NE(cleanups.find('w'), std::string::npos);
  EXPECT_NE(cleanups.find('r'), std::string::npos);
  EXPECT_FALSE(waiting->live);
  EXPECT_FALSE(running->live);
  // Detached thread objects can still be destroyed afterwards.
  DestroyAndFree(ownContext.get(), static_cast<CoThread*>(waiting));
  DestroyAndFree(ownContext.get(), static_cast<CoThread*>(running));
  DestroyAndFree(ownContext.get(), static_cast<CoThread*>(blocked));
  DestroyAndFree(ownContext.get(), static_cast<CoThread*>(killer));
  SetDefaultContext(&context);
}

}  // namespace
}  // namespace runtime
