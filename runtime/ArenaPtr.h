#pragma once
// An owning pointer to an arena that lives on the heap (built with
// NewObject on the pointer's context), for objects that keep an arena of
// their own and hand it on. Destroying the pointer destroys and frees the
// arena; a throw unwinding past it does the same.
#include <utility>

#include "runtime/ArenaAllocator.h"
#include "runtime/TransientBlocks.h"

namespace runtime {

class ArenaPtr {
 public:
  explicit ArenaPtr(LibraryContext* context, ArenaAllocator* arena = nullptr)
      : context_(context), arena_(arena) {}
  ~ArenaPtr() { Reset(nullptr); }
  ArenaPtr(const ArenaPtr&) = delete;
  ArenaPtr& operator=(const ArenaPtr&) = delete;

  // Takes `other`'s arena and leaves `other` empty; the arena held before
  // is destroyed and freed, unless it is the very one taken.
  void MoveAssign(ArenaPtr& other) {
    if (&other == this) return;
    Reset(std::exchange(other.arena_, nullptr));
  }
  // Holds `arena` instead; the one held before is destroyed and freed,
  // unless it is `arena` itself.
  void Reset(ArenaAllocator* arena) {
    ArenaAllocator* old = std::exchange(arena_, arena);
    if (old != nullptr && old != arena) DestroyAndFree(context_, old);
  }

  ArenaAllocator* Get() const { return arena_; }
  ArenaAllocator* operator->() const { return arena_; }

 private:
  LibraryContext* context_;
  ArenaAllocator* arena_;
};

}  // namespace runtime
