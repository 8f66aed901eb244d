#include "platform/Heap.h"

#include <malloc.h>

#include <cstdlib>

namespace platform {
namespace {

HeapTestHooks g_hooks;
int g_processHeap;

bool ShouldFail() {
  ++g_hooks.requestCount;
  if (g_hooks.failAlways) return true;
  if (g_hooks.failNext > 0) {
    --g_hooks.failNext;
    return true;
  }
  return false;
}

}  // namespace

HeapTestHooks& GetHeapTestHooks() { return g_hooks; }

HANDLE GetProcessHeap() { return &g_processHeap; }

void* HeapAlloc(HANDLE, uint32_t, size_t bytes) {
  if (ShouldFail()) return nullptr;
  // A zero-byte request still gives a distinct block, as on the device.
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void* HeapReAlloc(HANDLE, uint32_t, void* block, size_t bytes) {
  if (ShouldFail()) return nullptr;
  return std::realloc(block, bytes == 0 ? 1 : bytes);
}

size_t HeapSize(HANDLE, uint32_t, const void* block) {
  if (block == nullptr) return static_cast<size_t>(-1);
  return malloc_usable_size(const_cast<void*>(block));
}

bool HeapFree(HANDLE, uint32_t, void* block) {
  std::free(block);
  return true;
}

}  // namespace platform
