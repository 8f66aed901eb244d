#pragma once
// A scan-conversion edge: a path segment stored top end first, with its
// direction, its slope and the x span it covers in the current pixel row.
#include <cstdint>

#include "runtime/Fixed.h"

namespace runtime {

struct EdgeRecord {
  // Direction bytes: a segment drawn towards larger y is -1.
  static constexpr uint8_t kDownward = 255;
  static constexpr uint8_t kUpward = 1;
  static constexpr uint8_t kFlat = 0;  // both ends in one pixel row

  EdgeRecord* next = nullptr;   // next edge in the same row bucket
  EdgeRecord* chain = nullptr;  // next edge of the same path chain
  Fixed x0 = 0, y0 = 0;         // top end
  Fixed x1 = 0, y1 = 0;         // bottom end
  Fixed left = 0, right = 0;    // span within the current row
  uint8_t pending = 0;          // 1 until a flat edge's span is delivered
  uint8_t tag = 0;              // the caller's byte
  uint8_t startsInRow = 0;
  uint8_t direction = kFlat;
  Fixed slope = 0;              // dx/dy; 0 for vertical and flat edges

  // Sets the edge up from p to q. A flat edge keeps the bounding box of its
  // two ends.
  void Init(FixedPoint p, FixedPoint q, uint8_t callerTag);
  // The span of the edge within the row that starts at y; returns the
  // edge's x at y (0 for an edge without slope).
  Fixed ScanlineSpan(Fixed y);
  // Negative when a sorts before b in a row bucket, 0 when equal: by the
  // span's left end, then its right end; an edge that closes its path
  // after one that does not; then by direction byte.
  static int Compare(const EdgeRecord& a, const EdgeRecord& b);
};

}  // namespace runtime
