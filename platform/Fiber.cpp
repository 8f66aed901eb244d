#include "platform/Fiber.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FOLVANE_FIBER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define FOLVANE_FIBER_ASAN 1
#endif

#if defined(FOLVANE_FIBER_ASAN)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace platform {
namespace {

// The fiber that made the latest switch; the resumed side reads it to learn
// the bounds of a stack it has not seen yet (the process's own stack).
Fiber* g_switchedFrom = nullptr;

size_t PageSize() {
  const long page = sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<size_t>(page) : 4096;
}

void StartSwitch([[maybe_unused]] void** fakeStackSave, [[maybe_unused]] const Fiber* to) {
#if defined(FOLVANE_FIBER_ASAN)
  __sanitizer_start_switch_fiber(fakeStackSave, to->stackBottom, to->stackSize);
#endif
}

void FinishSwitch([[maybe_unused]] void* fakeStack) {
  const void* oldBottom = nullptr;
  size_t oldSize = 0;
#if defined(FOLVANE_FIBER_ASAN)
  __sanitizer_finish_switch_fiber(fakeStack, &oldBottom, &oldSize);
#endif
  Fiber* previous = g_switchedFrom;
  if (previous != nullptr && previous->stackBottom == nullptr) {
    previous->stackBottom = oldBottom;
    previous->stackSize = oldSize;
  }
}

void Trampoline(unsigned high, unsigned low) {
  const uintptr_t address = (static_cast<uintptr_t>(high) << 32) | static_cast<uintptr_t>(low);
  Fiber* self = reinterpret_cast<Fiber*>(address);
  FinishSwitch(nullptr);
  self->entry(self->argument);
  // Entries leave with ExitToFiber; returning would end the process.
  std::fputs("fatal: a coroutine entry returned\n", stderr);
  std::abort();
}

// Inaccessible bytes below each stack. More than one page, so that a frame
// with a large local array cannot step over it into the next mapping.
constexpr size_t kGuardBytes = 64 * 1024;

}  // namespace

bool MapFiberStack(size_t usableBytes, FiberStack* stack) {
  const size_t page = PageSize();
  const size_t usable = (usableBytes + page - 1) / page * page;
  const size_t guard = (kGuardBytes + page - 1) / page * page;
  const size_t total = usable + guard;
  void* mapping = mmap(nullptr, total, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (mapping == MAP_FAILED) return false;
  // Stacks grow down: the guard is at the bottom.
  if (mprotect(mapping, guard, PROT_NONE) != 0) {
    munmap(mapping, total);
    return false;
  }
  stack->mapping = mapping;
  stack->mappingSize = total;
  stack->base = static_cast<unsigned char*>(mapping) + guard;
  stack->size = usable;
  return true;
}

void UnmapFiberStack(FiberStack* stack) {
  if (stack->mapping == nullptr) return;
  ResetFiberStack(*stack);
  munmap(stack->mapping, stack->mappingSize);
  *stack = FiberStack{};
}

void ResetFiberStack([[maybe_unused]] const FiberStack& stack) {
#if defined(FOLVANE_FIBER_ASAN)
  if (stack.base != nullptr) __asan_unpoison_memory_region(stack.base, stack.size);
#endif
}

void PrepareFiber(Fiber* fiber, const FiberStack& stack, FiberEntry entry, void* argument) {
  if (getcontext(&fiber->context) != 0) {
    std::fputs("fatal: getcontext failed\n", stderr);
    std::abort();
  }
  fiber->context.uc_stack.ss_sp = stack.base;
  fiber->context.uc_stack.ss_size = stack.size;
  fiber->context.uc_link = nullptr;
  fiber->stackBottom = stack.base;
  fiber->stackSize = stack.size;
  fiber->entry = entry;
  fiber->argument = argument;
  // makecontext passes int arguments: the fiber's address goes in two halves.
  const uintptr_t address = reinterpret_cast<uintptr_t>(fiber);
  makecontext(&fiber->context, reinterpret_cast<void (*)()>(&Trampoline), 2,
              static_cast<unsigned>(address >> 32), static_cast<unsigned>(address & 0xFFFFFFFFu));
}

void SwitchFiber(Fiber* from, Fiber* to) {
  void* fakeStack = nullptr;
  StartSwitch(&fakeStack, to);
  g_switchedFrom = from;
  swapcontext(&from->context, &to->context);
  FinishSwitch(fakeStack);
}

void ExitToFiber(Fiber* to) {
  // A null save slot tells the sanitizer this stack's frames are gone.
  StartSwitch(nullptr, to);
  g_switchedFrom = nullptr;
  setcontext(&to->context);
  std::fputs("fatal: setcontext failed\n", stderr);
  std::abort();
}

}  // namespace platform
