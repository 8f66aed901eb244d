#pragma once
// A map kept as an array in an arena: entries are collected first and
// sorted on the first lookup, then found by binary search. A key added
// twice keeps its first value. The arena frees the entries, so an error
// unwinding past the map's owner loses nothing. `Order` gives the
// three-way comparison of two keys:
//   static int Compare(Key key, Key entryKey);   // -1, 0 or 1
#include <algorithm>
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"

namespace runtime {

template <class Key, class Order>
class SortedArenaMap {
 public:
  struct Entry {
    Key key;
    uint32_t value;
    uint32_t order;
  };

  SortedArenaMap(ArenaAllocator& arena, uint32_t expected) : entries_(arena, expected) {}

  void Insert(Key key, uint32_t value) {
    entries_.PushBack(Entry{key, value, entries_.Size()});
    sorted_ = false;
  }
  // The value of `key`, or null.
  const uint32_t* Find(Key key) {
    if (!sorted_) {
      // Ties go by insertion order, so a repeated key finds its first entry
      // (std::sort needs no buffer of its own, unlike a stable sort).
      std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        const int order = Order::Compare(a.key, b.key);
        return order != 0 ? order < 0 : a.order < b.order;
      });
      sorted_ = true;
    }
    const Entry* at = std::lower_bound(
        entries_.begin(), entries_.end(), key,
        [](const Entry& entry, Key wanted) { return Order::Compare(entry.key, wanted) < 0; });
    if (at == entries_.end() || Order::Compare(key, at->key) != 0) return nullptr;
    return &at->value;
  }
  uint32_t Count() const { return entries_.Size(); }

 private:
  ArenaVector<Entry> entries_;
  bool sorted_ = true;
};

}  // namespace runtime
