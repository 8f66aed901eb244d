#pragma once
// A cost cache of colour spaces keyed by the PDF object they were read
// from (a parameter dictionary, an ICC stream) and one word more (a family
// code and flags). A miss builds the space, timed in performance-counter
// ticks and charged its MemorySize; the space is told its cache entry.
#include <cstdint>
#include <type_traits>
#include <utility>

#include "color/ColorSpace.h"
#include "runtime/CostCache.h"
#include "runtime/ObjectHandle.h"

namespace color {

class ColorSpaceCache {
 public:
  struct Key {
    const void* store;
    const void* value;
    uint32_t extra;
    uint32_t unused;
  };
  // Builds the space for a missing key (an empty reference caches nothing).
  using Builder = ColorSpaceRef (*)(void* argument);

  explicit ColorSpaceCache(runtime::LibraryContext* context);

  // Get or create. A builder that throws leaves the cache unchanged; when
  // the builder yields and the key is added meanwhile, that space wins.
  ColorSpaceRef LookupColorTransform(const runtime::ObjectHandle& object, uint32_t extra, Builder build,
                                     void* argument);
  template <class Build>
  ColorSpaceRef Lookup(const runtime::ObjectHandle& object, uint32_t extra, Build&& build) {
    using Callable = std::remove_reference_t<Build>;
    auto trampoline = [](void* argument) -> ColorSpaceRef { return (*static_cast<Callable*>(argument))(); };
    return LookupColorTransform(object, extra, trampoline, const_cast<void*>(static_cast<const void*>(&build)));
  }

  runtime::CostCache& Cache() { return cache_; }

 private:
  runtime::CostCache cache_;
};

}  // namespace color
