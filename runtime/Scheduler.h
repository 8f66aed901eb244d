#pragma once
// The scheduler of cooperative threads. The system runs on one operating-
// system thread; long jobs run in CoThreads, each on a stack of its own,
// and give way only where they choose to: when their work budget is spent
// (YieldThread), when they block on an Event, Semaphore or MessageQueue, and
// when they start, kill or end a thread. The viewer drives the threads from
// its work timer with the run loops below, bounded in time, so the interface
// stays responsive while a page renders in slices.
//
// Rings: every thread is in at most one circular ring: the run ring (whose
// head word is `current`, the running thread), the idle ring (threads that
// ended or were killed) or the wait ring of an event, semaphore or queue.
//
//   runtime::Scheduler scheduler(&context);       // one per library context
//   context.threadingEnabled = true;
//   runtime::ThreadHandle job(&context, runtime::NewObject<MyJob>(&context, ...));
//   scheduler.StartThread(job.Get());             // MyJob derives from CoThread
//   runtime::Scheduler::RunForMilliseconds(&context, 20);
#include <cstdint>
#include <type_traits>
#include <utility>

#include "runtime/Deadline.h"
#include "runtime/ErrorRecord.h"
#include "runtime/ErrorTrap.h"
#include "runtime/FixedBlockPool.h"
#include "runtime/LibraryContext.h"
#include "runtime/ThreadState.h"

namespace runtime {

class CoThread;
class Task;

// Logical bytes of stack below which CheckStackSpace raises (runtime, 4),
// and below which StackNearlyExhausted answers true. Both scale with the
// physical stack behind each logical byte.
inline constexpr uint32_t kLowStackBytes = 4096;
inline constexpr uint32_t kNearlyExhaustedStackBytes = 9216;

using DeferredFunction = void (*)(void* argument);

class Scheduler {
 public:
  // Installs itself as `context`'s scheduler.
  explicit Scheduler(LibraryContext* context);
  // Kills every live thread (so that their stacks unwind), then detaches
  // the remaining thread objects, which stay valid but inert.
  ~Scheduler();
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  bool OnMainThread() const { return current == &mainThread; }

  // Switches to `target` (null: the next thread of the run ring). Returns
  // when this thread's turn comes again; raises (runtime, 3, flag 1) if it
  // was killed meanwhile.
  void ThreadSwitch(ThreadState* target);
  // Starts `job` (a CoThread with a stack of its own that is not running).
  // The job runs at once to its first turn and hands control straight back;
  // it then waits for its turn in the run ring.
  void StartThread(CoThread* job);
  // Blocks the running thread in `waitRing` until another thread wakes it.
  // The main thread cannot block: it raises (runtime, 2) instead.
  void WaitOn(ThreadState** waitRing);
  // Makes a waiting thread runnable, just before the running one.
  void Wake(ThreadState* thread);
  // Unwinds `thread` (it raises (runtime, 3, flag 1) where it stopped,
  // releases what it registered and ends) and leaves it in the idle ring.
  // Returns 1. A thread cannot kill itself or the main thread: (runtime, 2).
  // A victim that blocks while it unwinds is driven on when the killer is
  // the main thread (which runs the tasks it waits for); otherwise it ends
  // once it is woken.
  int Kill(ThreadState* thread);
  // Kills every live thread but the running one.
  void KillAll();

  // Queues a task for the main thread (newest first); the queue holds a
  // reference until the task ran.
  void PostTask(Task* task);
  // Runs the queued tasks on the main thread and sets their events.
  void RunPendingTasks();

  // The run loops. Each runs passes over the run ring (every runnable
  // thread runs until it yields or blocks, then control comes back here)
  // until only the main thread is runnable or its stop test holds before
  // a pass. They do nothing off the main thread or inside a deferred call,
  // and they swallow errors raised in a pass, which end the loop.
  void RunUntilDeadline(const Deadline& deadline);
  void RunUntilInputOrDeadline(const InputStop& stop);
  template <class StopTest>
  void RunUntil(StopTest&& stop);
  static void RunForMilliseconds(LibraryContext* context, uint32_t milliseconds);
  // RunUntilInputOrDeadline with the context's host and a deadline of
  // `milliseconds` from now.
  static void RunUntilInputOrMilliseconds(LibraryContext* context, uint32_t milliseconds);

  // Used by the thread objects that take stacks from this pool.
  void Remember(ThreadState* thread);
  void Forget(ThreadState* thread);

  // The context's own thread, on the process stack.
  ThreadState mainThread;
  // The running thread; also the head word of the run ring.
  ThreadState* current = nullptr;
  // Head word of the ring of threads that ended or were killed.
  ThreadState* idle = nullptr;
  // The thread to switch back to after a deferred call.
  ThreadState* returnTo = nullptr;
  // False while a deferred call runs on the main stack.
  bool deferredDone = true;
  DeferredFunction deferredCall = nullptr;
  void* deferredArg = nullptr;
  // Queue of tasks for the main thread, first to run first.
  Task* tasks = nullptr;
  LibraryContext* context;
  FixedBlockPool stackPool;

 private:
  friend struct SchedulerAccess;

  using StopFunction = bool (*)(void* state);
  void RunLoop(StopFunction stop, void* state);
  // Switches from `from` (the running thread) to `to`, which the caller has
  // already made current, and handles what `from` finds when it resumes.
  void SwitchAndResume(ThreadState* from, ThreadState* to);
  void SwitchTo(ThreadState* from, ThreadState* to);
  ThreadState* RunDeferredCall();
  // On the new thread: hands control back to the starter once, then runs
  // the job.
  void RunFirstTurn(ThreadState* thread);
  [[noreturn]] void ThreadExit(ThreadState* thread);
  // True when a thread other than the running one, the main one and
  // `except` is runnable.
  bool HasOtherThread(const ThreadState* except) const;
  void NotifyWorkAvailable();
  void NotifyWorkStopped();
  static void ThreadEntry(void* thread) noexcept;

  // The error state of whatever ran on the process stack when it last
  // switched away; restored when the main thread resumes.
  ThreadState* mainErrorState_ = nullptr;
  // Every thread object made with this scheduler.
  ThreadState* known_ = nullptr;
};

template <class StopTest>
void Scheduler::RunUntil(StopTest&& stop) {
  using Test = std::remove_reference_t<StopTest>;
  RunLoop([](void* state) { return static_cast<bool>((*static_cast<Test*>(state))()); },
          &stop);
}

// Gives way to the next runnable thread when threading is enabled and the
// running thread may yield, and resets the work budget. Otherwise does
// nothing, and leaves the budget as it is.
void YieldThread(LibraryContext* context);

// What a unit of work costs against the budget of kWorkBudget units.
inline constexpr int32_t kWorkCostLight = 100;     // a step inside a text object or nested span
inline constexpr int32_t kWorkCostStep = 500;      // a top-level content operation
inline constexpr int32_t kWorkCostHeavy = 10000;   // a painting operation

// Spends `units` of the work budget and yields when it is used up.
void ChargeWork(LibraryContext* context, int32_t units);

// Raises (runtime, 4) on a cooperative thread with fewer than
// kLowStackBytes (scaled) of stack left. Recursive routines call it on
// entry; it does nothing on the main thread.
void CheckStackSpace(Scheduler* scheduler);
// True on a cooperative thread with fewer than kNearlyExhaustedStackBytes
// (scaled) of stack left; false on the main thread.
bool StackNearlyExhausted(LibraryContext* context);

// Runs function(argument) on the main thread's stack: at once on the main
// thread; from a cooperative thread, by switching to the main thread, which
// runs it and switches back. An error the function raises is carried back
// and raised again on the calling thread.
void CallOnThreadStack(Scheduler* scheduler, LibraryContext* context,
                       DeferredFunction function, void* argument);

// CallOnThreadStack for a closure.
template <class Body>
void RunOnMainStack(LibraryContext* context, Body&& body) {
  using Closure = std::remove_reference_t<Body>;
  CallOnThreadStack(context != nullptr ? context->scheduler : nullptr, context,
                    [](void* closure) { (*static_cast<Closure*>(closure))(); }, &body);
}

// Runs the scheduler until `*awaited` is set or `milliseconds` have passed,
// and returns it; when it is still null, raises ("PDFViewer", 2, flag 1).
template <class T>
T* RunUntilReady(LibraryContext* context, T* const* awaited, uint32_t milliseconds) {
  const Deadline deadline(context, milliseconds);
  if (*awaited == nullptr && context->scheduler != nullptr) {
    context->scheduler->RunUntil([&] { return *awaited != nullptr || deadline.Passed(); });
  }
  if (*awaited == nullptr) ThrowError(context, ErrorRecord{kViewerDomain, 2, 1});
  return *awaited;
}

}  // namespace runtime
