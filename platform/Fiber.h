#pragma once
// Coroutine contexts and their stacks: saving the registers of one stack and
// resuming another on the same operating-system thread. The cooperative
// threads of the runtime are built on this.
//
// Switches use ucontext rather than setjmp/longjmp: the C library's checked
// longjmp refuses to jump between stacks. Every switch is announced to
// AddressSanitizer, which otherwise takes the foreign stack for a corrupted
// one (and the exceptions thrown on it for overflows).
#include <cstddef>
#include <cstdint>
#include <ucontext.h>

namespace platform {

// Usable bytes of a coroutine stack. The library's logical 16,384-byte
// stacks are backed by this much: x86-64 frames are larger than the
// device's, and sanitizer builds add redzones to every frame.
#if defined(FOLVANE_SANITIZE) || defined(__SANITIZE_ADDRESS__)
inline constexpr size_t kFiberStackBytes = 1024 * 1024;
#else
inline constexpr size_t kFiberStackBytes = 256 * 1024;
#endif

// A mapped stack with an inaccessible guard region below its lowest usable
// byte, so that an overflow faults instead of overwriting memory.
struct FiberStack {
  void* base = nullptr;      // lowest usable address
  size_t size = 0;           // usable bytes above base
  void* mapping = nullptr;   // the whole mapping, guard page included
  size_t mappingSize = 0;
};

// Maps a stack of at least `usableBytes`; false when the system refuses.
bool MapFiberStack(size_t usableBytes, FiberStack* stack);
void UnmapFiberStack(FiberStack* stack);
// Forgets what the sanitizer knows about frames that lived on a stack, before
// the stack is handed to another coroutine.
void ResetFiberStack(const FiberStack& stack);

// The saved registers of a coroutine that is not running, with the bounds of
// its stack for the sanitizer (learnt on the first switch for the stack the
// process started on).
using FiberEntry = void (*)(void* argument);

struct Fiber {
  ucontext_t context;
  const void* stackBottom = nullptr;
  size_t stackSize = 0;
  FiberEntry entry = nullptr;
  void* argument = nullptr;
};

// Prepares `fiber` to run entry(argument) on `stack` when first switched to.
// The entry must never return; it leaves with ExitToFiber.
void PrepareFiber(Fiber* fiber, const FiberStack& stack, FiberEntry entry, void* argument);
// Saves the running coroutine in `from` and resumes `to`; returns when some
// coroutine switches back to `from`.
void SwitchFiber(Fiber* from, Fiber* to);
// Resumes `to` for good: the running coroutine is finished and its stack may
// be reused.
[[noreturn]] void ExitToFiber(Fiber* to);

// An address in the caller's frame, for stack-depth checks.
inline uintptr_t CurrentStackAddress() {
  return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
}

}  // namespace platform
