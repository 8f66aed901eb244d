#include "viewer/RenderThreadPool.h"

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "viewer/RenderRegion.h"

namespace viewer {

RenderThread::RenderThread(runtime::LibraryContext* context, RenderRegion* region)
    : runtime::CoThread(context, runtime::kJobArenaBlockBytes, runtime::kJobArenaThreshold, kRenderThreadStack),
      region_(region) {}

void RenderThread::Run(runtime::LibraryContext* context) {
  RenderThreadPool& pool = region_->pool_;
  for (;;) {
    RenderRequest* request = region_->TakeNextPending();
    if (request == nullptr) {
      if (!pool.MayContinue()) return;
      // Nothing to draw: sleep until the requests are rebuilt.
      pool.WorkEvent().Reset();
      pool.WorkEvent().Wait();
      continue;
    }
    // One failing page does not stop the others; a cancellation ends the
    // thread.
    runtime::CatchAllExceptCancel(context, [&] { region_->ProcessRequest(request); });
    if (!pool.MayContinue()) return;
  }
}

RenderThreadPool::RenderThreadPool(runtime::LibraryContext* context)
    : context_(context), event_(context, true, false) {}

RenderThreadPool::~RenderThreadPool() { Stop(); }

void RenderThreadPool::Stop() {
  target_ = 0;
  for (uint32_t i = 0; i < kMaxRenderThreads; ++i) {
    runtime::ThreadHandle* handle = threads_[i];
    threads_[i] = nullptr;
    if (handle != nullptr) runtime::DestroyAndFree(context_, handle);
  }
}

void RenderThreadPool::Prune() {
  for (runtime::ThreadHandle*& handle : threads_) {
    if (handle == nullptr) continue;
    runtime::CoThread* thread = handle->Get();
    if (thread == nullptr || !thread->live) {
      runtime::DestroyAndFree(context_, handle);
      handle = nullptr;
    }
  }
}

uint32_t RenderThreadPool::LiveCount() const {
  uint32_t live = 0;
  for (runtime::ThreadHandle* handle : threads_) {
    if (handle != nullptr && handle->Get() != nullptr && handle->Get()->live) ++live;
  }
  return live;
}

bool RenderThreadPool::MayContinue() { return LiveCount() <= target_; }

void RenderThreadPool::SetTarget(RenderRegion* region, uint32_t target) {
  target_ = target < kMaxRenderThreads ? target : kMaxRenderThreads;
  // Ending threads are freed only from another thread: a thread cannot
  // free its own stack.
  if (context_->scheduler != nullptr && context_->scheduler->OnMainThread()) Prune();
  for (runtime::ThreadHandle*& handle : threads_) {
    if (LiveCount() >= target_) break;
    if (handle != nullptr) continue;
    // The pool owns its threads: an error unwinding the code that made
    // one must not end it.
    handle = runtime::NewObject<runtime::ThreadHandle>(context_, context_, nullptr);
    handle->node.Unlink();
    auto* thread = runtime::NewObject<RenderThread>(context_, context_, region);
    thread->node.node.Unlink();
    handle->Reset(thread);
    context_->scheduler->StartThread(thread);
  }
  event_.Set();
}

}  // namespace viewer
