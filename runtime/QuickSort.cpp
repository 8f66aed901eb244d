#include "runtime/QuickSort.h"

#include <algorithm>
#include <cstring>

namespace runtime {
namespace {

// Exchanges two elements through a small buffer, piece by piece.
void Exchange(uint8_t* a, uint8_t* b, size_t size) {
  constexpr size_t kBuffer = 52;
  uint8_t buffer[kBuffer];
  for (size_t done = 0; done < size; done += kBuffer) {
    const size_t piece = std::min(kBuffer, size - done);
    std::memcpy(buffer, a + done, piece);
    std::memcpy(a + done, b + done, piece);
    std::memcpy(b + done, buffer, piece);
  }
}

// Moves the median of the first, middle and last elements to `hi`, where
// the partition takes its pivot: sorted and reversed input, the common
// case for our callers, then split in halves instead of peeling one
// element per pass.
void PlaceMedianPivot(uint8_t* lo, uint8_t* hi, size_t size, void* context,
                      ElementCompare compare) {
  const size_t count = static_cast<size_t>(hi - lo) / size + 1;
  if (count < 3) return;
  uint8_t* mid = lo + (count / 2) * size;
  // Order the three so that *lo <= *mid <= *hi, then put the median last.
  if (compare(mid, lo, context) < 0) Exchange(mid, lo, size);
  if (compare(hi, lo, context) < 0) Exchange(hi, lo, size);
  if (compare(hi, mid, context) < 0) Exchange(hi, mid, size);
  Exchange(mid, hi, size);
}

}  // namespace

void QuickSort(uint8_t* lo, uint8_t* hi, size_t size, void* context, ElementCompare compare) {
  while (hi > lo) {
    PlaceMedianPivot(lo, hi, size, context, compare);
    uint8_t* const pivot = hi;
    uint8_t* i = lo;
    uint8_t* j = hi - size;
    for (;;) {
      // The pivot itself stops i; j stops at lo.
      while (compare(i, pivot, context) < 0) i += size;
      while (j > lo && compare(j, pivot, context) > 0) j -= size;
      if (i >= j) break;
      Exchange(i, j, size);
      // Step past the exchanged pair: without this, equal keys never move
      // either scan and the partition never ends.
      i += size;
      j -= size;
    }
    if (i != pivot) Exchange(i, pivot, size);
    // Recurse into the smaller side and loop on the larger, so the stack
    // depth stays logarithmic; a tie recurses on the right.
    const size_t left = static_cast<size_t>(i - lo);
    const size_t right = static_cast<size_t>(hi - i);
    if (left < right) {
      if (i > lo) QuickSort(lo, i - size, size, context, compare);
      lo = i + size;
    } else {
      if (i < hi) QuickSort(i + size, hi, size, context, compare);
      if (i == lo) return;
      hi = i - size;
    }
  }
}

void QuickSortRange(void* base, size_t count, size_t size, void* context, ElementCompare compare) {
  if (count < 2 || size == 0) return;
  auto* first = static_cast<uint8_t*>(base);
  QuickSort(first, first + (count - 1) * size, size, context, compare);
}

const void* BinarySearch(const void* key, const void* base, size_t count, size_t size,
                         KeyCompare compare) {
  if (count == 0) return nullptr;
  const auto* elements = static_cast<const uint8_t*>(base);
  // Signed bounds: hi = mid - 1 may go below 0.
  int64_t lo = 0;
  int64_t hi = static_cast<int64_t>(count) - 1;
  while (lo <= hi) {
    const int64_t mid = (lo + hi) / 2;
    const uint8_t* element = elements + static_cast<size_t>(mid) * size;
    const int order = compare(key, element);
    if (order == 0) return element;
    if (order < 0) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  return nullptr;
}

}  // namespace runtime
