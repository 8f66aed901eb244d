#include "runtime/TransientBlocks.h"

#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ThreadState.h"

namespace runtime::TransientBlocks {

void ReleaseRecord(CleanupNode* node) {
  auto* record = reinterpret_cast<TransientRecord*>(node);
  if (record->block != nullptr) {
    LibraryContext* owner = record->context != nullptr ? record->context : GetDefaultContext();
    owner->memory.Free(record->block);
    record->block = nullptr;
  }
  ThreadState& state = CurrentThreadState();
  if (state.recordCount > 0) --state.recordCount;
  node->Unlink();
}

void Push(LibraryContext* context, void* block) {
  ThreadState& state = CurrentThreadState();
  if (state.recordCount >= kTransientSlots) {
    // Nesting deeper than the slots would write past them: refuse, and do
    // not leak the block we were asked to protect.
    LibraryContext* owner = context != nullptr ? context : GetDefaultContext();
    if (owner != nullptr) owner->memory.Free(block);
    ThrowRuntime(kBeyondLimit);
  }
  TransientRecord& record = state.records[state.recordCount];
  record.savedHead = state.cleanupHead;
  record.context = context;
  record.block = block;
  record.node = CleanupNode{};
  record.node.Register(context, &ReleaseRecord);
  ++state.recordCount;
}

void Pop(LibraryContext*) {
  ThreadState& state = CurrentThreadState();
  if (state.recordCount == 0) return;
  TransientRecord& record = state.records[state.recordCount - 1];
  // Every node registered since the push belongs to the new object, which
  // now lives on the heap: take the whole run off the chain and dissolve it
  // so that none of them can write into the chain head later.
  CleanupNode* node = state.cleanupHead;
  while (node != nullptr && node != record.savedHead) {
    CleanupNode* below = node->next;
    node->next = nullptr;
    node->backLink = nullptr;
    node = below;
  }
  state.cleanupHead = record.savedHead;
  if (record.savedHead != nullptr) record.savedHead->backLink = &state.cleanupHead;
  record.block = nullptr;
  ReleaseRecord(&record.node);
}

void PopTransfer(LibraryContext* context, ArenaAllocator* arena) {
  ThreadState& state = CurrentThreadState();
  if (state.recordCount == 0) return;
  ArenaScope* scope = arena != nullptr ? arena->InnermostScope() : nullptr;
  if (scope == nullptr) {
    Pop(context);
    return;
  }
  TransientRecord& record = state.records[state.recordCount - 1];
  record.block = nullptr;
  ReleaseRecord(&record.node);
  // What is left above the saved head is the object's own run of nodes.
  CleanupNode* first = state.cleanupHead;
  if (first == nullptr || first == record.savedHead) return;
  CleanupNode* last = first;
  while (last->next != nullptr && last->next != record.savedHead) last = last->next;
  state.cleanupHead = record.savedHead;
  if (record.savedHead != nullptr) record.savedHead->backLink = &state.cleanupHead;
  last->next = scope->destructors;
  if (last->next != nullptr) last->next->backLink = &last->next;
  scope->destructors = first;
  first->backLink = &scope->destructors;
}

}  // namespace runtime::TransientBlocks
