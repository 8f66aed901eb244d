#include "runtime/FixedBlockPool.h"

#include "runtime/ErrorTrap.h"

namespace runtime {

FixedBlockPool::~FixedBlockPool() {
  for (Slot& slot : slots_) platform::UnmapFiberStack(&slot.stack);
}

const platform::FiberStack* FixedBlockPool::Take(LibraryContext* context, uint32_t bytes) {
  if (bytes > kStackSlotBytes) ThrowError(context, ErrorRecord{kRuntimeDomain, kBeyondLimit, 0});
  for (Slot& slot : slots_) {
    if (!slot.free) continue;
    // Stacks are mapped on first use and kept: most sessions need only a few.
    if (slot.stack.mapping == nullptr &&
        !platform::MapFiberStack(platform::kFiberStackBytes, &slot.stack)) {
      break;
    }
    slot.free = false;
    return &slot.stack;
  }
  ThrowError(context, ErrorRecord{kRuntimeDomain, kOutOfMemory, 0});
}

void FixedBlockPool::Give(const platform::FiberStack* stack) {
  for (Slot& slot : slots_) {
    if (&slot.stack != stack) continue;
    platform::ResetFiberStack(slot.stack);
    slot.free = true;
    return;
  }
}

uint32_t FixedBlockPool::FreeSlots() const {
  uint32_t count = 0;
  for (const Slot& slot : slots_) count += slot.free ? 1 : 0;
  return count;
}

}  // namespace runtime
