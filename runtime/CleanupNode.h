#pragma once
// A node of the per-thread cleanup chain. An object that must be released
// when an error unwinds past it registers a node; a throw runs the node's
// cleanup before control reaches the trap. Cleanups end by unlinking their
// node, so a destructor that runs afterwards finds it unlinked and does
// nothing more.

namespace runtime {

class LibraryContext;

struct CleanupNode {
  using CleanupFunction = void (*)(CleanupNode* node);

  CleanupFunction cleanup = nullptr;
  CleanupNode* next = nullptr;
  CleanupNode** backLink = nullptr;

  // Links the node at the head of the current thread's chain unless it is
  // linked already; always stores the cleanup function.
  CleanupNode* Register(LibraryContext* context, CleanupFunction function);
  // Links the node at the head of a private list (an arena scope's
  // destructors, for example) instead of the thread's chain.
  void LinkInto(CleanupNode** head, CleanupFunction function);
  // Unlinks the node from wherever it stands; harmless when not linked.
  void Unlink();
  bool IsLinked() const { return backLink != nullptr; }
};

// Runs the cleanups of the current thread's chain, newest first, until its
// head is `stopAt`.
void RunCleanupsDownTo(CleanupNode* stopAt);

}  // namespace runtime
