#pragma once
// The owner of a cooperative thread object. Destroying the handle kills a
// live thread first, so its stack unwinds before the thread object and its
// stack go; so does an error unwinding past a handle on the stack.
#include "runtime/CleanupNode.h"

namespace runtime {

class CoThread;
class LibraryContext;

class ThreadHandle {
 public:
  // Takes `thread`, which must have been built with NewObject on `context`.
  explicit ThreadHandle(LibraryContext* context, CoThread* thread = nullptr);
  ~ThreadHandle() { Destroy(); }
  ThreadHandle(const ThreadHandle&) = delete;
  ThreadHandle& operator=(const ThreadHandle&) = delete;

  CoThread* Get() const { return thread; }
  // Kills the thread when live, destroys and frees it, and unlinks.
  void Destroy();
  // Destroys the thread held (unless it is the same) and takes `from`'s.
  void MoveAssign(ThreadHandle& from);
  // Destroys the thread held (unless it is the same) and takes `other`.
  void Reset(CoThread* other);

  CleanupNode node;
  CoThread* thread = nullptr;
  LibraryContext* context;

 private:
  void DestroyThread();
};

}  // namespace runtime
