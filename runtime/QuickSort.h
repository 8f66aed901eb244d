#pragma once
// Sorting and searching arrays of fixed-size elements through a comparator,
// for code that handles records by size rather than by type.
#include <cstddef>
#include <cstdint>
#include <span>

namespace runtime {

// Negative when a sorts before b, positive after, 0 when equal.
using ElementCompare = int (*)(const void* a, const void* b, void* context);
// Negative when the key sorts before the element, positive after, 0 on a match.
using KeyCompare = int (*)(const void* key, const void* element);

// Sorts the elements lo .. hi (inclusive, `size` bytes apart), not stably.
void QuickSort(uint8_t* lo, uint8_t* hi, size_t size, void* context, ElementCompare compare);
// Sorts `count` elements from `base`; one element or none calls no comparator.
void QuickSortRange(void* base, size_t count, size_t size, void* context, ElementCompare compare);
// The element matching `key` in a sorted array, or null.
const void* BinarySearch(const void* key, const void* base, size_t count, size_t size,
                         KeyCompare compare);

}  // namespace runtime
