#pragma once
// Maps zero-terminated names to values, kept in an arena: the font code
// indexes a program's glyph names with it and then looks up an encoding's
// names. Entries are collected first and sorted on the first lookup; a
// name added twice keeps its first value.
//
//   runtime::NameMap map(arena);
//   for (uint32_t g = 0; g < count; ++g) map.Insert(names[g], g);
//   const uint32_t* glyph = map.Find("A");
#include <algorithm>
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Comparators.h"

namespace runtime {

class NameMap {
 public:
  struct Entry {
    const char* name;
    uint32_t value;
    uint32_t order;
  };

  NameMap(ArenaAllocator& arena, uint32_t expected = 16) : entries_(arena, expected) {}

  // Empty and null names are not stored. The name must outlive the map.
  void Insert(const char* name, uint32_t value) {
    if (name == nullptr || name[0] == '\0') return;
    entries_.PushBack(Entry{name, value, entries_.Size()});
    sorted_ = false;
  }
  // The value of `name`, or null.
  const uint32_t* Find(const char* name) {
    if (name == nullptr) return nullptr;
    if (!sorted_) {
      // Ties go by insertion order, so a repeated name finds its first entry
      // (std::sort needs no buffer of its own, unlike a stable sort).
      std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        if (CStringLess(a.name, b.name)) return true;
        if (CStringLess(b.name, a.name)) return false;
        return a.order < b.order;
      });
      sorted_ = true;
    }
    const Entry* at = std::lower_bound(
        entries_.begin(), entries_.end(), name,
        [](const Entry& entry, const char* key) { return CStringLess(entry.name, key); });
    if (at == entries_.end() || CStringLess(name, at->name)) return nullptr;
    return &at->value;
  }
  uint32_t Count() const { return entries_.Size(); }

 private:
  ArenaVector<Entry> entries_;
  bool sorted_ = true;
};

}  // namespace runtime
