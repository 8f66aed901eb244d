#pragma once
// A thread record without a stack of its own: it stands for work done on
// the stack of whoever drives it (the caller's own thread), so it takes no
// slot of the stack pool and is never started by the scheduler. It keeps
// the thread parts that such work still needs: a cleanup chain, traps and
// a scratch arena.
#include "runtime/CoThread.h"

namespace runtime {

class WorkerThread : public CoThread {
 public:
  explicit WorkerThread(LibraryContext* context)
      : CoThread(context, kJobArenaBlockBytes, kJobArenaThreshold, 0) {}

  // Builds a worker on `context` and puts it in `*ring` (a fresh, empty
  // ring of the caller's, so it is alone there).
  // Null when there is no memory for it; the caller owns the result (a
  // ThreadHandle takes it).
  static WorkerThread* Start(LibraryContext* context, ThreadState** ring);

  // Nothing runs on a thread without a stack.
  void Run(LibraryContext*) override {}
};

}  // namespace runtime
