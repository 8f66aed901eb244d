#include "runtime/MemoryContext.h"

#include <algorithm>
#include <cstring>

#include "platform/Heap.h"
#include "runtime/CachePurger.h"
#include "runtime/CleanupNode.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

namespace runtime {
namespace {

// Each block starts with a small header that remembers whether it was
// counted, so that a change of `largestCountedBlock` while blocks exist can
// never make the account subtract what it never added.
struct alignas(16) BlockHeader {
  uint8_t counted;
};
constexpr size_t kHeaderSize = sizeof(BlockHeader);
static_assert(kHeaderSize == 16);

constexpr int kPurgeRetries = 8;
// Bookkeeping every cache entry costs, added to a purge request.
constexpr uint64_t kBytesPerCacheEntry = 8;

BlockHeader* HeaderOf(void* block) {
  return reinterpret_cast<BlockHeader*>(static_cast<uint8_t*>(block) - kHeaderSize);
}

void* UserPointer(void* raw) { return static_cast<uint8_t*>(raw) + kHeaderSize; }

struct PurgeBusyGuard {
  CleanupNode node;
  MemoryContext* memory;
  uint8_t saved;

  static void Restore(CleanupNode* node) {
    auto* guard = reinterpret_cast<PurgeBusyGuard*>(node);
    guard->memory->purgeBusy = guard->saved;
    node->Unlink();
  }
};

}  // namespace

bool MemoryContext::IsCounted(size_t heapSize) const {
  return largestCountedBlock == kNoLimit || heapSize <= largestCountedBlock;
}

size_t MemoryContext::BlockSize(const void* block) {
  if (block == nullptr) return 0;
  const void* raw = static_cast<const uint8_t*>(block) - kHeaderSize;
  return platform::HeapSize(platform::GetProcessHeap(), 0, raw);
}

bool MemoryContext::PurgeCaches(uint64_t amount, bool reorder) {
  if (purgeBusy) return false;
  PurgeBusyGuard guard{};
  guard.memory = this;
  guard.saved = purgeBusy;
  guard.node.Register(owner, &PurgeBusyGuard::Restore);
  purgeBusy = 1;
  if (owner != nullptr && owner->caches != nullptr) {
    owner->caches->FreeBytes(std::max(minimumPurge, amount), reorder);
  }
  purgeBusy = guard.saved;
  guard.node.Unlink();
  return true;
}

bool MemoryContext::NeedsPurge(size_t bytes) {
  if (owner == nullptr || !IsCounted(bytes)) return false;
  uint64_t entries = owner->caches != nullptr ? owner->caches->EntryCount() : 0;
  uint64_t need = static_cast<uint64_t>(bytes) + kBytesPerCacheEntry * entries;
  if (bytesInUse + need > softLimit) return PurgeCaches(need, true);
  return false;
}

void* MemoryContext::RetryAfterPurges(size_t bytes, bool lastPurgeRan, void* oldBlock) {
  const size_t total = bytes + kHeaderSize;
  uint64_t amount = bytes;
  for (int attempt = 0; attempt < kPurgeRetries; ++attempt) {
    uint64_t doubled = amount * 2;
    // The request sizes are 32-bit on the device: stop once doubling leaves
    // that range.
    if (doubled > 0xFFFFFFFFu || doubled < amount) break;
    amount = doubled;
    lastPurgeRan = PurgeCaches(amount, !lastPurgeRan);
    void* raw = oldBlock != nullptr
                    ? platform::HeapReAlloc(platform::GetProcessHeap(), 0, oldBlock, total)
                    : platform::HeapAlloc(platform::GetProcessHeap(), 0, total);
    if (raw != nullptr) return raw;
  }
  return nullptr;
}

void* MemoryContext::Allocate(size_t bytes) {
  if (bytes == 0) return nullptr;
  if (bytes > SIZE_MAX - kHeaderSize) return nullptr;
  bool purged = NeedsPurge(bytes);
  if (IsCounted(bytes) && hardLimit != kNoLimit && bytesInUse + bytes > hardLimit) {
    return nullptr;
  }
  const size_t total = bytes + kHeaderSize;
  void* raw = platform::HeapAlloc(platform::GetProcessHeap(), 0, total);
  if (raw == nullptr) raw = RetryAfterPurges(bytes, purged, nullptr);
  if (raw == nullptr) return nullptr;

  size_t size = platform::HeapSize(platform::GetProcessHeap(), 0, raw);
  auto* header = static_cast<BlockHeader*>(raw);
  header->counted = IsCounted(size) ? 1 : 0;
  if (header->counted) {
    bytesInUse += size;
    peakBytes = std::max(peakBytes, bytesInUse);
  }
  return UserPointer(raw);
}

void* MemoryContext::Reallocate(void* block, size_t bytes) {
  if (block == nullptr) return Allocate(bytes);
  if (bytes > SIZE_MAX - kHeaderSize) return nullptr;
  BlockHeader* oldHeader = HeaderOf(block);
  const size_t oldSize = platform::HeapSize(platform::GetProcessHeap(), 0, oldHeader);
  const bool oldCounted = oldHeader->counted != 0;
  bool purged = NeedsPurge(bytes);
  const size_t total = bytes + kHeaderSize;
  void* raw = platform::HeapReAlloc(platform::GetProcessHeap(), 0, oldHeader, total);
  if (raw == nullptr) raw = RetryAfterPurges(bytes, purged, oldHeader);
  if (raw == nullptr) return nullptr;

  size_t newSize = platform::HeapSize(platform::GetProcessHeap(), 0, raw);
  auto* header = static_cast<BlockHeader*>(raw);
  if (oldCounted) bytesInUse -= std::min<uint64_t>(bytesInUse, oldSize);
  header->counted = IsCounted(newSize) ? 1 : 0;
  if (header->counted) bytesInUse += newSize;
  peakBytes = std::max(peakBytes, bytesInUse);
  return UserPointer(raw);
}

void MemoryContext::Free(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = HeaderOf(block);
  if (header->counted) {
    size_t size = platform::HeapSize(platform::GetProcessHeap(), 0, header);
    bytesInUse -= std::min<uint64_t>(bytesInUse, size);
  }
  platform::HeapFree(platform::GetProcessHeap(), 0, header);
}

void MemoryContext::SetBudget(uint32_t budget) {
  if (budget == 0 || budget == 0xFFFFFFFFu) {
    softLimit = 9000000;
    hardLimit = kNoLimit;
    largestCountedBlock = 500000;
    minimumPurge = 2000000;
    return;
  }
  softLimit = static_cast<uint64_t>(budget) * 9 / 10;
  hardLimit = budget;
  largestCountedBlock = kNoLimit;
  minimumPurge = budget / 5;
}

void* AllocOrThrow(LibraryContext* context, size_t bytes) {
  LibraryContext* owner = context != nullptr ? context : GetDefaultContext();
  // A zero-byte request still wants a distinct block here.
  void* block = owner != nullptr ? owner->memory.Allocate(bytes == 0 ? 1 : bytes) : nullptr;
  if (block == nullptr) ThrowError(context, ErrorRecord{kRuntimeDomain, kOutOfMemory, 0});
  return block;
}

}  // namespace runtime
