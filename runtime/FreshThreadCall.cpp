#include "runtime/FreshThreadCall.h"

#include "runtime/CoThread.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Event.h"
#include "runtime/ThreadHandle.h"
#include "runtime/TransientBlocks.h"

namespace runtime {

namespace {

class FreshCallThread final : public CoThread {
 public:
  FreshCallThread(LibraryContext* context, FreshThreadBody body, void* closure)
      : CoThread(context, kJobArenaBlockBytes, kJobArenaThreshold, kJobStackBytes),
        done(context),
        body_(body),
        closure_(closure) {}

  void Run(LibraryContext* context) override {
    // A kill ends up here too: the waiter, if it still waits, raises the
    // cancellation.
    ErrorTrap trap(context);
    if (!trap.Run([&] { body_(closure_); })) {
      trap.SetHandled();
      failed = true;
      if (trap.HoldsRecord()) error = trap.Held();
      trap.Close();
    }
    finished = true;
    done.Set();
  }

  Event done;
  bool finished = false;
  bool failed = false;
  // What the waiter raises when the error held is not a record.
  ErrorRecord error{kRuntimeDomain, kOverflow, 0};

 private:
  FreshThreadBody body_;
  void* closure_;
};

}  // namespace

bool RunOnFreshThread(LibraryContext* context, FreshThreadBody body, void* closure) {
  Scheduler* scheduler = context != nullptr ? context->scheduler : nullptr;
  if (scheduler == nullptr || scheduler->stackPool.FreeSlots() == 0) return false;
  // The handle kills the thread before this frame goes, however it goes: a
  // waiter that is killed must not leave the thread working on objects
  // that are about to be freed.
  ThreadHandle thread(context, NewObject<FreshCallThread>(context, context, body, closure));
  auto* job = static_cast<FreshCallThread*>(thread.Get());
  scheduler->StartThread(job);
  while (!job->finished) job->done.Wait();
  if (job->failed) {
    const ErrorRecord error = job->error;
    ThrowError(context, error);
  }
  return true;
}

}  // namespace runtime
