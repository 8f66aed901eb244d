#pragma once
// Per cooperative thread state of the error model. The scheduler swaps the
// current one when it switches threads; before any scheduler exists the
// process's main thread state is current.
#include <cstddef>
#include <cstdint>

#include "runtime/CleanupNode.h"

namespace runtime {

class ErrorTrap;
class LibraryContext;

// One slot of the transient-block stack: protects a heap block while the
// object in it is being built.
struct TransientRecord {
  CleanupNode node;
  CleanupNode* savedHead = nullptr;
  LibraryContext* context = nullptr;
  void* block = nullptr;
};

inline constexpr uint32_t kTransientSlots = 12;

struct ThreadState {
  CleanupNode* cleanupHead = nullptr;
  ErrorTrap* currentTrap = nullptr;
  TransientRecord records[kTransientSlots];
  uint32_t recordCount = 0;
  // Set by the scheduler's Kill; a resuming thread raises (runtime, 3).
  bool killRequested = false;
  // Lowest usable address of the thread's own stack (0 for the main stack).
  uintptr_t stackLimit = 0;
  // Physical size of the thread's stack; used to scale low-stack thresholds.
  size_t stackSize = 0;
};

ThreadState& CurrentThreadState();
// Makes `state` current; returns the previous one. Used by thread switches.
ThreadState* SetCurrentThreadState(ThreadState* state);
// The state of the process's main thread.
ThreadState& MainThreadState();

}  // namespace runtime
