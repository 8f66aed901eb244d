#include "runtime/RecordCache.h"

#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

namespace runtime {

RecordItem* RecordCache::MakeItem(const RecordRequest& request, LibraryContext* context) {
  void* block = context->memory.Allocate(sizeof(RecordItem));
  if (block == nullptr) return nullptr;
  return new (block) RecordItem{request.key, 0, request.value};
}

RecordCache::Ref RecordCache::Lookup(const RecordRequest& request) {
  LibraryContext* context = cache_.Cache().Context();
  return cache_.Get(request.key, [&] {
    RecordItem* item = MakeItem(request, context);
    if (item == nullptr) ThrowRuntime(kOutOfMemory);
    return ObjectCache<RecordItem, RecordKey>::Built{Ref::Share(context, item), kRecordBytes};
  });
}

}  // namespace runtime
