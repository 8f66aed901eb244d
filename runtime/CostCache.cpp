#include "runtime/CostCache.h"

#include <algorithm>

#include <bit>
#include <cstring>
#include <new>

#include "runtime/CacheManager.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {
namespace {

LibraryContext* OwnerOf(LibraryContext* context) {
  return context != nullptr ? context : GetDefaultContext();
}

}  // namespace

CostCache::CostCache(LibraryContext* context, const Operations& operations)
    : context_(OwnerOf(context)), operations_(operations) {
  if (operations_.keySize > kCacheKeyBytes) ThrowRuntime(kBeyondLimit);
  // Seeded from the address so that caches do not share one sequence.
  randomState_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this) >> 4) | 1u;
  node_.cache = this;
  node_.node.Register(context_, &Cleanup);
  Manager().LinkCache(this);
  linked_ = true;
}

void CostCache::Cleanup(CleanupNode* node) {
  reinterpret_cast<Node*>(node)->cache->Destroy();
}

CacheManager& CostCache::Manager() const { return context_->cacheManager; }

void CostCache::Destroy() {
  if (linked_) {
    Manager().UnlinkCache(this);
    linked_ = false;
  }
  // One entry at a time, in key order, each taken out completely before its
  // item is released: a release may run arbitrary destructors.
  while (root_ != nullptr) RemoveAndRelease(First());
  node_.node.Unlink();
}

CacheEntry* CostCache::Find(const void* key) const {
  CacheEntry* node = root_;
  while (node != nullptr) {
    const int order = operations_.keyCompare(key, node->key);
    if (order == 0) return node;
    node = order < 0 ? node->left : node->right;
  }
  return nullptr;
}

CacheEntry* CostCache::Lookup(const void* key) {
  CacheEntry* entry = Find(key);
  if (entry != nullptr) Manager().MoveToNewest(entry);
  return entry;
}

CacheEntry* CostCache::NewEntry(const void* key) {
  auto* entry = new (AllocOrThrow(context_, sizeof(CacheEntry))) CacheEntry;
  std::memcpy(entry->key, key, operations_.keySize);
  entry->cache = this;
  return entry;
}

CacheEntry* CostCache::Insert(CacheEntry* fresh, void* item, uint64_t buildTicks,
                              uint32_t byteSize) {
  // Building may have yielded, and another thread may have built and added
  // the same key meanwhile: keep the first and drop this one.
  if (CacheEntry* existing = Find(fresh->key)) {
    FreeEntry(fresh);
    return existing;
  }
  fresh->item = item;
  fresh->buildTicks = buildTicks;
  fresh->byteSize = byteSize;
  Manager().Register(fresh);
  TreeInsert(fresh);
  return fresh;
}

bool CostCache::UpdateEntryCost(const void* key, uint64_t buildTicks, uint32_t byteSize) {
  CacheEntry* entry = Find(key);
  if (entry == nullptr) return false;
  entry->buildTicks = buildTicks > UINT64_MAX - entry->buildTicks ? UINT64_MAX
                                                                  : entry->buildTicks + buildTicks;
  const uint32_t grown = byteSize > UINT32_MAX - entry->byteSize ? UINT32_MAX
                                                                 : entry->byteSize + byteSize;
  CacheManager& manager = Manager();
  manager.cachedBytes += grown - entry->byteSize;
  manager.peakCachedBytes = std::max(manager.peakCachedBytes, manager.cachedBytes);
  entry->byteSize = grown;
  return true;
}

void CostCache::Evict(CacheEntry* entry) { RemoveAndRelease(entry); }

bool CostCache::CanEvictEntry(const CacheEntry& entry) const {
  return operations_.canEvict(entry.item);
}

float CostCache::Score(const CacheEntry& entry, uint32_t age) const {
  CostFunction cost = operations_.cost != nullptr ? operations_.cost : &DefaultCost;
  return cost(entry.item, entry.buildTicks, entry.byteSize, age);
}

void CostCache::RemoveAndRelease(CacheEntry* entry) {
  TreeRemove(entry);
  Manager().Unregister(entry);
  void* item = entry->item;
  FreeEntry(entry);
  operations_.itemRelease(context_, item);
}

void CostCache::FreeEntry(CacheEntry* entry) { context_->memory.Free(entry); }

uint32_t CostCache::AgeWeight(uint32_t age) {
  if (age == 0) return 32;
  const uint32_t leading = static_cast<uint32_t>(std::countl_zero(age));
  const uint32_t rest = age & ~(0x80000000u >> leading);
  return 32 * (33 - leading) - static_cast<uint32_t>(std::countl_zero(rest));
}

float CostCache::DefaultCost(const void*, uint64_t buildTicks, uint32_t byteSize,
                             uint32_t age) {
  const float perByte = 1.0f / static_cast<float>(byteSize > 0 ? byteSize : 1);
  return perByte / static_cast<float>(AgeWeight(age)) * static_cast<float>(buildTicks);
}

CacheEntry* CostCache::First() const {
  CacheEntry* node = root_;
  while (node != nullptr && node->left != nullptr) node = node->left;
  return node;
}

CacheEntry* CostCache::Next(const CacheEntry* entry) {
  if (entry->right != nullptr) {
    CacheEntry* node = entry->right;
    while (node->left != nullptr) node = node->left;
    return node;
  }
  while (entry->parent != nullptr && entry->parent->right == entry) entry = entry->parent;
  return entry->parent;
}

void CostCache::RotateUp(CacheEntry* entry) {
  CacheEntry* parent = entry->parent;
  CacheEntry* grand = parent->parent;
  if (parent->left == entry) {
    parent->left = entry->right;
    if (entry->right != nullptr) entry->right->parent = parent;
    entry->right = parent;
  } else {
    parent->right = entry->left;
    if (entry->left != nullptr) entry->left->parent = parent;
    entry->left = parent;
  }
  parent->parent = entry;
  entry->parent = grand;
  if (grand == nullptr) {
    root_ = entry;
  } else if (grand->left == parent) {
    grand->left = entry;
  } else {
    grand->right = entry;
  }
}

void CostCache::TreeInsert(CacheEntry* entry) {
  // Random priorities keep the tree balanced whatever order keys come in
  // (cross-reference blocks, for one, arrive sorted).
  randomState_ ^= randomState_ << 13;
  randomState_ ^= randomState_ >> 17;
  randomState_ ^= randomState_ << 5;
  entry->priority = randomState_;
  entry->left = entry->right = entry->parent = nullptr;

  CacheEntry** place = &root_;
  CacheEntry* parent = nullptr;
  while (*place != nullptr) {
    parent = *place;
    place = operations_.keyCompare(entry->key, parent->key) < 0 ? &parent->left : &parent->right;
  }
  *place = entry;
  entry->parent = parent;
  while (entry->parent != nullptr && entry->parent->priority < entry->priority) RotateUp(entry);
  ++count_;
}

void CostCache::TreeRemove(CacheEntry* entry) {
  // Rotate the entry down until it has at most one child, then splice it.
  while (entry->left != nullptr && entry->right != nullptr) {
    RotateUp(entry->left->priority > entry->right->priority ? entry->left : entry->right);
  }
  CacheEntry* child = entry->left != nullptr ? entry->left : entry->right;
  if (child != nullptr) child->parent = entry->parent;
  if (entry->parent == nullptr) {
    root_ = child;
  } else if (entry->parent->left == entry) {
    entry->parent->left = child;
  } else {
    entry->parent->right = child;
  }
  entry->left = entry->right = entry->parent = nullptr;
  --count_;
}

}  // namespace runtime
