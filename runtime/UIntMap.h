#pragma once
// Maps unsigned 32-bit keys (character codes, CIDs) to values, kept in an
// arena. A key added twice keeps its first value.
//
//   runtime::UIntMap map(arena);
//   map.Insert(cid, width);
//   const uint32_t* found = map.Find(cid);
#include <cstdint>

#include "runtime/Comparators.h"
#include "runtime/SortedArenaMap.h"

namespace runtime {

struct UIntOrder {
  static int Compare(uint32_t key, uint32_t entry) { return ThreeWay(key, entry); }
};

class UIntMap {
 public:
  UIntMap(ArenaAllocator& arena, uint32_t expected = 16) : map_(arena, expected) {}

  // An unsigned key against an entry's key: -1, 0 or 1.
  static int Compare(uint32_t key, uint32_t entry) { return UIntOrder::Compare(key, entry); }

  void Insert(uint32_t key, uint32_t value) { map_.Insert(key, value); }
  // The value of `key`, or null.
  const uint32_t* Find(uint32_t key) { return map_.Find(key); }
  uint32_t Count() const { return map_.Count(); }

 private:
  SortedArenaMap<uint32_t, UIntOrder> map_;
};

}  // namespace runtime
