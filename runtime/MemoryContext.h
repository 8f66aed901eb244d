#pragma once
// The library's allocator over the process heap. It keeps an account of the
// bytes in use against a soft threshold, where it asks the caches to give
// memory back, and a hard limit, beyond which it refuses; when the heap
// itself refuses it purges and retries.
#include <cstddef>
#include <cstdint>

namespace runtime {

class LibraryContext;

// "No limit" and "every block counted", as the 32-bit limits spell them.
inline constexpr uint64_t kNoLimit = 0xFFFFFFFFu;

class MemoryContext {
 public:
  void* Allocate(size_t bytes);
  // A null block is Allocate. On failure the old block stays valid.
  void* Reallocate(void* block, size_t bytes);
  void Free(void* block);

  // Runs a purge when the allocation of `bytes` would pass the soft limit.
  bool NeedsPurge(size_t bytes);
  // Asks the caches for max(minimumPurge, amount) bytes; false when a purge
  // is already running.
  bool PurgeCaches(uint64_t amount, bool reorder);

  // Derives the limits from the host's memory budget (0 or 0xFFFFFFFF: none).
  void SetBudget(uint32_t budget);

  // The heap size of a block as the account counts it.
  static size_t BlockSize(const void* block);

  LibraryContext* owner = nullptr;
  uint64_t bytesInUse = 0;
  uint64_t peakBytes = 0;
  uint8_t purgeBusy = 0;
  uint64_t softLimit = 5000000;
  uint64_t hardLimit = kNoLimit;
  uint64_t largestCountedBlock = 500000;
  uint64_t minimumPurge = 1000000;

 private:
  bool IsCounted(size_t heapSize) const;
  void* RetryAfterPurges(size_t bytes, bool lastPurgeRan, void* oldBlock);
};

// Allocate, with null turned into (runtime, 0).
void* AllocOrThrow(LibraryContext* context, size_t bytes);

}  // namespace runtime
