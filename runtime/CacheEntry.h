#pragma once
// One cached item as the caches and the cache manager see it. An entry
// carries its own links, both for its cache's ordered index and for the
// context-wide list from the most to the least recently used, so that
// inserting, moving and removing entries never allocates: a purge may run
// inside any allocation, and must never find a cache half-changed.
#include <cstddef>
#include <cstdint>

namespace runtime {

class CostCache;

// The largest key a cache entry holds.
inline constexpr size_t kCacheKeyBytes = 24;

// A place in the context-wide list: `newer` points towards the most
// recently used end, `older` towards the least recently used end.
struct CacheListLink {
  CacheListLink* newer = nullptr;
  CacheListLink* older = nullptr;
};

struct CacheEntry : CacheListLink {
  // Links of the owning cache's index (a binary search tree kept balanced
  // by random priorities).
  CacheEntry* parent = nullptr;
  CacheEntry* left = nullptr;
  CacheEntry* right = nullptr;
  uint32_t priority = 0;

  // The bytes charged for the item.
  uint32_t byteSize = 0;
  // Performance-counter ticks spent building the item.
  uint64_t buildTicks = 0;
  // The manager's sequence number when the entry was registered.
  uint32_t sequenceNo = 0;
  void* item = nullptr;
  CostCache* cache = nullptr;
  alignas(8) unsigned char key[kCacheKeyBytes] = {};
};

}  // namespace runtime
