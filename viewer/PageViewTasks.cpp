// The page view's side of its thread: starting and ending it, and the
// updates that are left for it between tasks.
#include <utility>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/PageView.h"
#include "viewer/PageViewBusy.h"
#include "viewer/PenTarget.h"

namespace viewer {

PageView::~PageView() { StopTaskThread(); }

void PageView::StopTaskThread() {
  if (taskThread_ != nullptr) runtime::DestroyAndFree(context_, std::exchange(taskThread_, nullptr));
}

void PageView::StartTaskThread() {
  if (taskThread_ != nullptr) return;
  PageViewTaskThread* thread = runtime::NewObject<PageViewTaskThread>(context_, context_, static_cast<PageViewDeferredWork&>(*this));
  bool started = false;
  // Without a stack the requests simply run in place.
  runtime::CatchAllExceptCancel(context_, [&] { started = thread->Start(); });
  if (!started) {
    runtime::DestroyAndFree(context_, thread);
    return;
  }
  taskThread_ = thread;
}

PageViewTaskThread* PageView::TaskThread() {
  return taskThread_ != nullptr && taskThread_->Alive() ? taskThread_ : nullptr;
}

namespace {

// Whether work for the page view is to be left for its thread: it runs,
// and the caller is not that thread.
bool LeaveForThread(runtime::LibraryContext* context, PageViewTaskThread* thread) {
  return thread != nullptr && thread->Alive() && context->scheduler != nullptr &&
         (thread->Running() == nullptr || context->scheduler->OnMainThread());
}

}  // namespace

void PageView::RequestViewSize(int32_t width, int32_t height) {
  if (!LeaveForThread(context_, TaskThread())) {
    SetViewSize(width, height);
    return;
  }
  pendingSize_ = {true, width, height};
  taskThread_->Wake();
}

void PageView::RequestPenMove(PenTarget* target, int64_t x, int64_t y) {
  if (target == nullptr) return;
  if (!LeaveForThread(context_, TaskThread())) {
    target->PenMoveTo(x, y);
    return;
  }
  pendingMove_ = {true, target, x, y};
  taskThread_->Wake();
}

void PageView::SetTaskState(bool deferred, uint32_t value) {
  if (busy_ == nullptr) return;
  if (busy_->Set(deferred, value) && taskThread_ != nullptr) taskThread_->Wake();
}

void PageView::RunDeferredUpdates() {
  if (pendingMove_.present) {
    const PendingMove move = pendingMove_;
    pendingMove_ = {};
    move.target->PenMoveTo(move.x, move.y);
  }
  if (pendingSize_.present) {
    const PendingSize size = pendingSize_;
    pendingSize_ = {};
    SetViewSize(size.width, size.height);
  }
  if (busy_ != nullptr) busy_->ApplyPending();
  // The layout follows every change above; a new layout brings new render
  // requests with it.
  RefreshLayout();
}

}  // namespace viewer
