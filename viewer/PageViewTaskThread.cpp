#include "viewer/PageViewTaskThread.h"

#include "runtime/ArenaScope.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace viewer {

namespace {

// Small arena blocks: the thread's passes need little scratch memory.
constexpr uint32_t kTaskArenaBlockBytes = 1024;
constexpr uint32_t kTaskArenaThreshold = 256;
constexpr uint32_t kTaskStackBytes = 16384;

}  // namespace

class PageViewTaskThread::Thread final : public runtime::CoThread {
 public:
  Thread(runtime::LibraryContext* context, PageViewTaskThread* owner)
      : CoThread(context, kTaskArenaBlockBytes, kTaskArenaThreshold, kTaskStackBytes), owner_(owner) {}
  void Run(runtime::LibraryContext* /*context*/) override { owner_->RunLoop(); }

 private:
  PageViewTaskThread* owner_;
};

PageViewTaskThread::PageViewTaskThread(runtime::LibraryContext* context, PageViewDeferredWork& work)
    : context_(context), work_(work), wake_(context) {}

PageViewTaskThread::~PageViewTaskThread() {
  // The thread unwinds first: its running task is freed on the way out.
  if (thread_ != nullptr) runtime::DestroyAndFree(context_, thread_);
  thread_ = nullptr;
  while (ViewTask* task = head_) {
    head_ = task->next;
    FreeTask(task);
  }
  tail_ = nullptr;
}

bool PageViewTaskThread::Start() {
  if (thread_ != nullptr) return Alive();
  if (context_ == nullptr || context_->scheduler == nullptr || !context_->threadingEnabled) return false;
  thread_ = runtime::NewObject<Thread>(context_, context_, this);
  context_->scheduler->StartThread(thread_);
  return true;
}

bool PageViewTaskThread::Alive() const { return thread_ != nullptr && thread_->live && !ended_; }

void PageViewTaskThread::Post(ViewTask* task) {
  if (task == nullptr) return;
  if (!Alive()) {
    FreeTask(task);
    return;
  }
  task->next = nullptr;
  if (tail_ != nullptr) {
    tail_->next = task;
  } else {
    head_ = task;
  }
  tail_ = task;
  wake_.Set();
}

bool PageViewTaskThread::Withdraw(ViewTask* task) {
  ViewTask* before = nullptr;
  for (ViewTask* t = head_; t != nullptr; before = t, t = t->next) {
    if (t != task) continue;
    (before != nullptr ? before->next : head_) = t->next;
    if (tail_ == t) tail_ = before;
    t->next = nullptr;
    return true;
  }
  return false;
}

void PageViewTaskThread::Wake() {
  wakeRequested_ = true;
  wake_.Set();
}

bool PageViewTaskThread::HasPendingWork() const {
  return Alive() && (wakeRequested_ || head_ != nullptr || running_ != nullptr);
}

void PageViewTaskThread::FreeTask(ViewTask* task) { runtime::DestroyAndFree(context_, task); }

template <class Body>
bool PageViewTaskThread::Guarded(Body&& body) {
  runtime::ErrorTrap trap(context_);
  if (trap.Run([&] {
        runtime::ArenaScope scope(thread_->scratch);
        body();
      })) {
    return true;
  }
  trap.SetHandled();
  const bool cancelled = trap.Held().IsRuntime(runtime::kCancelled);
  if (running_ != nullptr) {
    running_->MarkFailed(trap.Held());
    FreeTask(std::exchange(running_, nullptr));
  }
  if (cancelled) {
    ended_ = true;
    trap.Rethrow();
  }
  // Any other failure ends this pass only.
  wakeRequested_ = false;
  trap.Close();
  return true;
}

void PageViewTaskThread::RunLoop() {
  for (;;) {
    // Wait for a wake-up, apply what was left for the thread, and go on
    // waiting until a task is posted.
    do {
      Guarded([&] {
        wake_.Wait();
        work_.RunDeferredUpdates();
        wakeRequested_ = false;
      });
    } while (head_ == nullptr);
    // Then the tasks, in the order they were posted.
    while (ViewTask* task = head_) {
      head_ = task->next;
      if (head_ == nullptr) tail_ = nullptr;
      task->next = nullptr;
      running_ = task;
      Guarded([&] {
        task->MarkRan();
        task->Run();
        FreeTask(std::exchange(running_, nullptr));
      });
    }
  }
}

}  // namespace viewer
