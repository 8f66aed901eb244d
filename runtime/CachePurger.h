#pragma once
// What the memory context needs of the caches: how many entries they hold
// and a way to ask them to give bytes back. The cache manager implements it.
#include <cstdint>

namespace runtime {

class CachePurger {
 public:
  virtual ~CachePurger() = default;
  virtual uint64_t EntryCount() const = 0;
  // Frees at least `bytes` of cached data where it can; `reorder` asks for
  // the entries' costs to be recomputed first.
  virtual void FreeBytes(uint64_t bytes, bool reorder) = 0;
};

}  // namespace runtime
