#pragma once
// A counting semaphore between cooperative threads, and the scoped lock
// that holds one unit of it.
#include <cstdint>

#include "runtime/CleanupNode.h"
#include "runtime/ThreadState.h"

namespace runtime {

class LibraryContext;

class Semaphore {
 public:
  Semaphore(LibraryContext* context, int32_t count);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  // Takes a unit, blocking while none is free. A thread killed while it
  // waits gives its claim back.
  void Acquire();
  // Returns a unit and wakes the first waiter.
  void Release();

  // Free units; negative: minus the number of waiters.
  int32_t count;
  ThreadState* waiters = nullptr;
  LibraryContext* context;
};

// Holds one unit of a semaphore from construction until Release, the
// destructor, or an error unwinding past it.
class SemaphoreLock {
 public:
  SemaphoreLock(LibraryContext* context, Semaphore* semaphore);
  ~SemaphoreLock() { Release(); }
  SemaphoreLock(const SemaphoreLock&) = delete;
  SemaphoreLock& operator=(const SemaphoreLock&) = delete;

  void Release();

  CleanupNode node;
  Semaphore* semaphore = nullptr;
};

}  // namespace runtime
