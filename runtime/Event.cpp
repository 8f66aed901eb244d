#include "runtime/Event.h"

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace runtime {

Event::Event(LibraryContext* owner, bool manual, bool set)
    : signalled(set), manualReset(manual), context(owner) {}

Event::~Event() {
  while (waiters != nullptr) waiters->LeaveRing();
}

void Event::Set() {
  signalled = true;
  if (waiters == nullptr) return;
  Scheduler* scheduler = context->scheduler;
  if (manualReset) {
    while (waiters != nullptr) scheduler->Wake(waiters);
  } else {
    scheduler->Wake(waiters);
    signalled = false;
  }
}

void Event::Wait() {
  if (signalled) {
    signalled = manualReset;
    return;
  }
  Scheduler* scheduler = context != nullptr ? context->scheduler : nullptr;
  if (scheduler == nullptr) ThrowError(context, ErrorRecord{kRuntimeDomain, kMalformed, 0});
  scheduler->WaitOn(&waiters);
}

}  // namespace runtime
