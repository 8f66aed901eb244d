#pragma once
// Where a played operation stands in a page's content, and ranges of such
// places with a matrix each. A viewer that shows parts of a page
// rearranged (a column moved beside another on a narrow screen) gives the
// handler a list of segments: only operations inside the current segment
// are painted, moved by the segment's matrix after the CTM.
#include <compare>
#include <cstdint>

#include "runtime/Matrix.h"

namespace content {

// Keys order as their members do, first to last: the mode word (which
// content is played, so the keys of a page and of an annotation never
// mix), the count of operations played, then two words a handler may set
// for places inside one operation (a glyph of a text show, say), which
// start at zero for every operation.
struct ContentKey {
  uint32_t mode = 0;
  uint32_t operation = 0;
  uint32_t words[2] = {};

  friend auto operator<=>(const ContentKey&, const ContentKey&) = default;
};

// The operations from `first` to `last`, both included.
struct ContentSegment {
  ContentKey first;
  ContentKey last;
  runtime::Matrix matrix;
};

// Segments in key order, none overlapping the next. An empty list given
// to a handler paints nothing; no list paints everything.
struct ContentSegmentList {
  const ContentSegment* items = nullptr;
  uint32_t count = 0;
};

}  // namespace content
