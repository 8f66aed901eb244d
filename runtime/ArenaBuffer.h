#pragma once
// Bytes from an arena with their size: scratch buffers that die with the
// arena's scope. The size is the request rounded up to the arena's
// alignment, all of it usable.
#include <cstdint>

#include "runtime/ArenaAllocator.h"

namespace runtime {

struct ArenaBuffer {
  // No bytes for n = 0; otherwise as ArenaAllocator::Alloc (which raises
  // (runtime, 0) when the arena cannot grow, (runtime, 1) for a size that
  // does not fit).
  ArenaBuffer(ArenaAllocator& arena, uint32_t n) {
    if (n == 0) return;
    const uint64_t rounded = (uint64_t{n} + kArenaAlignment - 1) / kArenaAlignment * kArenaAlignment;
    data = static_cast<uint8_t*>(arena.Alloc(n));
    size = static_cast<uint32_t>(rounded);
  }

  uint8_t* data = nullptr;
  uint32_t size = 0;
};

}  // namespace runtime
