#include "runtime/Semaphore.h"

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace runtime {
namespace {

// Undoes a waiter's claim when an error (a kill) takes it out of the wait.
struct ClaimGuard {
  CleanupNode node;
  Semaphore* semaphore;

  static void GiveBack(CleanupNode* node) {
    ClaimGuard* guard = reinterpret_cast<ClaimGuard*>(node);
    guard->semaphore->count += 1;
    node->Unlink();
  }
};

void ReleaseLock(CleanupNode* node) { reinterpret_cast<SemaphoreLock*>(node)->Release(); }

}  // namespace

Semaphore::Semaphore(LibraryContext* owner, int32_t initial) : count(initial), context(owner) {}

Semaphore::~Semaphore() {
  while (waiters != nullptr) waiters->LeaveRing();
}

void Semaphore::Acquire() {
  count -= 1;
  if (count >= 0) return;
  ClaimGuard guard{{}, this};
  guard.node.Register(context, &ClaimGuard::GiveBack);
  Scheduler* scheduler = context != nullptr ? context->scheduler : nullptr;
  if (scheduler == nullptr) ThrowError(context, ErrorRecord{kRuntimeDomain, kMalformed, 0});
  scheduler->WaitOn(&waiters);
  guard.node.Unlink();
}

void Semaphore::Release() {
  count += 1;
  if (waiters != nullptr) context->scheduler->Wake(waiters);
}

SemaphoreLock::SemaphoreLock(LibraryContext* context, Semaphore* held) {
  held->Acquire();
  semaphore = held;
  node.Register(context, &ReleaseLock);
}

void SemaphoreLock::Release() {
  if (semaphore != nullptr) {
    Semaphore* held = semaphore;
    semaphore = nullptr;
    held->Release();
  }
  node.Unlink();
}

}  // namespace runtime
