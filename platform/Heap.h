#pragma once
// The device's process heap: HeapAlloc, HeapReAlloc, HeapSize and HeapFree
// on the C library's allocator, with the true usable size of each block.
#include <cstddef>
#include <cstdint>

namespace platform {

using HANDLE = void*;

HANDLE GetProcessHeap();
void* HeapAlloc(HANDLE heap, uint32_t flags, size_t bytes);
void* HeapReAlloc(HANDLE heap, uint32_t flags, void* block, size_t bytes);
// Usable size of a block; (size_t)-1 for a null block, as the device reports.
size_t HeapSize(HANDLE heap, uint32_t flags, const void* block);
bool HeapFree(HANDLE heap, uint32_t flags, void* block);

// Test hooks: make heap requests fail, and count them.
struct HeapTestHooks {
  // The next this-many HeapAlloc / HeapReAlloc calls fail.
  uint32_t failNext = 0;
  // Every HeapAlloc / HeapReAlloc call fails while set.
  bool failAlways = false;
  // Number of HeapAlloc and HeapReAlloc calls made (failed ones included).
  uint64_t requestCount = 0;
};
HeapTestHooks& GetHeapTestHooks();

}  // namespace platform
