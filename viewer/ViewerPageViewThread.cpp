// Requests handed to the page view's thread. The request's closure lives
// on the caller's stack, so the caller waits until the thread has run it
// (or has let it go unrun) however long that takes.
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/PageView.h"
#include "viewer/Viewer.h"

namespace viewer {

namespace {

// The request, then the layout that follows from what it changed.
struct PostedRequest {
  void (*call)(void*);
  void* closure;
  PageView* view;
  void operator()() const {
    call(closure);
    view->RefreshLayout();
  }
};

}  // namespace

bool Viewer::RunOnPageViewThread(void (*call)(void*), void* closure) {
  PageView* view = ownedPageView;
  runtime::Scheduler* scheduler = context->scheduler;
  if (view == nullptr || pageView != view || scheduler == nullptr || !scheduler->OnMainThread()) return false;
  PageViewTaskThread* thread = view->TaskThread();
  if (thread == nullptr) return false;
  ViewTaskOutcome outcome;
  auto* task = runtime::NewObject<ClosureViewTask<PostedRequest>>(context, PostedRequest{call, closure, view}, &outcome);
  thread->Post(task);
  auto over = [&] { return outcome.finished; };
  scheduler->RunUntil(over);
  if (!over()) {
    // Nothing else can run and the request is not over: take it back when
    // it has not started, else end the thread, which unwinds the request.
    if (ownedPageView == view && view->TaskThread() == thread && thread->Withdraw(task)) {
      runtime::DestroyAndFree(context, task);
    } else if (ownedPageView == view) {
      view->StopTaskThread();
    }
  }
  if (outcome.failed && !outcome.error.IsRuntime(runtime::kCancelled)) runtime::ThrowError(context, outcome.error);
  return outcome.ran;
}

}  // namespace viewer
