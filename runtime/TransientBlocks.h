#pragma once
// Protects a heap block while an object is constructed in it: a throw
// during construction frees the block; a successful construction takes the
// object's registered members off the stack's cleanup chain.
#include <new>
#include <utility>

#include "runtime/CleanupNode.h"
#include "runtime/LibraryContext.h"

namespace runtime {

class ArenaAllocator;

namespace TransientBlocks {

// Pushes a record for `block`; a 13th nested push throws (runtime, 6).
void Push(LibraryContext* context, void* block);
// Construction succeeded: the caller keeps the block, and every node
// registered since the push leaves the chain.
void Pop(LibraryContext* context);
// Construction in arena memory succeeded: every node registered since the
// push moves, in its order, to the front of the destructor list of the
// arena's innermost scope, whose release then runs them.
void PopTransfer(LibraryContext* context, ArenaAllocator* arena);
// Cleanup of a record: frees its block (if any) and drops the record.
void ReleaseRecord(CleanupNode* node);

}  // namespace TransientBlocks

// Allocates a block from the context and constructs a T in it, inside a
// transient-block bracket. Release with DestroyAndFree.
//
// The record protects the chain; the block itself is freed by a C++ guard,
// because a throw runs the cleanup chain before the stack unwinds, and the
// members already built in the block are destroyed only by that unwinding.
template <class T, class... Args>
T* ConstructInBlock(LibraryContext* context, void* block, Args&&... args) {
  static_assert(alignof(T) <= 16, "blocks are 16-byte aligned");
  struct BlockGuard {
    LibraryContext* context;
    void* block;
    ~BlockGuard() {
      if (block == nullptr) return;
      LibraryContext* owner = context != nullptr ? context : GetDefaultContext();
      owner->memory.Free(block);
    }
  } guard{context, block};
  TransientBlocks::Push(context, nullptr);
  T* object = new (guard.block) T(std::forward<Args>(args)...);
  TransientBlocks::Pop(context);
  guard.block = nullptr;
  return object;
}

template <class T, class... Args>
T* NewObject(LibraryContext* context, Args&&... args) {
  return ConstructInBlock<T>(context, AllocOrThrow(context, sizeof(T)),
                             std::forward<Args>(args)...);
}

// NewObject for callers to whom no memory is an answer rather than an
// error: null when the block cannot be had.
template <class T, class... Args>
T* TryNewObject(LibraryContext* context, Args&&... args) {
  LibraryContext* owner = context != nullptr ? context : GetDefaultContext();
  void* block = owner->memory.Allocate(sizeof(T));
  if (block == nullptr) return nullptr;
  return ConstructInBlock<T>(context, block, std::forward<Args>(args)...);
}

// Runs the object's destructor, then frees its block through the context.
template <class T>
void DestroyAndFree(LibraryContext* context, T* object) {
  if (object == nullptr) return;
  object->~T();
  LibraryContext* owner = context != nullptr ? context : GetDefaultContext();
  owner->memory.Free(object);
}

}  // namespace runtime
