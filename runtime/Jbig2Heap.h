#pragma once
// The JBIG2 decoder's heap: plain allocation callbacks over the memory
// context, grouped in a scope that the decode filter opens on its stack.
// Everything the decoder leaves allocated is freed when the scope ends; a
// block unlinked with Detach survives it.
#include <cstddef>

#include "runtime/CleanupNode.h"

namespace runtime {

class LibraryContext;

class Jbig2Heap {
 public:
  // Opens a scope and makes it the process's current one.
  explicit Jbig2Heap(LibraryContext* context);
  // Frees every block still in the scope (FreeAll).
  ~Jbig2Heap();
  Jbig2Heap(const Jbig2Heap&) = delete;
  Jbig2Heap& operator=(const Jbig2Heap&) = delete;

  // The callbacks; they work on the current scope. Alloc throws (runtime, 0)
  // when memory is exhausted; Calloc returns null when count x size overflows.
  static void* Alloc(size_t bytes);
  static void* Calloc(size_t count, size_t size);
  static void* Realloc(void* block, size_t bytes);
  static void Free(void* block);
  static void FreeAll(Jbig2Heap* scope);

  // Takes a block out of the scope so that it survives it. The block is then
  // freed with FreeDetached.
  static void* Detach(void* block);
  static void FreeDetached(LibraryContext* context, void* block);

  static Jbig2Heap* Current();

 private:
  struct BlockHeader;
  static void Cleanup(CleanupNode* node);

  CleanupNode node_;
  LibraryContext* context_;
  BlockHeader* head_ = nullptr;
  Jbig2Heap* previous_ = nullptr;
};

}  // namespace runtime
