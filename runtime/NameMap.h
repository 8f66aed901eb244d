#pragma once
// Maps zero-terminated names to values, kept in an arena: the font code
// indexes a program's glyph names with it and then looks up an encoding's
// names. A name added twice keeps its first value.
//
//   runtime::NameMap map(arena);
//   for (uint32_t g = 0; g < count; ++g) map.Insert(names[g], g);
//   const uint32_t* glyph = map.Find("A");
#include <cstdint>

#include "runtime/Comparators.h"
#include "runtime/SortedArenaMap.h"

namespace runtime {

struct NameOrder {
  // A name key against an entry's name: strcmp order, -1, 0 or 1.
  static int Compare(const char* key, const char* entry) { return CompareCStrings(key, entry); }
};

class NameMap {
 public:
  NameMap(ArenaAllocator& arena, uint32_t expected = 16) : map_(arena, expected) {}

  static int Compare(const char* key, const char* entry) { return NameOrder::Compare(key, entry); }

  // Empty and null names are not stored. The name must outlive the map.
  void Insert(const char* name, uint32_t value) {
    if (name == nullptr || name[0] == '\0') return;
    map_.Insert(name, value);
  }
  // The value of `name`, or null.
  const uint32_t* Find(const char* name) { return name == nullptr ? nullptr : map_.Find(name); }
  uint32_t Count() const { return map_.Count(); }

 private:
  SortedArenaMap<const char*, NameOrder> map_;
};

}  // namespace runtime
