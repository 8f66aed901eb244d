#include "runtime/CleanupNode.h"

#include "runtime/ThreadState.h"

namespace runtime {

CleanupNode* CleanupNode::Register(LibraryContext*, CleanupFunction function) {
  cleanup = function;
  if (backLink == nullptr) {
    ThreadState& state = CurrentThreadState();
    next = state.cleanupHead;
    if (next != nullptr) next->backLink = &next;
    backLink = &state.cleanupHead;
    state.cleanupHead = this;
  }
  return this;
}

void CleanupNode::LinkInto(CleanupNode** head, CleanupFunction function) {
  cleanup = function;
  Unlink();
  next = *head;
  if (next != nullptr) next->backLink = &next;
  backLink = head;
  *head = this;
}

void CleanupNode::Unlink() {
  if (backLink == nullptr) return;
  *backLink = next;
  if (next != nullptr) next->backLink = backLink;
  backLink = nullptr;
  next = nullptr;
}

void RunCleanupsDownTo(CleanupNode* stopAt) {
  ThreadState& state = CurrentThreadState();
  while (state.cleanupHead != nullptr && state.cleanupHead != stopAt) {
    CleanupNode* node = state.cleanupHead;
    if (node->cleanup != nullptr) node->cleanup(node);
    // A cleanup must unlink its node; never call one twice.
    if (state.cleanupHead == node) node->Unlink();
  }
}

}  // namespace runtime
