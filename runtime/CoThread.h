#pragma once
// A cooperative thread: a job with a stack of its own from the scheduler's
// pool. Derive from it, implement Run, and start it with
// Scheduler::StartThread. Errors that escape Run end the thread quietly;
// a job that must report failure stores it before returning.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/CleanupNode.h"
#include "runtime/ThreadState.h"

namespace runtime {

class LibraryContext;

// What the library's jobs ask for: a full pool slot and a scratch arena of
// 4096-byte blocks with a 1024-byte threshold.
inline constexpr uint32_t kJobStackBytes = 16384;
inline constexpr uint32_t kJobArenaBlockBytes = 4096;
inline constexpr uint32_t kJobArenaThreshold = 1024;

class CoThread : public ThreadState {
 public:
  // Takes a stack from the context's scheduler when `stackSize` is not 0:
  // (runtime, 6) above 16,384 bytes or with no scheduler, (runtime, 0)
  // when the pool is full. A thread without a stack cannot be started.
  CoThread(LibraryContext* context, uint32_t arenaBlockSize, uint32_t arenaThreshold,
           uint32_t stackSize);
  // Kills the thread first when it is live, so its stack unwinds before
  // the stack goes back to the pool.
  virtual ~CoThread();
  CoThread(const CoThread&) = delete;
  CoThread& operator=(const CoThread&) = delete;

  // The job, on the thread's own stack.
  virtual void Run(LibraryContext* context) = 0;

  // Everything the destructor does; harmless when repeated. The cleanup
  // of the node registered at construction calls it when an error unwinds
  // past a thread object that lives on a stack.
  void Release();

  bool IsIdle() const;

  struct OwnerNode {
    CleanupNode node;
    CoThread* owner;
  };
  // The thread's own arena for short-lived work memory.
  ArenaAllocator scratch;
  OwnerNode node;

 private:
  bool released_ = false;
};

}  // namespace runtime
