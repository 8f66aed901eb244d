#pragma once
// The edge list of the scan converter: buckets kept sorted by span start,
// chain successors absorbing their predecessor's span, and a sentinel edge
// left of every row that heads the active list.
#include <cstdint>

#include "runtime/EdgeList.h"
#include "runtime/EdgeRecord.h"
#include "runtime/Fixed.h"

namespace runtime {

class LibraryContext;

class EdgeScanner : public EdgeList {
 public:
  // Buckets are not allocated yet: first row at the lowest value, none.
  EdgeScanner(LibraryContext* context, LibraryContext* owner);

  int InsertIntoRow(EdgeRecord* head, EdgeRecord* edge) override;
  void Merge(EdgeRecord* successor, Fixed y, EdgeRecord* edge) override;

  LibraryContext* context = nullptr;
  // The context whose thread state carries the work budget.
  LibraryContext* owner = nullptr;
  // A vertical edge at x = -32767.0 over all rows; its span sorts first.
  EdgeRecord sentinel;
  // The next row to advance to; the highest value until buckets exist.
  int32_t nextRow = kFixedMax;
  uint32_t evenOdd = 0;
  uint32_t weightedEdgeCount = 0;
};

}  // namespace runtime
