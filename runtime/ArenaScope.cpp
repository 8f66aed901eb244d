#include "runtime/ArenaScope.h"

#include "runtime/ArenaAllocator.h"

namespace runtime {

void ArenaScope::Open(ArenaAllocator* owner) {
  arena = owner;
  savedBlocks = owner->blocks;
  savedLargeBlocks = owner->largeBlocks;
  savedBump = owner->bump;
  savedRemaining = owner->remaining;
  destructors = nullptr;
  enclosing = owner->innermostScope;
  owner->innermostScope = this;
  // The base scope goes with its arena; an inner one must roll back on a
  // throw by itself.
  if (enclosing != nullptr) node.Register(owner->context, &ReleaseNode);
}

void ArenaScope::ReleaseNode(CleanupNode* node) { reinterpret_cast<ArenaScope*>(node)->Release(false); }

void ArenaScope::Release(bool poison) {
  if (arena == nullptr) {
    node.Unlink();
    return;
  }
  ArenaAllocator& owner = *arena;
  // Scopes opened inside this one and still open go first.
  while (owner.innermostScope != nullptr && owner.innermostScope != this) {
    owner.innermostScope->Release(poison);
  }
  // Objects first: their destructors may still read arena memory.
  while (destructors != nullptr) {
    CleanupNode* head = destructors;
    if (head->cleanup != nullptr) head->cleanup(head);
    if (destructors == head) head->Unlink();
  }
  while (owner.blocks != savedBlocks && owner.blocks != nullptr) {
    ArenaBlock* block = owner.blocks;
    owner.blocks = block->next;
    block->next = owner.freeBlocks;
    owner.freeBlocks = block;
    if (poison) ArenaPoison(block->Bytes(), block->size);
  }
  // Keep at most two spare blocks, so that a loop opening and closing a
  // scope does not go to the heap each round.
  int spare = 0;
  for (ArenaBlock* block = owner.freeBlocks; block != nullptr; block = block->next) ++spare;
  while (spare > kArenaSpareBlocks) {
    ArenaBlock* block = owner.freeBlocks;
    owner.freeBlocks = block->next;
    owner.FreeBlock(block);
    --spare;
  }
  while (owner.largeBlocks != savedLargeBlocks && owner.largeBlocks != nullptr) {
    ArenaBlock* block = owner.largeBlocks;
    owner.largeBlocks = block->next;
    owner.FreeBlock(block);
  }
  owner.bump = savedBump;
  owner.remaining = savedRemaining;
  // What the scope handed out in the block it returns to is unused again.
  if (poison) ArenaPoison(savedBump, savedRemaining);
  if (owner.innermostScope == this) owner.innermostScope = enclosing;
  arena = nullptr;
  node.Unlink();
}

}  // namespace runtime
