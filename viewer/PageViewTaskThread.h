#pragma once
// The page view's own cooperative thread. Requests for the page view are
// posted to it as tasks and run there one after another; between tasks it
// applies the updates that were left for it (a pen move, a new window size,
// a busy value, new render requests), which arrive with a wake-up rather
// than as tasks. A task that fails is dropped and the next one still runs;
// only a cancellation ends the thread.
#include <cstdint>

#include "runtime/CoThread.h"
#include "runtime/Event.h"
#include "runtime/LibraryContext.h"
#include "viewer/ViewTask.h"

namespace viewer {

// What the thread does between tasks.
class PageViewDeferredWork {
 public:
  virtual void RunDeferredUpdates() = 0;

 protected:
  ~PageViewDeferredWork() = default;
};

class PageViewTaskThread {
 public:
  PageViewTaskThread(runtime::LibraryContext* context, PageViewDeferredWork& work);
  // Ends the thread (its stack unwinds) and frees the tasks it never ran.
  ~PageViewTaskThread();
  PageViewTaskThread(const PageViewTaskThread&) = delete;
  PageViewTaskThread& operator=(const PageViewTaskThread&) = delete;

  // Makes and starts the thread. False, and nothing started, when the
  // context runs no cooperative threads; a full stack pool raises.
  bool Start();
  // The thread runs (not yet ended by a cancellation or never started).
  bool Alive() const;

  // Appends `task` (now the thread's) and wakes the thread. Without a live
  // thread the task is freed unrun.
  void Post(ViewTask* task);
  // Takes back a task that has not started; false when it is not waiting.
  bool Withdraw(ViewTask* task);
  // Asks for a pass of the deferred updates.
  void Wake();

  // A wake-up, a posted task or a running one, while the thread lives.
  bool HasPendingWork() const;
  bool WakeRequested() const { return wakeRequested_; }
  const ViewTask* Running() const { return running_; }

 private:
  class Thread;
  void RunLoop();
  // One guarded pass; false when a cancellation ends the thread.
  template <class Body>
  bool Guarded(Body&& body);
  void FreeTask(ViewTask* task);

  runtime::LibraryContext* context_;
  PageViewDeferredWork& work_;
  runtime::Event wake_;
  Thread* thread_ = nullptr;
  ViewTask* head_ = nullptr;
  ViewTask* tail_ = nullptr;
  ViewTask* running_ = nullptr;
  bool wakeRequested_ = false;
  bool ended_ = false;
};

}  // namespace viewer
