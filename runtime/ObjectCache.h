#pragma once
// A typed cost cache: keys of type Key, counted items of type Item, and
// get-or-create. The item's count and destruction follow the same policy as
// CountedRef; the cache holds one count of every item it keeps, and an item
// is evictable while that is its only count.
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "runtime/CostCache.h"
#include "runtime/CountedRef.h"
#include "runtime/Timer.h"

namespace runtime {

// Orders keys by their operator<.
template <class Key>
struct LessKeyOrder {
  static int Compare(const Key& a, const Key& b) { return a < b ? -1 : (b < a ? 1 : 0); }
};

// Orders zero-terminated text keys bytewise; the text lives in the item.
struct TextKeyOrder {
  static int Compare(const char* a, const char* b) {
    const int order = std::strcmp(a, b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
};

template <class Item, class Key, class Policy = MemberCount<Item>,
          class Order = LessKeyOrder<Key>>
class ObjectCache {
  static_assert(std::is_trivially_copyable_v<Key> && sizeof(Key) <= kCacheKeyBytes,
                "keys are copied into the entry");

 public:
  using Ref = CountedRef<Item, Policy>;
  // What a builder hands back: the new item (its first count) and the
  // bytes to charge for it.
  struct Built {
    Ref item;
    uint32_t byteSize;
  };

  explicit ObjectCache(LibraryContext* context, CostCache::CostFunction cost = nullptr)
      : cache_(context, CostCache::Operations{sizeof(Key), &CompareKeys, &ReleaseItem,
                                              &CanEvictItem, cost}) {}

  // The item for `key`, built by `build()` (returning Built) on a miss. The
  // build is timed in performance-counter ticks. If another thread added the
  // key while this build yielded, that item is returned and this one is
  // released. A throw from the build caches nothing, and so does a build
  // that hands back no item (the result is then an empty holder).
  template <class Build>
  Ref Get(const Key& key, Build&& build) {
    LibraryContext* context = cache_.Context();
    if (CacheEntry* hit = cache_.Lookup(&key)) {
      return Ref::Share(context, static_cast<Item*>(hit->item));
    }
    Timer timer;
    Timer::StartOnce(timer);
    Built built = std::forward<Build>(build)();
    const uint64_t ticks = static_cast<uint64_t>(timer.ElapsedTicks());
    if (!built.item) return Ref();
    CacheEntry* fresh = cache_.NewEntry(&key);
    CacheEntry* entry = cache_.Insert(fresh, built.item.Get(), ticks, built.byteSize);
    if (entry != fresh) return Ref::Share(context, static_cast<Item*>(entry->item));
    Policy::CountUp(built.item.Get());  // the cache's own count
    return std::move(built.item);
  }

  // The item for `key` with one more count, or an empty holder.
  Ref FindRef(const Key& key) const {
    CacheEntry* entry = cache_.Find(&key);
    if (entry == nullptr) return Ref();
    return Ref::Share(cache_.Context(), static_cast<Item*>(entry->item));
  }

  CostCache& Cache() { return cache_; }
  const CostCache& Cache() const { return cache_; }
  static Key KeyOf(const CacheEntry& entry) {
    Key key;
    std::memcpy(&key, entry.key, sizeof(Key));
    return key;
  }

 private:
  static int CompareKeys(const void* key, const void* entryKey) {
    Key a;
    Key b;
    std::memcpy(&a, key, sizeof(Key));
    std::memcpy(&b, entryKey, sizeof(Key));
    return Order::Compare(a, b);
  }
  static void ReleaseItem(LibraryContext* context, void* item) {
    auto* target = static_cast<Item*>(item);
    if (Policy::CountDown(target)) Policy::Destroy(context, target);
  }
  static bool CanEvictItem(const void* item) {
    return Policy::Count(static_cast<const Item*>(item)) == 1;
  }

  CostCache cache_;
};

}  // namespace runtime
