#include "pdf/ByteRangeSet.h"

#include <algorithm>

namespace pdf {

void ByteRangeSet::Add(uint64_t start, uint64_t end) {
  if (start >= end) return;
  const std::span<streams::ByteRange> ranges = ranges_.Records();
  const uint32_t size = ranges_.Size();
  // The first range that ends at or after `start` (touching ranges merge).
  uint32_t first = 0;
  while (first < size && ranges[first].end < start) ++first;
  uint32_t last = first;
  while (last < size && ranges[last].start <= end) {
    start = std::min(start, ranges[last].start);
    end = std::max(end, ranges[last].end);
    ++last;
  }
  if (last > first) {
    // A range already covered changes nothing.
    if (last == first + 1 && ranges[first].start == start && ranges[first].end == end) return;
    // Ranges first..last-1 become one: write it in the first slot and close
    // the gap behind it.
    ranges[first] = streams::ByteRange{start, end};
    const uint32_t removed = last - first - 1;
    for (uint32_t i = first + 1; i + removed < size; ++i) ranges[i] = ranges[i + removed];
    ranges_.Truncate(size - removed);
    Changed();
    return;
  }
  ranges_.Append(streams::ByteRange{});
  const std::span<streams::ByteRange> grown = ranges_.Records();
  for (uint32_t i = size; i > first; --i) grown[i] = grown[i - 1];
  grown[first] = streams::ByteRange{start, end};
  Changed();
}

void ByteRangeSet::AddCut(uint64_t start, uint64_t end, uint64_t limit) {
  Add(std::min(start, limit), std::min(end, limit));
}

}  // namespace pdf
