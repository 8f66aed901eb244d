#include "runtime/Scheduler.h"

#include <limits>

#include "runtime/CoThread.h"
#include "runtime/Task.h"
#include "runtime/TransientBlocks.h"
#include "runtime/ViewerHooks.h"

namespace runtime {
namespace {

[[noreturn]] void ThrowCancelled(LibraryContext* context) {
  ThrowError(context, ErrorRecord{kRuntimeDomain, kCancelled, 1});
}

// Misuse of the scheduler that would corrupt the rings if carried out.
[[noreturn]] void ThrowWrongState(LibraryContext* context) {
  ThrowError(context, ErrorRecord{kRuntimeDomain, kMalformed, 0});
}

// Sets deferredDone again when an error passes a deferred call.
struct DeferredGuard {
  CleanupNode node;
  Scheduler* scheduler;

  static void Restore(CleanupNode* node) {
    reinterpret_cast<DeferredGuard*>(node)->scheduler->deferredDone = true;
    node->Unlink();
  }
};

// A call made on the main stack for a cooperative thread, and its outcome.
// It lives in the context's memory, counted by its two users: the calling
// thread may be killed while the main stack still runs the call (a modal
// dialog that kills the job which asked for it), and the main stack then
// writes the outcome into this record, never into the dead caller's frame.
struct DeferredRecord {
  DeferredRecord(LibraryContext* owner, DeferredFunction call, void* closure)
      : context(owner), function(call), argument(closure) {}
  LibraryContext* context;
  DeferredFunction function;
  void* argument;
  bool failed = false;
  // What the caller raises when the error held is not a record.
  ErrorRecord error{kRuntimeDomain, kOverflow, 0};
  // The caller's reference and the main stack's.
  uint32_t references = 2;

  static void Release(DeferredRecord* record) {
    if (--record->references == 0) DestroyAndFree(record->context, record);
  }
};

// The calling thread's reference to its deferred record, given up however
// the caller ends.
struct DeferredHolder {
  CleanupNode node;  // first: the cleanup finds the holder from it
  DeferredRecord* record;

  DeferredHolder(LibraryContext* context, DeferredRecord* held) : record(held) {
    node.Register(context, &Cleanup);
  }
  ~DeferredHolder() { Cleanup(&node); }
  static void Cleanup(CleanupNode* raw) {
    auto* self = reinterpret_cast<DeferredHolder*>(raw);
    if (self->record != nullptr) DeferredRecord::Release(self->record);
    self->record = nullptr;
    raw->Unlink();
  }
};

void RunDeferredRecord(void* argument) {
  DeferredRecord* record = static_cast<DeferredRecord*>(argument);
  ErrorTrap trap(record->context);
  if (!trap.Run([&] { record->function(record->argument); })) {
    trap.SetHandled();
    record->failed = true;
    if (trap.HoldsRecord()) record->error = trap.Held();
    trap.Close();
  }
  DeferredRecord::Release(record);
}

bool StackBelow(Scheduler* scheduler, uint32_t logicalBytes) {
  if (scheduler == nullptr) return false;
  const ThreadState* thread = scheduler->current;
  if (thread == &scheduler->mainThread || thread->stackLimit == 0) return false;
  const uintptr_t here = platform::CurrentStackAddress();
  const uintptr_t needed = static_cast<uintptr_t>(logicalBytes) * kStackScale;
  return here <= thread->stackLimit || here - thread->stackLimit < needed;
}

}  // namespace

Scheduler::Scheduler(LibraryContext* owner) : context(owner) {
  mainThread.context = owner;
  mainThread.scheduler = this;
  mainThread.live = true;
  // Work on the main stack runs to its end: a UI handler that charges work
  // must not find itself running the background jobs in the middle.
  mainThread.mayYield = false;
  mainThread.MoveToRing(&current);
  if (owner != nullptr) owner->scheduler = this;
}

Scheduler::~Scheduler() {
  if (OnMainThread()) KillAll();
  while (tasks != nullptr) {
    Task* task = tasks;
    task->Unqueue();
    task->Release();
  }
  // What is left is not live; detach it so that its later destruction
  // touches neither the rings nor the pool, which go with this object.
  while (known_ != nullptr) {
    ThreadState* thread = known_;
    known_ = thread->knownNext;
    // Out of the wait ring of a thread stuck in its unwinding, too, so that
    // a later Set finds nobody to wake.
    thread->LeaveRing();
    thread->knownNext = nullptr;
    thread->knownPrev = nullptr;
    thread->stackSlot = nullptr;
    thread->scheduler = nullptr;
  }
  if (context != nullptr && context->scheduler == this) context->scheduler = nullptr;
}

void Scheduler::Remember(ThreadState* thread) {
  thread->knownPrev = nullptr;
  thread->knownNext = known_;
  if (known_ != nullptr) known_->knownPrev = thread;
  known_ = thread;
}

void Scheduler::Forget(ThreadState* thread) {
  if (thread->knownPrev != nullptr) {
    thread->knownPrev->knownNext = thread->knownNext;
  } else if (known_ == thread) {
    known_ = thread->knownNext;
  }
  if (thread->knownNext != nullptr) thread->knownNext->knownPrev = thread->knownPrev;
  thread->knownNext = nullptr;
  thread->knownPrev = nullptr;
}

void Scheduler::NotifyWorkAvailable() {
  if (context != nullptr && context->viewer != nullptr) context->viewer->StartWorkTimer();
}

void Scheduler::NotifyWorkStopped() {
  if (context != nullptr && context->viewer != nullptr) context->viewer->StopWorkTimer();
}

bool Scheduler::HasOtherThread(const ThreadState* except) const {
  for (const ThreadState* thread = current->next; thread != current; thread = thread->next) {
    if (thread != &mainThread && thread != except) return true;
  }
  return false;
}

void Scheduler::SwitchTo(ThreadState* from, ThreadState* to) {
  // Each thread has its own cleanup chain and traps; the main thread keeps
  // whichever state was current on the process stack.
  if (from == &mainThread) mainErrorState_ = &CurrentThreadState();
  SetCurrentThreadState(to == &mainThread ? mainErrorState_ : to);
  platform::SwitchFiber(&from->jumpBuffer, &to->jumpBuffer);
}

void Scheduler::SwitchAndResume(ThreadState* from, ThreadState* to) {
  for (;;) {
    SwitchTo(from, to);
    // `from` runs again: whoever switched here made it current.
    if (from->killRequested) {
      from->killRequested = false;
      ThrowCancelled(context);
    }
    if (from != &mainThread || deferredCall == nullptr) return;
    to = RunDeferredCall();
    // The caller may have ended meanwhile (killed from the call itself).
    if (to == nullptr || to == from || to->ringHead != &current) return;
    current = to;
  }
}

ThreadState* Scheduler::RunDeferredCall() {
  const DeferredFunction call = deferredCall;
  void* argument = deferredArg;
  ThreadState* back = returnTo;
  deferredCall = nullptr;
  deferredArg = nullptr;
  returnTo = nullptr;
  DeferredGuard guard{{}, this};
  guard.node.Register(context, &DeferredGuard::Restore);
  deferredDone = false;
  call(argument);
  deferredDone = true;
  guard.node.Unlink();
  return back;
}

void Scheduler::ThreadSwitch(ThreadState* target) {
  if (current->IsAlone()) return;
  ThreadState* from = current;
  if (target == nullptr) target = from->next;
  if (target == from) return;
  if (target->ringHead != &current) ThrowWrongState(context);
  current = target;
  SwitchAndResume(from, target);
}

void Scheduler::StartThread(CoThread* job) {
  if (job == nullptr || job->live || job->stackSlot == nullptr || job->scheduler != this) {
    ThrowWrongState(context);
  }
  // Not live, yet in a ring other than the idle one: killed and blocked
  // half-way through its unwinding, with frames still on its stack.
  if (job->ringHead != nullptr && job->ringHead != &idle) ThrowWrongState(context);
  if (current->IsAlone() && OnMainThread()) NotifyWorkAvailable();
  ThreadState* starter = current;
  job->starter = starter;
  job->killRequested = false;
  job->killStarted = false;
  job->cleanupHead = nullptr;
  job->currentTrap = nullptr;
  job->recordCount = 0;
  job->MoveToRing(&current);
  job->live = true;
  platform::PrepareFiber(&job->jumpBuffer, *job->stackSlot, &Scheduler::ThreadEntry,
                         static_cast<ThreadState*>(job));
  SwitchAndResume(starter, job);
}

void Scheduler::ThreadEntry(void* argument) noexcept {
  ThreadState* thread = static_cast<ThreadState*>(argument);
  Scheduler* scheduler = thread->scheduler;
  {
    // Nothing may leave the thread's first frame: every error ends the
    // thread here.
    ErrorTrap trap(thread->context);
    if (!trap.Run([&] { scheduler->RunFirstTurn(thread); })) {
      trap.SetHandled();
      trap.Close();
    }
  }
  scheduler->ThreadExit(thread);
}

void Scheduler::RunFirstTurn(ThreadState* thread) {
  // The starter goes on at once; the first real turn comes from the ring.
  if (thread->starter != nullptr && thread->starter->ringHead == &current) {
    ThreadSwitch(thread->starter);
  }
  static_cast<CoThread*>(thread)->Run(thread->context);
}

void Scheduler::ThreadExit(ThreadState* thread) {
  if (!HasOtherThread(thread)) NotifyWorkStopped();
  thread->MoveToRing(&idle);
  thread->live = false;
  ThreadState* to = current;
  SetCurrentThreadState(to == &mainThread ? mainErrorState_ : to);
  platform::ExitToFiber(&to->jumpBuffer);
}

void Scheduler::WaitOn(ThreadState** waitRing) {
  if (OnMainThread()) ThrowWrongState(context);
  ThreadState* from = current;
  if (!HasOtherThread(from)) NotifyWorkStopped();
  // Leaving the run ring advances its head, `current`, to the next thread.
  from->AppendToRing(waitRing);
  SwitchAndResume(from, current);
}

void Scheduler::Wake(ThreadState* thread) {
  if (thread == nullptr || thread->ringHead == &current) return;
  if (current->IsAlone() && OnMainThread()) NotifyWorkAvailable();
  ThreadState* running = current;
  thread->MoveToRing(&current);
  current = running;
}

int Scheduler::Kill(ThreadState* thread) {
  if (thread == nullptr) return 1;
  if (thread == &mainThread || thread == current || thread->scheduler != this) {
    ThrowWrongState(context);
  }
  if (!thread->live) return 1;
  thread->killRequested = true;
  thread->killStarted = true;
  thread->live = false;
  // It must not yield while it unwinds, or the killer would move on with
  // the victim's frames still on its stack.
  const bool mayYield = thread->mayYield;
  thread->mayYield = false;
  ThreadState* running = current;
  thread->MoveToRing(&current);
  current = thread;
  SwitchAndResume(running, thread);
  // A victim that blocked while unwinding (on work it handed to the main
  // thread, say) is driven on to its end: the main thread runs the queued
  // tasks, and the victim runs whenever it is runnable again.
  while (thread->ringHead != &idle) {
    if (thread->ringHead != &current) {
      if (!OnMainThread() || tasks == nullptr) break;
      RunPendingTasks();
      if (thread->ringHead != &current) break;
    }
    ThreadSwitch(thread);
  }
  // One still blocked stays in its wait ring and ends when it is woken.
  thread->mayYield = mayYield;
  return 1;
}

void Scheduler::KillAll() {
  if (context == nullptr) return;
  // Search again after every kill: an unwinding thread may destroy others.
  for (;;) {
    ThreadState* victim = nullptr;
    for (ThreadState* thread = known_; thread != nullptr; thread = thread->knownNext) {
      if (thread->live && thread != current && !thread->killStarted) {
        victim = thread;
        break;
      }
    }
    if (victim == nullptr) return;
    Kill(victim);
  }
}

void Scheduler::PostTask(Task* task) {
  task->Unqueue();
  task->AddRef();
  task->nextTask = tasks;
  if (tasks != nullptr) tasks->backLink = &task->nextTask;
  task->backLink = &tasks;
  tasks = task;
}

void Scheduler::RunPendingTasks() {
  while (tasks != nullptr) {
    Task* task = tasks;
    // The queue's reference passes to this loop.
    task->Unqueue();
    ErrorTrap trap(context);
    if (!trap.Run([&] { task->Run(context); })) {
      trap.SetHandled();
      task->failed = true;
      if (trap.HoldsRecord()) task->error = trap.Held();
      trap.Close();
    }
    task->done.Set();
    task->Release();
  }
}

void Scheduler::RunLoop(StopFunction stop, void* state) {
  if (!OnMainThread() || !deferredDone) return;
  ErrorTrap trap(context);
  const bool finished = trap.Run([&] {
    RunPendingTasks();
    while (!current->IsAlone()) {
      if (stop(state)) break;
      ThreadSwitch(nullptr);
      RunPendingTasks();
    }
  });
  if (!finished) {
    trap.SetHandled();
    trap.Close();
  }
}

void Scheduler::RunUntilDeadline(const Deadline& deadline) {
  RunUntil([&] { return deadline.Passed(); });
}

void Scheduler::RunUntilInputOrDeadline(const InputStop& stop) {
  RunUntil([&] { return ShouldYieldForInput(stop); });
}

void Scheduler::RunForMilliseconds(LibraryContext* context, uint32_t milliseconds) {
  if (context == nullptr || context->scheduler == nullptr) return;
  context->scheduler->RunUntilDeadline(Deadline(context, milliseconds));
}

void Scheduler::RunUntilInputOrMilliseconds(LibraryContext* context, uint32_t milliseconds) {
  if (context == nullptr || context->scheduler == nullptr) return;
  context->scheduler->RunUntilInputOrDeadline(
      InputStop{context->host, Deadline(context, milliseconds)});
}

void YieldThread(LibraryContext* context) {
  if (context == nullptr || !context->threadingEnabled) return;
  Scheduler* scheduler = context->scheduler;
  if (scheduler == nullptr || !scheduler->current->mayYield) return;
  context->workBudget = kWorkBudget;
  scheduler->ThreadSwitch(nullptr);
}

void ChargeWork(LibraryContext* context, int32_t units) {
  // Saturate: with threading off the budget is never reset.
  constexpr int32_t kFloor = std::numeric_limits<int32_t>::min();
  if (units > 0 && context->workBudget < kFloor + units) {
    context->workBudget = kFloor;
  } else {
    context->workBudget -= units;
  }
  if (context->workBudget <= 0) YieldThread(context);
}

void CheckStackSpace(Scheduler* scheduler) {
  if (StackBelow(scheduler, kLowStackBytes)) {
    ThrowError(scheduler->context, ErrorRecord{kRuntimeDomain, kStackExhausted, 0});
  }
}

bool StackNearlyExhausted(LibraryContext* context) {
  return context != nullptr && StackBelow(context->scheduler, kNearlyExhaustedStackBytes);
}

void CallOnThreadStack(Scheduler* scheduler, LibraryContext* context, DeferredFunction function,
                       void* argument) {
  if (scheduler == nullptr || scheduler->OnMainThread()) {
    function(argument);
    return;
  }
  LibraryContext* owner = context != nullptr ? context : scheduler->context;
  DeferredHolder holder(owner, NewObject<DeferredRecord>(owner, owner, function, argument));
  scheduler->returnTo = scheduler->current;
  scheduler->deferredCall = &RunDeferredRecord;
  scheduler->deferredArg = holder.record;
  scheduler->ThreadSwitch(&scheduler->mainThread);
  if (holder.record->failed) {
    const ErrorRecord error = holder.record->error;
    DeferredHolder::Cleanup(&holder.node);
    ThrowError(context, error);
  }
}

}  // namespace runtime
