#include "color/ColorSpaceCache.h"

#include <cstring>

#include "runtime/PerfFrequency.h"
#include "runtime/TransientBlocks.h"

namespace color {

namespace {

// What the cache holds for one key: the space, and a handle on the keyed
// object that keeps its store (and so the key's addresses) alive.
struct CachedColorSpace {
  CachedColorSpace(const runtime::ObjectHandle& keyObject, ColorSpaceRef built)
      : object(keyObject), space(std::move(built)) {}
  runtime::ObjectHandle object;
  ColorSpaceRef space;
};

int CompareColorSpaceKeys(const void* key, const void* entryKey) {
  const int order = std::memcmp(key, entryKey, sizeof(ColorSpaceCache::Key));
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void ReleaseCachedColorSpace(runtime::LibraryContext* context, void* item) {
  auto* cached = static_cast<CachedColorSpace*>(item);
  // A space that outlives its entry must not point at it.
  if (cached->space) cached->space->SetCacheEntry(nullptr);
  runtime::DestroyAndFree(context, cached);
}

bool CanEvictCachedColorSpace(const void* item) {
  const auto* cached = static_cast<const CachedColorSpace*>(item);
  return !cached->space || cached->space->RefCount() == 1;
}

int64_t ColorCacheTicks() { return runtime::ReadPerfCounter(); }

}  // namespace

ColorSpaceCache::ColorSpaceCache(runtime::LibraryContext* context)
    : cache_(context, runtime::CostCache::Operations{sizeof(Key), &CompareColorSpaceKeys, &ReleaseCachedColorSpace,
                                                     &CanEvictCachedColorSpace, nullptr}) {}

ColorSpaceRef ColorSpaceCache::LookupColorTransform(const runtime::ObjectHandle& object, uint32_t extra,
                                                    Builder build, void* argument) {
  Key key{};
  key.store = object.Store();
  key.value = &object.Value();
  key.extra = extra;
  if (runtime::CacheEntry* hit = cache_.Lookup(&key)) return static_cast<CachedColorSpace*>(hit->item)->space;

  const int64_t start = ColorCacheTicks();
  ColorSpaceRef built = build(argument);
  const int64_t end = ColorCacheTicks();
  if (!built) return built;
  runtime::LibraryContext* context = cache_.Context();
  runtime::CacheEntry* fresh = cache_.NewEntry(&key);
  CachedColorSpace* item = nullptr;
  {
    // The entry is not in the cache yet: free it if the item cannot be had.
    struct EntryGuard {
      runtime::LibraryContext* context;
      runtime::CacheEntry* entry;
      ~EntryGuard() {
        if (entry != nullptr) runtime::DestroyAndFree(context, entry);
      }
    } guard{context, fresh};
    item = runtime::NewObject<CachedColorSpace>(context, object, built);
    guard.entry = nullptr;
  }
  const uint64_t ticks = end > start ? static_cast<uint64_t>(end - start) : 0;
  runtime::CacheEntry* entry = cache_.Insert(fresh, item, ticks, built->MemorySize());
  if (entry != fresh) {
    // Built twice while the first build yielded: the first one stays.
    runtime::DestroyAndFree(context, item);
    return static_cast<CachedColorSpace*>(entry->item)->space;
  }
  built->SetCacheEntry(entry);
  return built;
}

}  // namespace color
