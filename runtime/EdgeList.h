#pragma once
// Edges bucketed by the pixel row they start in. The scan converter walks
// the buckets row by row; what "inserting into a row" and "merging a chain
// successor" mean is up to the concrete list.
#include <cstdint>
#include <span>

#include "runtime/EdgeRecord.h"
#include "runtime/Fixed.h"
#include "runtime/SpanRange.h"

namespace runtime {

class EdgeList {
 public:
  virtual ~EdgeList() = default;

  // Files `edge` into the non-empty bucket headed by `head`. Non-zero: the
  // edge is placed; zero: the caller links it in front of the head.
  virtual int InsertIntoRow(EdgeRecord* head, EdgeRecord* edge) = 0;
  // `successor` continues the chain of `edge` within the row at y: it takes
  // over what `edge` covered there.
  virtual void Merge(EdgeRecord* successor, Fixed y, EdgeRecord* edge) = 0;

  // Computes the edge's span for `row` and files it into the row's bucket,
  // first walking on along its chain while the edge stays within (or ends
  // in) that row. Returns the insert operation's answer, or 0. A row outside
  // the bucket table files nothing.
  int RowStep(EdgeRecord* edge, int32_t row);
  // Finds, along the chain from `first`, the edge that the current row
  // needs and steps it: the first edge that started above the row and
  // reaches it, or else the first edge starting within the look-ahead rows.
  // Returns the stepped edge, or null.
  EdgeRecord* SeekRow(EdgeRecord* first);
  // Insert operation that keeps each bucket in EdgeRecord::Compare order:
  // when `edge` sorts after `head`, links it after the last record that
  // sorts before or equal to it and returns 1; else returns 0 (the caller
  // puts it first).
  static int InsertSorted(EdgeRecord* head, EdgeRecord* edge);
  // The record of the bucket from `head` after which `edge` belongs: walks
  // on while the next record sorts before or equal to it.
  static EdgeRecord* FindInsertPoint(EdgeRecord* head, const EdgeRecord& edge);
  // Takes the edge's span in the row at y (EdgeRecord::ScanlineSpan) and,
  // unless the edge closes its path, widens `range` (in 16.16 units) by it.
  // Returns the edge's x at y.
  static Fixed AccumulateSpan(SpanRange& range, Fixed y, EdgeRecord& edge);
  // The number of edges filed into the list.
  uint32_t Count() const { return edgeCount; }

  int32_t firstRow = 0;                // row of bucket 0
  int32_t lookAheadRows = 0;
  int32_t currentRow = 0;
  uint32_t edgeCount = 0;
  std::span<EdgeRecord*> buckets;      // per-row bucket heads, owned elsewhere
};

}  // namespace runtime
