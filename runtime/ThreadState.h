#pragma once
// Per cooperative thread state: the error model's part (cleanup chain,
// traps, transient records) and the scheduler's part (saved registers,
// stack, ring links). The scheduler swaps the current one when it switches
// threads; before any scheduler exists the process's main thread state is
// current.
#include <cstddef>
#include <cstdint>

#include "platform/Fiber.h"
#include "runtime/CleanupNode.h"

namespace runtime {

class ErrorTrap;
class LibraryContext;
class Scheduler;

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

  // --- Scheduler part ---
  // The registers saved while the thread is not running.
  platform::Fiber jumpBuffer;
  // The stack size the thread asked for (0: none of its own).
  uint32_t requestedStackSize = 0;
  // The pool stack the thread runs on; null for none of its own.
  const platform::FiberStack* stackSlot = nullptr;
  LibraryContext* context = nullptr;
  Scheduler* scheduler = nullptr;
  // From its start until it ends or is killed: it has frames a kill unwinds.
  bool live = false;
  // YieldThread does nothing while this is false.
  bool mayYield = true;
  // A kill has been started on the thread (never cleared; keeps KillAll
  // from trying twice).
  bool killStarted = false;
  // The thread that started this one.
  ThreadState* starter = nullptr;
  // Links in the thread's ring (circular, doubly linked; alone: itself).
  ThreadState* next = this;
  ThreadState* prev = this;
  // The head word of the ring the thread is in; null when in none.
  ThreadState** ringHead = nullptr;
  // Links in the scheduler's list of every thread that uses its stack pool.
  ThreadState* knownNext = nullptr;
  ThreadState* knownPrev = nullptr;

  ThreadState() = default;
  ThreadState(const ThreadState&) = delete;
  ThreadState& operator=(const ThreadState&) = delete;

  // Takes the thread out of its ring (the head advances past it; a thread
  // alone leaves the head null), then inserts it before the thread `head`
  // points at and makes it the head, or makes it a ring of one.
  void MoveToRing(ThreadState** head);
  // As MoveToRing, but joins at the end: the head stays unless the ring was
  // empty. Wait rings use it so that the longest waiter is woken first.
  void AppendToRing(ThreadState** head);
  // Takes the thread out of its ring, into none.
  void LeaveRing();
  bool IsAlone() const { return next == this; }
};

ThreadState& CurrentThreadState();
// Makes `state` current; returns the previous one. Used by thread switches.
ThreadState* SetCurrentThreadState(ThreadState* state);
// The state of the process's main thread.
ThreadState& MainThreadState();

}  // namespace runtime
