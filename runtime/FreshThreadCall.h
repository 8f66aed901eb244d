#pragma once
// Work that needs more stack than the running cooperative thread has left
// (deeply nested content, a glyph drawn by a glyph procedure inside
// another) moves to a fresh thread whose stack comes from the scheduler's
// pool. The thread that asks waits until the work has finished, so no two
// operations ever run at once; an error the work raises is raised again
// on the thread that asked.
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace runtime {

using FreshThreadBody = void (*)(void* closure);

// Runs `body(closure)` on a thread of its own and waits for it; false when
// no thread can be had (no scheduler, or every pool stack is taken): the
// caller then does the work itself.
bool RunOnFreshThread(LibraryContext* context, FreshThreadBody body, void* closure);

// Runs `closure` on a fresh thread when the stack is nearly used up and a
// pool stack is free, else here.
template <class Closure>
void RunWithStack(LibraryContext* context, Closure& closure) {
  if (StackNearlyExhausted(context) &&
      RunOnFreshThread(context, [](void* body) { (*static_cast<Closure*>(body))(); }, &closure)) {
    return;
  }
  closure();
}

}  // namespace runtime
