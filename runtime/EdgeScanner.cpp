#include "runtime/EdgeScanner.h"

#include <algorithm>

namespace runtime {

namespace {

constexpr Fixed kSentinelCoordinate = -0x7fff0000;  // -32767.0

}  // namespace

EdgeScanner::EdgeScanner(LibraryContext* libraryContext, LibraryContext* ownerContext)
    : context(libraryContext), owner(ownerContext) {
  firstRow = kFixedLowest;
  sentinel.Init({kSentinelCoordinate, kSentinelCoordinate},
                {kSentinelCoordinate, -kSentinelCoordinate}, 0);
  sentinel.next = nullptr;
  sentinel.left = kFixedMin;
  sentinel.right = kFixedMin;
}

int EdgeScanner::InsertIntoRow(EdgeRecord* head, EdgeRecord* edge) {
  return InsertSorted(head, edge);
}

void EdgeScanner::Merge(EdgeRecord* successor, Fixed y, EdgeRecord* edge) {
  successor->ScanlineSpan(y);
  successor->left = std::min(successor->left, edge->left);
  successor->right = std::max(successor->right, edge->right);
}

}  // namespace runtime
