#pragma once
// Error traps: the library's one error idiom.
//
//   runtime::ErrorTrap trap(context);
//   if (!trap.Run([&] { DoWork(); })) {
//     trap.SetHandled();
//     if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
//     ... handle it ...
//     trap.Close();
//   }
//
// `Run` returns true when the body finished (the trap is then closed) and
// false on the catch path, where the trap holds the thrown record. A handler
// either handles the error and closes the trap, or passes it outward with
// `Rethrow`. Closing a trap whose error was not taken passes it on unchanged.
//
// ThrowError stores the record in the innermost trap, runs the cleanup chain
// down to the trap's saved head and then unwinds the C++ stack to the trap
// with a private exception that only traps catch, so that destructors of
// the frames in between run too.
#include <cstdint>
#include <utility>

#include "runtime/CleanupNode.h"
#include "runtime/ErrorRecord.h"
#include "runtime/ThreadState.h"

namespace runtime {

class LibraryContext;
class ErrorTrap;

[[noreturn]] void RethrowToOuterFrame(ErrorTrap* current, bool releaseCurrent);
[[noreturn]] void UnwindCleanupsAndJump(ErrorTrap* target);
[[noreturn]] void ThrowError(LibraryContext* context, const ErrorRecord& record);
// Shorthand for ThrowError of a runtime-domain record.
[[noreturn]] void ThrowRuntime(uint32_t code, uint8_t flag = 0);

class ErrorTrap {
 public:
  using ReleaseFunction = void (*)(ErrorTrap* trap);
  using CopyFunction = void (*)(LibraryContext* context, ErrorTrap* destination,
                                const ErrorTrap* source);

  explicit ErrorTrap(LibraryContext* context = nullptr);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Runs the protected body. True: the body finished and the trap is closed.
  // False: an error was thrown to this trap, which now holds it.
  template <class Body>
  bool Run(Body&& body);

  bool HoldsRecord() const { return holdsRecord != 0; }
  const ErrorRecord& Held() const { return held; }
  void SetHandled() { handled = 1; }
  // Leaves the trap: releases a handled error, passes on one not handled.
  void Close();
  // Passes the held error to the nearest enclosing trap that holds none.
  [[noreturn]] void Rethrow();

  // Installs `record` as the held error (used by the throw routine).
  void StoreError(const ErrorRecord& record);

  LibraryContext* context = nullptr;
  ReleaseFunction releaseHeld = nullptr;
  CopyFunction copyHeld = nullptr;
  uint32_t auxWord = 0;
  ErrorRecord held;
  uint8_t handled = 0;
  uint8_t holdsRecord = 0;
  ErrorTrap* enclosing = nullptr;
  CleanupNode* savedHead = nullptr;

 private:
  friend void ThrowError(LibraryContext*, const ErrorRecord&);
  friend void RethrowToOuterFrame(ErrorTrap*, bool);
  friend void UnwindCleanupsAndJump(ErrorTrap*);

  // The private exception that carries control to a trap.
  struct Jump {
    ErrorTrap* target;
  };

  bool inBody_ = false;
  bool closed_ = false;
};

template <class Body>
bool ErrorTrap::Run(Body&& body) {
  inBody_ = true;
  try {
    std::forward<Body>(body)();
  } catch (const Jump& jump) {
    if (jump.target != this) throw;
    inBody_ = false;
    return false;
  }
  inBody_ = false;
  Close();
  return true;
}

// Runs `body` in a trap and swallows every error but cancellation
// (runtime, 3), which it passes on. Returns true when the body finished.
template <class Body>
bool CatchAllExceptCancel(LibraryContext* context, Body&& body) {
  ErrorTrap trap(context);
  if (trap.Run(std::forward<Body>(body))) return true;
  trap.SetHandled();
  if (trap.HoldsRecord() && trap.Held().IsRuntime(kCancelled)) trap.Rethrow();
  trap.Close();
  return false;
}

}  // namespace runtime
