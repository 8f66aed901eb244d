#include "runtime/ThreadState.h"

namespace runtime {
namespace {

ThreadState g_mainState;
ThreadState* g_current = &g_mainState;

}  // namespace

ThreadState& CurrentThreadState() { return *g_current; }

ThreadState* SetCurrentThreadState(ThreadState* state) {
  ThreadState* previous = g_current;
  g_current = state != nullptr ? state : &g_mainState;
  return previous;
}

ThreadState& MainThreadState() { return g_mainState; }

}  // namespace runtime
