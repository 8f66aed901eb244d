#pragma once
// The pool of cooperative-thread stacks. Callers see sixteen stacks of
// 16,384 bytes: a larger request is beyond the pool's limit (runtime, 6) and
// a seventeenth concurrent one finds the pool full (runtime, 0). Each slot is
// backed by a separately mapped, larger stack with a guard page below it, so
// that deep calls on one stack can never write into another or into the
// main stack.
#include <cstddef>
#include <cstdint>

#include "platform/Fiber.h"

namespace runtime {

class LibraryContext;

// Logical stack size of a slot, as callers count it.
inline constexpr uint32_t kStackSlotBytes = 16384;
inline constexpr uint32_t kStackSlots = 16;
// Physical bytes behind each logical byte; thresholds measured in logical
// bytes (such as the low-stack limit) scale by it.
inline constexpr size_t kStackScale = platform::kFiberStackBytes / kStackSlotBytes;

class FixedBlockPool {
 public:
  FixedBlockPool() = default;
  ~FixedBlockPool();
  FixedBlockPool(const FixedBlockPool&) = delete;
  FixedBlockPool& operator=(const FixedBlockPool&) = delete;

  // Takes the first free slot for a stack of `bytes` logical bytes. Throws
  // (runtime, 6) for more than a slot holds and (runtime, 0) when every slot
  // is taken or its stack cannot be mapped.
  const platform::FiberStack* Take(LibraryContext* context, uint32_t bytes);
  // Hands a slot's stack back; the stack stays mapped for the next thread.
  void Give(const platform::FiberStack* stack);

  uint32_t FreeSlots() const;

 private:
  struct Slot {
    bool free = true;
    platform::FiberStack stack;
  };
  Slot slots_[kStackSlots];
};

}  // namespace runtime
