#include "runtime/CacheManager.h"

#include <algorithm>
#include <cmath>

#include "runtime/CleanupNode.h"
#include "runtime/CostCache.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {
namespace {

// Keeps `purgeBusy` set for one purge and clears it however the purge
// ends, so that an error in an item's release cannot leave the caches
// unpurgeable for good.
struct PurgeBusyGuard {
  CleanupNode node;
  CacheManager* manager;

  explicit PurgeBusyGuard(CacheManager* owner) : manager(owner) {
    manager->purgeBusy = 1;
    node.Register(owner->context, &Clear);
  }
  ~PurgeBusyGuard() { Clear(&node); }
  static void Clear(CleanupNode* raw) {
    reinterpret_cast<PurgeBusyGuard*>(raw)->manager->purgeBusy = 0;
    raw->Unlink();
  }
};

struct ScoredEntry {
  CacheEntry* entry;
  float score;
};

// The score array of a re-scoring, freed however the re-scoring ends.
struct ScoreArray {
  LibraryContext* context;
  ScoredEntry* items;
  ~ScoreArray() { context->memory.Free(items); }
};

void Unlink(CacheListLink* link) {
  link->newer->older = link->older;
  link->older->newer = link->newer;
  link->newer = link->older = nullptr;
}

}  // namespace

CacheManager::CacheManager(LibraryContext* owner) : context(owner) {
  newest_.older = &oldest_;
  oldest_.newer = &newest_;
}

void CacheManager::MoveToNewest(CacheListLink* entry) {
  if (entry->newer != nullptr) Unlink(entry);
  entry->older = newest_.older;
  entry->newer = &newest_;
  newest_.older->newer = entry;
  newest_.older = entry;
}

void CacheManager::Register(CacheEntry* entry) {
  MoveToNewest(entry);
  entry->sequenceNo = ++sequence;
  ++entryCount;
  cachedBytes += entry->byteSize;
  peakCachedBytes = std::max(peakCachedBytes, cachedBytes);
}

void CacheManager::Unregister(CacheEntry* entry) {
  Unlink(entry);
  --entryCount;
  cachedBytes -= std::min<uint64_t>(cachedBytes, entry->byteSize);
}

void CacheManager::LinkCache(CostCache* cache) {
  cache->previousCache = nullptr;
  cache->nextCache = caches;
  if (caches != nullptr) caches->previousCache = cache;
  caches = cache;
}

void CacheManager::UnlinkCache(CostCache* cache) {
  if (cache->previousCache != nullptr) {
    cache->previousCache->nextCache = cache->nextCache;
  } else if (caches == cache) {
    caches = cache->nextCache;
  }
  if (cache->nextCache != nullptr) cache->nextCache->previousCache = cache->previousCache;
  cache->nextCache = cache->previousCache = nullptr;
}

void CacheManager::FreeBytes(uint64_t bytes, bool reorder) {
  const uint64_t target = cachedBytes > bytes ? cachedBytes - bytes : 0;
  uint64_t before = cachedBytes;
  PurgeTo(target, reorder);
  // Evicting one item can leave others held only by their cache: go round
  // again while rounds still free something.
  while (cachedBytes > target && cachedBytes < before) {
    before = cachedBytes;
    PurgeTo(target, false);
  }
}

uint64_t CacheManager::PurgeTo(uint64_t target, bool rescore) {
  if (purgeBusy) return cachedBytes;
  PurgeBusyGuard busy(this);
  if (rescore) Rescore();
  EvictDownTo(target);
  return cachedBytes;
}

void CacheManager::Rescore() {
  uint64_t count = 0;
  for (CostCache* cache = caches; cache != nullptr; cache = cache->nextCache) {
    count += cache->Count();
  }
  if (count == 0 || count > resortLimit) return;
  // Re-scoring is an optimisation: if it cannot get its array, the purge
  // goes on in order of use. Only cancellation passes.
  CatchAllExceptCancel(context, [&] {
    ScoreArray scores{context, nullptr};
    scores.items = static_cast<ScoredEntry*>(AllocOrThrow(context, sizeof(ScoredEntry) * count));
    uint64_t filled = 0;
    for (CacheEntry* entry = Oldest(); entry != nullptr && filled < count;
         entry = Newer(entry)) {
      float score = entry->cache->Score(*entry, sequence - entry->sequenceNo);
      // A NaN would break the sort's ordering; count it as worthless.
      if (std::isnan(score)) score = 0.0f;
      scores.items[filled++] = {entry, score};
    }
    std::sort(scores.items, scores.items + filled, [](const ScoredEntry& a, const ScoredEntry& b) {
      if (a.score != b.score) return a.score < b.score;
      return a.entry->sequenceNo < b.entry->sequenceNo;
    });
    // Cheapest first to the newest end: it ends up next to the oldest end,
    // where eviction starts.
    for (uint64_t i = 0; i < filled; ++i) MoveToNewest(scores.items[i].entry);
  });
}

void CacheManager::EvictDownTo(uint64_t target) {
  CacheEntry* entry = Oldest();
  while (cachedBytes > target && entry != nullptr) {
    if (!entry->cache->CanEvictEntry(*entry)) {
      entry = Newer(entry);
      continue;
    }
    CacheEntry* const next = Newer(entry);
    const uint64_t countBefore = entryCount;
    entry->cache->Evict(entry);
    // The walk goes on from where it stood: starting again from the oldest
    // end would step over every held entry there once per eviction. Only
    // when the release took other entries with it (an item can own a
    // cache) may `next` be gone, and the walk starts again.
    entry = entryCount + 1 == countBefore ? next : Oldest();
  }
}

}  // namespace runtime
