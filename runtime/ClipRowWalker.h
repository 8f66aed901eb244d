#pragma once
// Walks the painted area of a band region row by row and tells a span
// output, for each x it asks about, how far the run of equal insideness
// that holds x reaches. Within a row the area is a list of x boundaries;
// crossing one toggles between outside and inside, starting outside.
//
// The walker keeps its place between spans of a row, so spans that come
// left to right walk a row's boundaries once; a span to the left of the
// last one, or a new row, starts the row again. A rectangle needs no
// boundary lookup at all.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Rect.h"
#include "runtime/Region.h"

namespace runtime {

class ClipRowWalker {
 public:
  explicit ClipRowWalker(ArenaAllocator& arena);

  // The area is a rectangle.
  void SetRect(const IntRect& rect);
  // The area is the non-zero spans of a band region (adjacent non-zero
  // spans join into one inside run).
  void SetRegion(const Region& region);

  // Positions the walker on row y / the next row.
  void SetRow(int32_t y);
  void NextRow();
  // The end of the run of equal insideness that holds x, at most `limit`;
  // SpanInside tells whether that run is inside.
  int32_t Advance(int32_t x, int32_t limit);
  bool SpanInside() const { return spanInside_; }

  const IntRect& Bounds() const { return bounds_; }
  bool IsSimpleRect() const { return simple_; }

 private:
  enum CursorState : int8_t { kValid = 0, kStale = -1, kNewRow = -2 };
  // The rows [y0, y1) share the boundaries [begin, end).
  struct BandBoundaries {
    int32_t y0;
    int32_t y1;
    uint32_t begin;
    uint32_t end;
  };
  void FindRowBand();

  IntRect bounds_;
  bool simple_ = true;
  bool rowInside_ = false;
  bool spanInside_ = false;
  int32_t lastX_ = INT32_MIN;
  int32_t row_ = 0;
  ArenaVector<int32_t> boundaries_;
  ArenaVector<BandBoundaries> bands_;
  uint32_t band_ = 0;          // the band of the current row, when rowBegin_ < rowEnd_
  uint32_t rowBegin_ = 0;      // the current row's boundaries
  uint32_t rowEnd_ = 0;
  uint32_t cursor_ = 0;
  CursorState state_ = kNewRow;
};

}  // namespace runtime
