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

void ThreadState::LeaveRing() {
  if (ringHead == nullptr) return;
  if (next == this) {
    *ringHead = nullptr;
  } else {
    if (*ringHead == this) *ringHead = next;
    prev->next = next;
    next->prev = prev;
  }
  ringHead = nullptr;
  next = this;
  prev = this;
}

void ThreadState::MoveToRing(ThreadState** head) {
  LeaveRing();
  ThreadState* first = *head;
  if (first == nullptr) {
    next = this;
    prev = this;
  } else {
    next = first;
    prev = first->prev;
    first->prev->next = this;
    first->prev = this;
  }
  *head = this;
  ringHead = head;
}

void ThreadState::AppendToRing(ThreadState** head) {
  ThreadState* const first = *head == this ? next : *head;
  MoveToRing(head);
  if (first != nullptr && first != this) *head = first;
}

}  // namespace runtime
