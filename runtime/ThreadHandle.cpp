#include "runtime/ThreadHandle.h"

#include "runtime/CoThread.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace runtime {
namespace {

void DestroyHandle(CleanupNode* node) { reinterpret_cast<ThreadHandle*>(node)->Destroy(); }

}  // namespace

ThreadHandle::ThreadHandle(LibraryContext* owner, CoThread* held) : thread(held), context(owner) {
  node.Register(owner, &DestroyHandle);
}

void ThreadHandle::DestroyThread() {
  CoThread* held = thread;
  thread = nullptr;
  if (held == nullptr) return;
  if (held->live && held->scheduler != nullptr) held->scheduler->Kill(held);
  DestroyAndFree(context, held);
}

void ThreadHandle::Destroy() {
  DestroyThread();
  node.Unlink();
}

void ThreadHandle::MoveAssign(ThreadHandle& from) {
  if (&from == this) return;
  CoThread* taken = from.thread;
  from.thread = nullptr;
  Reset(taken);
}

void ThreadHandle::Reset(CoThread* other) {
  if (other == thread) return;
  DestroyThread();
  thread = other;
}

}  // namespace runtime
