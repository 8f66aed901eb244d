#pragma once
// An event cooperative threads wait on. An auto-reset event wakes one
// waiter per Set and is consumed by it; set with nobody waiting it stays
// set, and the next Wait consumes it without blocking. A manual-reset event
// wakes every waiter and stays set until Reset.
#include "runtime/ThreadState.h"

namespace runtime {

class LibraryContext;

class Event {
 public:
  explicit Event(LibraryContext* context, bool manualReset = false, bool signalled = false);
  // Waiters left behind are taken out of the ring: they stay blocked until
  // their owners kill them.
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset() { signalled = false; }
  // Returns at once when the event is set (consuming an auto-reset one);
  // otherwise blocks until a Set wakes this thread. On the main thread,
  // which cannot block, an unset event raises (runtime, 2).
  void Wait();

  bool signalled;
  bool manualReset;
  ThreadState* waiters = nullptr;
  LibraryContext* context;
};

}  // namespace runtime
