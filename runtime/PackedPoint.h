#pragma once
// The 6-byte path point of path lists: x and y kept to 1/128 of a unit and
// a 2-bit kind (0 move, 1 line, 2 curve point, 3 close).
//
//   bytes 0-1  integer part of x (bits 16..31), little-endian
//   bytes 2-3  integer part of y
//   byte 4     bits 9..15 of x in bits 1..7; bit 0 = bit 0 of the kind
//   byte 5     bits 9..15 of y in bits 1..7; bit 0 = bit 1 of the kind
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/Rect.h"

namespace runtime {

struct PackedPoint {
  enum Kind : uint8_t { kMove = 0, kLine = 1, kCurve = 2, kClose = 3 };

  uint8_t bytes[6] = {};

  static void Pack(PackedPoint& record, Fixed x, Fixed y, uint8_t kind);
  Fixed X() const;
  Fixed Y() const;
  uint8_t PointKind() const { return (bytes[4] & 1) | ((bytes[5] & 1) << 1); }

  // Bounds of the points in [first, end) of a path list, close points
  // skipped; a run without points gives the empty-bounds start value.
  // `List` is a ChunkedList<PackedPoint>.
  template <class List, class Iterator>
  static Rect BoundsOfRun(const List& list, Iterator first, Iterator end) {
    Rect bounds = kEmptyBoundsStart;
    while (first.index < end.index) {
      const PackedPoint point = list.Read(first);
      if (point.PointKind() != kClose) bounds.IncludePoint(point.X(), point.Y());
    }
    return bounds;
  }
};
static_assert(sizeof(PackedPoint) == 6);

}  // namespace runtime
