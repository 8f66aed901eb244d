#pragma once
// The library context: the memory context, the caches, the scheduler of
// cooperative threads and the few fields the viewer owns and the runtime
// reads. One exists per open viewer; the process remembers the newest as
// the default context for code that is handed none.
#include <cstdint>

#include "runtime/CacheManager.h"
#include "runtime/MemoryContext.h"

namespace runtime {

class HostServices;
class Scheduler;
class ViewerHooks;

// Units of work a cooperative thread may spend before it yields.
inline constexpr int32_t kWorkBudget = 1000000;

class LibraryContext {
 public:
  LibraryContext();
  ~LibraryContext();
  LibraryContext(const LibraryContext&) = delete;
  LibraryContext& operator=(const LibraryContext&) = delete;

  MemoryContext memory;
  // Every cost cache of the context registers its entries here.
  CacheManager cacheManager{this};
  // Where the memory context's purges go: the cache manager (tests may put
  // another purger in its place).
  CachePurger* caches = &cacheManager;
  // The scheduler of cooperative threads, once one exists.
  Scheduler* scheduler = nullptr;
  // The viewer's hooks (work timer); null when there is no viewer.
  ViewerHooks* viewer = nullptr;
  // The host, for the scheduler's input test; null when there is none.
  HostServices* host = nullptr;
  bool threadingEnabled = false;
  int32_t workBudget = kWorkBudget;
};

LibraryContext* GetDefaultContext();
void SetDefaultContext(LibraryContext* context);

}  // namespace runtime
