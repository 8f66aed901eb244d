#include "viewer/PageFlagRuns.h"

#include <algorithm>

namespace viewer {

uint32_t PageFlagRuns::FindSlot(int32_t page) const {
  uint32_t lo = 0, hi = runs_.Size() - 1;
  while (lo != hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (page >= runs_[mid].bound) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

uint8_t PageFlagRuns::Find(int32_t page) const {
  // An empty map has no last element to answer with.
  if (runs_.Size() == 0) return 0;
  return runs_[FindSlot(page)].value;
}

void PageFlagRuns::SplitAt(int32_t page) {
  const uint32_t slot = FindSlot(page);
  const int32_t start = slot == 0 ? INT32_MIN : runs_[slot - 1].bound;
  if (start >= page) return;  // a run already starts there
  runs_.Append(Run{page, runs_[slot].value});
  auto runs = runs_.Records();
  std::rotate(runs.begin() + slot, runs.end() - 1, runs.end());
}

void PageFlagRuns::Assign(int32_t from, int32_t to, uint8_t value) {
  if (from >= to) return;
  if (runs_.Size() == 0) runs_.Append(Run{INT32_MAX, 0});
  SplitAt(from);
  if (to != INT32_MAX) SplitAt(to);
  auto runs = runs_.Records();
  int32_t start = INT32_MIN;
  for (Run& run : runs) {
    if (start >= from && run.bound <= to) run.value = value;
    start = run.bound;
  }
  // Merge neighbours of one value; the later run keeps its bound.
  uint32_t kept = 0;
  for (uint32_t i = 0; i < runs.size(); ++i) {
    if (i + 1 < runs.size() && runs[i].value == runs[i + 1].value) continue;
    runs[kept++] = runs[i];
  }
  runs_.Truncate(kept);
}

}  // namespace viewer
