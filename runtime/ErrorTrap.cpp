#include "runtime/ErrorTrap.h"

#include <cstdio>

#include "platform/Process.h"

namespace runtime {
namespace {

void ReleaseRecord(ErrorTrap*) {}

void CopyRecord(LibraryContext*, ErrorTrap* destination, const ErrorTrap* source) {
  // Copying a record registers nothing, so the chain head stays as it is.
  destination->held = source->held;
}

[[noreturn]] void EndProcessUncaught(const ErrorRecord* record) {
  if (record != nullptr) {
    std::fprintf(stderr, "fatal: uncaught error %s %u\n",
                 record->domain != nullptr ? record->domain : "(null)", record->code);
  } else {
    std::fprintf(stderr, "fatal: error rethrown with none held\n");
  }
  platform::ExitProcess(-1);
}

}  // namespace

ErrorTrap::ErrorTrap(LibraryContext* owner) : context(owner) {
  ThreadState& state = CurrentThreadState();
  enclosing = state.currentTrap;
  savedHead = state.cleanupHead;
  state.currentTrap = this;
}

ErrorTrap::~ErrorTrap() noexcept(false) {
  if (closed_) return;
  // Left without Close: a handler returned early, or the scope is being
  // unwound by an error passing through to an outer trap.
  const bool holding = releaseHeld != nullptr && !inBody_;
  const bool unwinding = std::uncaught_exceptions() > uncaughtAtOpen_;
  if (holding && !unwinding) {
    const bool cancelled = holdsRecord != 0 && held.IsRuntime(kCancelled);
    // An error the handler did not take goes on as Close would send it; a
    // cancellation goes on even when taken, or a killed job would run on
    // to its end inside Kill.
    if (handled == 0 || cancelled) RethrowToOuterFrame(this, true);
    releaseHeld(this);
    releaseHeld = nullptr;
  }
  ThreadState& state = CurrentThreadState();
  if (state.currentTrap == this) state.currentTrap = enclosing;
  closed_ = true;
}

void ErrorTrap::TakeForeignException(uint32_t code) {
  inBody_ = false;
  // The frames in between are unwound; nodes registered in the body that
  // their destructors did not unlink run now, as a throw would run them.
  RunCleanupsDownTo(savedHead);
  ThreadState& state = CurrentThreadState();
  state.currentTrap = this;
  StoreError(ErrorRecord{kRuntimeDomain, code, 0});
}

void ErrorTrap::StoreError(const ErrorRecord& record) {
  releaseHeld = &ReleaseRecord;
  copyHeld = &CopyRecord;
  held = record;
  handled = 0;
  auxWord = 0;
  holdsRecord = 1;
}

void ErrorTrap::Close() {
  if (closed_) return;
  if (releaseHeld != nullptr && handled == 0) {
    RethrowToOuterFrame(this, true);
  }
  if (releaseHeld != nullptr) {
    releaseHeld(this);
    releaseHeld = nullptr;
  }
  closed_ = true;
  ThreadState& state = CurrentThreadState();
  if (state.currentTrap == this) state.currentTrap = enclosing;
}

void ErrorTrap::Rethrow() { RethrowToOuterFrame(this, false); }

void UnwindCleanupsAndJump(ErrorTrap* target) {
  RunCleanupsDownTo(target->savedHead);
  throw ErrorTrap::Jump{target};
}

void RethrowToOuterFrame(ErrorTrap* current, bool releaseCurrent) {
  ErrorTrap* outer = current->enclosing;
  while (outer != nullptr && outer->releaseHeld != nullptr) outer = outer->enclosing;
  if (current->releaseHeld == nullptr) EndProcessUncaught(nullptr);
  if (outer == nullptr) EndProcessUncaught(current->holdsRecord ? &current->held : nullptr);

  outer->releaseHeld = current->releaseHeld;
  outer->copyHeld = current->copyHeld;
  current->copyHeld(current->context, outer, current);
  outer->holdsRecord = current->holdsRecord;
  outer->auxWord = current->auxWord;
  outer->handled = 0;

  if (releaseCurrent) {
    current->releaseHeld(current);
    current->releaseHeld = nullptr;
    current->closed_ = true;
  } else {
    current->handled = 1;
    RunCleanupsDownTo(current->savedHead);
    current->Close();
  }
  CurrentThreadState().currentTrap = outer;
  UnwindCleanupsAndJump(outer);
}

void ThrowError(LibraryContext*, const ErrorRecord& record) {
  ThreadState& state = CurrentThreadState();
  ErrorTrap* trap = state.currentTrap;
  if (trap == nullptr) EndProcessUncaught(&record);
  if (trap->handled == 0 && trap->inBody_) {
    trap->StoreError(record);
    UnwindCleanupsAndJump(trap);
  }
  // Raised by a handler: the new error replaces the held one and goes to
  // the next trap outward, since this trap no longer catches.
  if (trap->releaseHeld != nullptr) trap->releaseHeld(trap);
  trap->releaseHeld = nullptr;
  trap->handled = 0;
  trap->StoreError(record);
  RethrowToOuterFrame(trap, false);
}

void ThrowRuntime(uint32_t code, uint8_t flag) {
  ThrowError(nullptr, ErrorRecord{kRuntimeDomain, code, flag});
}

}  // namespace runtime
