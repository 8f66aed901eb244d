#include "runtime/EdgeList.h"

namespace runtime {

int EdgeList::RowStep(EdgeRecord* edge, int32_t row) {
  const Fixed y = FixedFromInt(row);
  edge->ScanlineSpan(y);
  edge->next = nullptr;
  while ((edge->direction == EdgeRecord::kFlat || (edge->y1 >> 16) <= row) &&
         edge->chain != nullptr) {
    Merge(edge->chain, y, edge);
    edge = edge->chain;
  }
  edge->next = nullptr;
  // Rows come from edge coordinates: an edge outside the table is dropped
  // rather than written out of bounds.
  const int64_t index = int64_t{row} - firstRow;
  if (index < 0 || index >= static_cast<int64_t>(buckets.size())) return 0;
  EdgeRecord*& head = buckets[static_cast<size_t>(index)];
  if (head == nullptr) {
    head = edge;
    return 0;
  }
  const int answer = InsertIntoRow(head, edge);
  if (answer != 0) return answer;
  edge->next = head;
  head = edge;
  return 0;
}

EdgeRecord* EdgeList::SeekRow(EdgeRecord* first) {
  const int32_t row = currentRow;
  EdgeRecord* edge = first;
  while (edge != nullptr && (edge->y0 >> 16) < row) {
    if ((edge->y1 >> 16) >= row) {
      RowStep(edge, row);
      return edge;
    }
    edge = edge->chain;
  }
  if (edge == nullptr) return nullptr;
  const int32_t top = edge->y0 >> 16;
  if (int64_t{top} < int64_t{row} + lookAheadRows) {
    RowStep(edge, top);
    return edge;
  }
  return nullptr;
}

EdgeRecord* EdgeList::FindInsertPoint(EdgeRecord* head, const EdgeRecord& edge) {
  EdgeRecord* after = head;
  while (after->next != nullptr && EdgeRecord::Compare(*after->next, edge) <= 0) after = after->next;
  return after;
}

int EdgeList::InsertSorted(EdgeRecord* head, EdgeRecord* edge) {
  if (EdgeRecord::Compare(*edge, *head) <= 0) return 0;
  EdgeRecord* after = FindInsertPoint(head, *edge);
  edge->next = after->next;
  after->next = edge;
  return 1;
}

Fixed EdgeList::AccumulateSpan(SpanRange& range, Fixed y, EdgeRecord& edge) {
  const Fixed x = edge.ScanlineSpan(y);
  if (edge.tag == 0) range.Include(edge.left, edge.right);
  return x;
}

}  // namespace runtime
