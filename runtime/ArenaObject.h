#pragma once
// A heap object that owns an arena: built with NewObject, deleted with
// ArenaObject::Delete, which destroys the arena before the object's block
// goes back to the heap.
#include <cstdint>

#include "runtime/ArenaAllocator.h"

namespace runtime {

class ArenaObject {
 public:
  ArenaObject(LibraryContext* context, uint32_t blockSize, uint32_t largeThreshold)
      : arena(context, blockSize, largeThreshold) {}
  virtual ~ArenaObject() = default;
  ArenaObject(const ArenaObject&) = delete;
  ArenaObject& operator=(const ArenaObject&) = delete;

  // Clears the live flag, destroys the arena, then the object, and frees
  // its block. Harmless on null.
  static void Delete(LibraryContext* context, ArenaObject* object);

  bool IsLive() const { return live != 0; }

  uint8_t live = 1;
  ArenaAllocator arena;
};

}  // namespace runtime
