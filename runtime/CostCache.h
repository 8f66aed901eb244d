#pragma once
// A keyed cache of items that are expensive to build: fonts, colour
// transforms, functions, cross-reference blocks, object streams, page
// content. Each entry remembers how long its item took to build and how
// many bytes it holds, so that the context's cache manager can evict the
// items cheapest to rebuild first. Items are counted; the cache holds one
// count, and an item also held elsewhere is never evicted.
//
// This is the untyped core; ObjectCache puts typed keys, items and the
// get-or-create operation on top.
#include <cstdint>

#include "runtime/CacheEntry.h"
#include "runtime/CleanupNode.h"

namespace runtime {

class CacheManager;
class LibraryContext;

class CostCache {
 public:
  // Three-way compare of a looked-up key with an entry's key.
  using KeyCompare = int (*)(const void* key, const void* entryKey);
  // Gives the cache's count of an item back (destroying it at zero).
  using ItemRelease = void (*)(LibraryContext* context, void* item);
  // Whether only the cache holds the item.
  using CanEvict = bool (*)(const void* item);
  // The score of an entry: higher means keep longer.
  using CostFunction = float (*)(const void* item, uint64_t buildTicks, uint32_t byteSize,
                                 uint32_t age);

  struct Operations {
    uint32_t keySize;
    KeyCompare keyCompare;
    ItemRelease itemRelease;
    CanEvict canEvict;
    CostFunction cost;  // null: DefaultCost
  };

  // An empty cache, linked into the context's cache manager.
  CostCache(LibraryContext* context, const Operations& operations);
  ~CostCache() { Destroy(); }
  CostCache(const CostCache&) = delete;
  CostCache& operator=(const CostCache&) = delete;

  // Releases every item (in key order) and leaves the manager; harmless
  // when repeated.
  void Destroy();

  // The entry for `key`, or null; `Lookup` also marks it most recently used.
  CacheEntry* Find(const void* key) const;
  CacheEntry* Lookup(const void* key);

  // The two steps of adding a built item. NewEntry allocates (and may
  // raise); Insert does not, so nothing can purge between the final lookup
  // and the insertion. Insert takes over `fresh` and returns the entry that
  // now holds the key: `fresh` with `item` when the key was still absent,
  // else the entry another builder added meanwhile (and `fresh` is freed).
  // The caller gives the cache its count of `item` when `fresh` comes back.
  CacheEntry* NewEntry(const void* key);
  CacheEntry* Insert(CacheEntry* fresh, void* item, uint64_t buildTicks, uint32_t byteSize);

  // Charges an entry for work done on its item after it was added (an item
  // that fills itself as it is used): the ticks and bytes are added to the
  // entry's, saturating, and the manager's byte total follows. False when
  // no entry holds `key`.
  bool UpdateEntryCost(const void* key, uint64_t buildTicks, uint32_t byteSize);

  // Removes an entry and gives its item's count back (the manager's purge).
  void Evict(CacheEntry* entry);
  bool CanEvictEntry(const CacheEntry& entry) const;
  float Score(const CacheEntry& entry, uint32_t age) const;

  bool IsEmpty() const { return root_ == nullptr; }
  uint32_t Count() const { return count_; }
  // In-order walk: the entry with the smallest key, then the next one.
  CacheEntry* First() const;
  static CacheEntry* Next(const CacheEntry* entry);
  LibraryContext* Context() const { return context_; }

  // Build time per byte, weighted down by age on a piecewise-linear
  // logarithmic curve.
  static float DefaultCost(const void* item, uint64_t buildTicks, uint32_t byteSize,
                           uint32_t age);
  // The age weight of the default cost: 32 at age 0 and 1, then about
  // 32 x log2(age) + 32.
  static uint32_t AgeWeight(uint32_t age);

  // Neighbours in the manager's list of caches.
  CostCache* nextCache = nullptr;
  CostCache* previousCache = nullptr;

 private:
  // The cleanup node (its cleanup destroys the cache) and a way back.
  struct Node {
    CleanupNode node;
    CostCache* cache;
  };
  static void Cleanup(CleanupNode* node);

  void TreeInsert(CacheEntry* entry);
  void TreeRemove(CacheEntry* entry);
  void RotateUp(CacheEntry* entry);
  void FreeEntry(CacheEntry* entry);
  // Takes `entry` out of the index and the manager, then releases its item
  // and frees it; the cache is whole again before the release runs.
  void RemoveAndRelease(CacheEntry* entry);
  CacheManager& Manager() const;

  Node node_;
  LibraryContext* context_;
  Operations operations_;
  CacheEntry* root_ = nullptr;
  uint32_t count_ = 0;
  uint32_t randomState_;
  bool linked_ = false;
};

}  // namespace runtime
