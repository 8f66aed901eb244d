#pragma once
// The [min, max] extent of a set of items, widened item by item, with a
// flag that records whether any item widened it.
#include <cstdint>

namespace runtime {

struct SpanRange {
  int32_t min = INT32_MAX;
  int32_t max = INT32_MIN;
  bool changed = false;

  // Widens the range to cover [low, high]; sets `changed` when it grew.
  void Include(int32_t low, int32_t high) {
    if (low < min) {
      min = low;
      changed = true;
    }
    if (high > max) {
      max = high;
      changed = true;
    }
  }
  bool IsEmpty() const { return min > max; }
};

}  // namespace runtime
