#pragma once
// The cache manager of a library context: every entry of every cache of the
// context on one list from the most to the least recently used, the bytes
// they hold, and the purge that gives memory back by evicting the entries
// cheapest to rebuild. The memory context reaches it through CachePurger
// when an allocation would pass its soft limit.
#include <cstdint>

#include "runtime/CacheEntry.h"
#include "runtime/CachePurger.h"

namespace runtime {

class CostCache;
class LibraryContext;

class CacheManager final : public CachePurger {
 public:
  explicit CacheManager(LibraryContext* context);
  CacheManager(const CacheManager&) = delete;
  CacheManager& operator=(const CacheManager&) = delete;

  uint64_t EntryCount() const override { return entryCount; }
  // Frees `bytes` (or everything that can go), re-scoring first when
  // `reorder` is set; repeats while rounds still free something.
  void FreeBytes(uint64_t bytes, bool reorder) override;

  // Evicts from the least recently used end, skipping items held outside
  // their cache, until at most `target` bytes stay cached. With `rescore`
  // the entries are first put in order of their cost instead of their use.
  // A purge asked for while one runs does nothing. Returns the bytes still
  // cached.
  uint64_t PurgeTo(uint64_t target, bool rescore);

  // Entry bookkeeping for the caches.
  void Register(CacheEntry* entry);
  void Unregister(CacheEntry* entry);
  void MoveToNewest(CacheListLink* entry);
  void LinkCache(CostCache* cache);
  void UnlinkCache(CostCache* cache);

  // The least recently used entry, or null; then towards the newest.
  CacheEntry* Oldest() const { return AsEntry(oldest_.newer); }
  CacheEntry* Newer(const CacheEntry* entry) const { return AsEntry(entry->newer); }

  LibraryContext* context;
  // The last sequence number handed to an entry.
  uint32_t sequence = 0;
  uint64_t cachedBytes = 0;
  uint64_t entryCount = 0;
  // Re-scoring is skipped when more entries than this are cached: its
  // array and sort would cost more than they save.
  uint32_t resortLimit = kDefaultResortLimit;
  uint8_t purgeBusy = 0;
  CostCache* caches = nullptr;
  uint64_t peakCachedBytes = 0;

  static constexpr uint32_t kDefaultResortLimit = 4096;

 private:
  CacheEntry* AsEntry(CacheListLink* link) const {
    return link == &newest_ || link == &oldest_ ? nullptr : static_cast<CacheEntry*>(link);
  }
  void Rescore();
  void EvictDownTo(uint64_t target);

  // Sentinels of the list: the most and the least recently used ends.
  CacheListLink newest_;
  CacheListLink oldest_;
};

}  // namespace runtime
