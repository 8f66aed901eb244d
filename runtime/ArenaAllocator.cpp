#include "runtime/ArenaAllocator.h"

#include <algorithm>
#include <limits>

#include "runtime/ErrorTrap.h"
#include "runtime/MemoryContext.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace runtime {

#if defined(__SANITIZE_ADDRESS__)
void ArenaPoison(const void* bytes, size_t n) {
  if (bytes != nullptr && n != 0) ASAN_POISON_MEMORY_REGION(bytes, n);
}
void ArenaUnpoison(const void* bytes, size_t n) {
  if (bytes != nullptr && n != 0) ASAN_UNPOISON_MEMORY_REGION(bytes, n);
}
#else
void ArenaPoison(const void*, size_t) {}
void ArenaUnpoison(const void*, size_t) {}
#endif

ArenaAllocator::ArenaAllocator(LibraryContext* owner, uint32_t size, uint32_t threshold)
    : blockSize(std::max<uint32_t>(size, 1)),
      // A request below the threshold must fit in a fresh block.
      largeThreshold(std::min(std::max<uint32_t>(threshold, 1), blockSize)),
      context(owner) {
  baseScope.Open(this);
  node.Register(context, &DestroyNode);
}

void ArenaAllocator::DestroyNode(CleanupNode* node) {
  reinterpret_cast<ArenaAllocator*>(node)->Destroy();
}

ArenaBlock* ArenaAllocator::NewBlock(uint32_t size) {
  if (size > std::numeric_limits<uint32_t>::max() - kArenaBlockHeader) ThrowRuntime(kOverflow);
  auto* block = static_cast<ArenaBlock*>(AllocOrThrow(context, size + kArenaBlockHeader));
  block->size = size;
  block->next = nullptr;
  totalBytes += size + kArenaBlockHeader;
  ArenaPoison(block->Bytes(), size);
  return block;
}

void ArenaAllocator::FreeBlock(ArenaBlock* block) {
  totalBytes -= block->size + kArenaBlockHeader;
  ArenaUnpoison(block->Bytes(), block->size);
  LibraryContext* owner = context != nullptr ? context : GetDefaultContext();
  owner->memory.Free(block);
}

void* ArenaAllocator::Alloc(size_t n) {
  constexpr size_t kLargest = std::numeric_limits<uint32_t>::max() - kArenaBlockHeader;
  if (n > kLargest) ThrowRuntime(kOverflow);
  // A zero-byte request still gets a distinct address.
  const uint32_t rounded = static_cast<uint32_t>(
      std::max<size_t>((n + kArenaAlignment - 1) & ~size_t{kArenaAlignment - 1}, kArenaAlignment));
  if (rounded <= remaining) {
    uint8_t* result = bump;
    bump += rounded;
    remaining -= rounded;
    ArenaUnpoison(result, rounded);
    return result;
  }
  if (rounded >= largeThreshold) {
    ArenaBlock* block = NewBlock(rounded);
    block->next = largeBlocks;
    largeBlocks = block;
    ArenaUnpoison(block->Bytes(), rounded);
    return block->Bytes();
  }
  ArenaBlock* block = freeBlocks;
  if (block != nullptr) {
    freeBlocks = block->next;
  } else {
    block = NewBlock(blockSize);
  }
  // The rest of the old current block is abandoned until its scope ends.
  block->next = blocks;
  blocks = block;
  bump = block->Bytes() + rounded;
  remaining = block->size - rounded;
  ArenaUnpoison(block->Bytes(), rounded);
  return block->Bytes();
}

void ArenaAllocator::FreeSpareBlocks() {
  while (freeBlocks != nullptr) {
    ArenaBlock* block = freeBlocks;
    freeBlocks = block->next;
    FreeBlock(block);
  }
}

void ArenaAllocator::ReleaseAllScopes() {
  // Normally only the base scope is open here; scopes left open inside it
  // are released too, innermost first, so that nothing they hold leaks.
  while (innermostScope != nullptr) innermostScope->Release();
}

void ArenaAllocator::Reset() {
  ReleaseAllScopes();
  FreeSpareBlocks();
  baseScope.Open(this);
}

void ArenaAllocator::Destroy() {
  ReleaseAllScopes();
  FreeSpareBlocks();
  // Blocks taken after the base scope was released have no scope to give
  // them back.
  for (ArenaBlock** list : {&blocks, &largeBlocks}) {
    while (*list != nullptr) {
      ArenaBlock* block = *list;
      *list = block->next;
      FreeBlock(block);
    }
  }
  bump = nullptr;
  remaining = 0;
  node.Unlink();
}

}  // namespace runtime
