#include "runtime/ArenaObject.h"

#include "runtime/TransientBlocks.h"

namespace runtime {

void ArenaObject::Delete(LibraryContext* context, ArenaObject* object) {
  if (object == nullptr) return;
  object->live = 0;
  object->arena.Destroy();
  DestroyAndFree(context, object);
}

}  // namespace runtime
