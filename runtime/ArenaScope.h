#pragma once
// A point in an arena to roll back to. Releasing the scope runs the
// destructors registered since it opened, returns the ordinary blocks taken
// since to the arena's spare list and frees the large blocks taken since.
// Scopes nest strictly; a scope inside another registers itself on the
// thread's cleanup chain so that a throw rolls it back.
#include <cstdint>

#include "runtime/CleanupNode.h"

namespace runtime {

class ArenaAllocator;
struct ArenaBlock;

class ArenaScope {
 public:
  explicit ArenaScope(ArenaAllocator& arena) { Open(&arena); }
  ~ArenaScope() { Release(); }
  ArenaScope(const ArenaScope&) = delete;
  ArenaScope& operator=(const ArenaScope&) = delete;

  // Rolls the arena back to this scope; harmless when already released.
  void Release() { Release(true); }
  bool IsOpen() const { return arena != nullptr; }

  // Puts `node` on this scope's destructor list: its cleanup runs when the
  // scope is released and must end by unlinking the node.
  void AddDestructor(CleanupNode* node, CleanupNode::CleanupFunction cleanup) {
    node->LinkInto(&destructors, cleanup);
  }

  // Fields, in this order: the node must stay first (the cleanup finds the
  // scope from it).
  CleanupNode node;
  ArenaAllocator* arena = nullptr;  // null once released
  ArenaBlock* savedBlocks = nullptr;
  ArenaBlock* savedLargeBlocks = nullptr;
  uint8_t* savedBump = nullptr;
  uint32_t savedRemaining = 0;
  CleanupNode* destructors = nullptr;
  ArenaScope* enclosing = nullptr;

 private:
  friend class ArenaAllocator;
  ArenaScope() = default;  // the arena's embedded base scope
  void Open(ArenaAllocator* owner);
  // `poison`: mark what the scope gives back as unused for AddressSanitizer.
  // A scope released by a throw does not: the partly built objects in it
  // are still destroyed as the throw unwinds, after the cleanup chain ran.
  void Release(bool poison);
  static void ReleaseNode(CleanupNode* node);
};

}  // namespace runtime
