#pragma once
// The built CMaps of the predefined tables, shared through a cost cache so
// that each is parsed at most once while it stays cached. One cache serves
// a document's fonts and its text extraction.
//
//   fonts::CMapRef map = cmaps.Get(0, "90ms-RKSJ-H", fonts::CMapDestination::kCid);
#include <cstdint>
#include <string_view>

#include "fonts/CMap.h"
#include "runtime/ObjectCache.h"

namespace fonts {

class CMapCache {
 public:
  explicit CMapCache(runtime::LibraryContext* context) : cache_(context) {}

  // The map of the built-in table `name` (found by LookupPredefinedCMap
  // with `selector`), built with `kind`; an empty holder when no table has
  // that name. "Identity-H" and "Identity-V" give the two-byte identity.
  // A build error passes on and caches nothing.
  CMapRef Get(int selector, std::string_view name, CMapDestination kind);

  uint32_t Count() const { return cache_.Cache().Count(); }

 private:
  struct Key {
    const uint8_t* data;
    uint32_t kind;
    bool operator<(const Key& other) const {
      if (data != other.data) return data < other.data;
      return kind < other.kind;
    }
  };
  runtime::ObjectCache<CMap, Key> cache_;
};

}  // namespace fonts
