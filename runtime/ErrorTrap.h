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
//
// A standard exception thrown in a body (std::bad_alloc from a container)
// is taken by the innermost trap as (runtime, 0), after the same cleanups:
// it never skips the cleanup chain or leaves a cooperative thread.
//
// A handler that leaves the trap's scope without closing it (an early
// `return`, `continue` or `break`) does not lose the error: the trap's end
// passes an error it did not take on to the enclosing trap, as Close does,
// and a cancellation always, taken or not.
#include <cstdint>
#include <exception>
#include <new>
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
// The one way to give up on malformed input (runtime code 2).
[[noreturn]] inline void ThrowMalformed() { ThrowRuntime(kMalformed); }

class ErrorTrap {
 public:
  using ReleaseFunction = void (*)(ErrorTrap* trap);
  using CopyFunction = void (*)(LibraryContext* context, ErrorTrap* destination,
                                const ErrorTrap* source);

  explicit ErrorTrap(LibraryContext* context = nullptr);
  // May pass a held error on (see above), hence not noexcept.
  ~ErrorTrap() noexcept(false);
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
  // Catch path of a standard exception: holds (runtime, `code`) after the
  // cleanups registered in the body have run.
  void TakeForeignException(uint32_t code);

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
  // Exceptions in flight when the trap opened: more at its end means the
  // scope is being unwound, when nothing may be thrown from it.
  int uncaughtAtOpen_ = std::uncaught_exceptions();
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
  } catch (const std::bad_alloc&) {
    TakeForeignException(kOutOfMemory);
    return false;
  } catch (const std::exception&) {
    // Length and range errors of the standard containers come from sizes
    // they could not hold: out of memory as far as the library goes.
    TakeForeignException(kOutOfMemory);
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
