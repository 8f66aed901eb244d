#pragma once
// A Tree of half-open integer ranges [start, end) ordered by start. The
// ranges are kept disjoint by their owner (RangeSet); the tree answers the
// ordered queries.
#include <cstdint>

#include "runtime/Tree.h"

namespace runtime {

struct RangeNode : TreeNode {
  int32_t start = 0;
  int32_t end = 0;
};

class RangeTree {
 public:
  explicit RangeTree(LibraryContext* context) : tree_(context, &CompareStart) {}

  // The range with the greatest start not above `position`, or null.
  RangeNode* Floor(int32_t position) const { return Cast(tree_.FindFloor(&position)); }
  // The range with the smallest start not below `position`, or null.
  RangeNode* Ceiling(int32_t position) const { return Cast(tree_.FindCeiling(&position)); }
  // True when a range holds `position`.
  bool Contains(int32_t position) const {
    const RangeNode* range = Floor(position);
    return range != nullptr && position < range->end;
  }
  void Insert(RangeNode* range) { tree_.InsertOrReplace(range, &range->start); }
  RangeNode* Remove(int32_t start) { return Cast(tree_.RemoveKey(&start)); }

  RangeNode* Begin() const { return Cast(tree_.Begin()); }
  static RangeNode* Next(const RangeNode* range) { return Cast(Tree::Next(range)); }
  void Clear() { tree_.Clear(); }
  bool IsEmpty() const { return tree_.IsEmpty(); }

 private:
  static RangeNode* Cast(TreeNode* node) { return static_cast<RangeNode*>(node); }
  static int CompareStart(const void* key, const TreeNode* node) {
    const int32_t position = *static_cast<const int32_t*>(key);
    const int32_t start = static_cast<const RangeNode*>(node)->start;
    return position < start ? -1 : (position > start ? 1 : 0);
  }

  Tree tree_;
};

}  // namespace runtime
