#pragma once
// The JBIG2 decoder's heap: plain allocation callbacks over the memory
// context, grouped in a scope that the decode filter opens on its stack.
// Everything the decoder leaves allocated is freed when the scope ends; a
// block unlinked with Detach survives it. Every block counts against the
// scope's own limit, whatever the memory context counts, so that one
// decode cannot claim more than its page justifies. A decode that yields
// to other cooperative threads suspends its scope meanwhile (Charge), so
// that another decode never allocates into it.
#include <cstddef>
#include <cstdint>

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
  LibraryContext* Context() const { return context_; }

  // The bytes the scope may hold at once (blocks and their headers); an
  // allocation beyond it throws (runtime, 0). The default is kDefaultLimit.
  static constexpr uint64_t kDefaultLimit = uint64_t{32} << 20;
  void SetLimit(uint64_t bytes) { limit_ = bytes; }
  uint64_t Used() const { return used_; }
  // The most the scope held at once.
  uint64_t Peak() const { return peak_; }
  // Bytes the current scope can still hand out (0 without a scope).
  static uint64_t Remaining();

  // Spends `units` of the current cooperative thread's work budget, with
  // the current scope suspended while the thread yields. Nothing without a
  // scope.
  static void Charge(int32_t units);

 private:
  struct BlockHeader;
  static void Cleanup(CleanupNode* node);

  CleanupNode node_;
  LibraryContext* context_;
  BlockHeader* head_ = nullptr;
  Jbig2Heap* previous_ = nullptr;
  uint64_t limit_ = kDefaultLimit;
  uint64_t used_ = 0;
  uint64_t peak_ = 0;
};

}  // namespace runtime
