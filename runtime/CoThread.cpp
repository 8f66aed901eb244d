#include "runtime/CoThread.h"

#include <cstdio>

#include "platform/Process.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace runtime {
namespace {

void ReleaseThread(CleanupNode* node) {
  reinterpret_cast<CoThread::OwnerNode*>(node)->owner->Release();
}

}  // namespace

CoThread::CoThread(LibraryContext* owner, uint32_t arenaBlockSize, uint32_t arenaThreshold,
                   uint32_t stackBytes)
    : scratch(owner, arenaBlockSize, arenaThreshold) {
  context = owner;
  scheduler = owner != nullptr ? owner->scheduler : nullptr;
  requestedStackSize = stackBytes;
  if (stackBytes != 0) {
    // Without a scheduler there is no pool to take a stack from.
    if (scheduler == nullptr) ThrowError(owner, ErrorRecord{kRuntimeDomain, kBeyondLimit, 0});
    stackSlot = scheduler->stackPool.Take(owner, stackBytes);
    stackLimit = reinterpret_cast<uintptr_t>(stackSlot->base);
    stackSize = stackSlot->size;
  }
  if (scheduler != nullptr) scheduler->Remember(this);
  node.owner = this;
  node.node.Register(owner, &ReleaseThread);
}

CoThread::~CoThread() { Release(); }

void CoThread::Release() {
  if (released_) return;
  if (scheduler != nullptr && live) {
    if (scheduler->current == this) {
      // Its own frames are on the stack that would be handed back.
      std::fputs("fatal: a cooperative thread destroyed itself while running\n", stderr);
      platform::ExitProcess(-1);
    }
    scheduler->Kill(this);
  }
  released_ = true;
  scratch.Destroy();
  // A killed thread still blocked half-way through its unwinding keeps
  // frames on its stack: the stack stays out of the pool rather than be
  // handed to another thread under them.
  const bool unwinding =
      scheduler != nullptr && killStarted && ringHead != nullptr && ringHead != &scheduler->idle;
  LeaveRing();
  if (scheduler != nullptr) {
    if (stackSlot != nullptr && !unwinding) scheduler->stackPool.Give(stackSlot);
    scheduler->Forget(this);
  }
  stackSlot = nullptr;
  node.node.Unlink();
}

bool CoThread::IsIdle() const { return scheduler != nullptr && ringHead == &scheduler->idle; }

}  // namespace runtime
