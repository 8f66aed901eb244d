#pragma once
// A set of integers kept as disjoint, non-touching half-open ranges
// [start, end), with its nodes in an arena of its own. Adding a range merges
// it with every range it overlaps or touches.
#include <cstdint>
#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/RangeTree.h"

namespace runtime {

struct Range {
  int32_t start;
  int32_t end;
  bool operator==(const Range&) const = default;
};

class RangeSet {
 public:
  // Told about every range that a merge takes out of the set.
  using RemovalCallback = void (*)(void* context, const RangeNode* removed);

  explicit RangeSet(LibraryContext* context);
  RangeSet(LibraryContext* context, int32_t start, int32_t end);
  RangeSet(const RangeSet& source);
  RangeSet& operator=(const RangeSet& source);

  // Adds [start, end); returns the node that covers it, or null when the
  // range is empty.
  const RangeNode* Add(int32_t start, int32_t end);
  // This set becomes a's ranges with b's added.
  void Union(const RangeSet& a, const RangeSet& b);
  // This set becomes the parts of a's ranges that b does not cover.
  void Difference(const RangeSet& a, const RangeSet& b);
  void Clear();

  bool Contains(int32_t position) const { return tree_.Contains(position); }
  bool IsEmpty() const { return tree_.IsEmpty(); }
  const RangeNode* Begin() const { return tree_.Begin(); }
  static const RangeNode* Next(const RangeNode* range) { return RangeTree::Next(range); }
  std::vector<Range> Ranges() const;

  void SetRemovalCallback(RemovalCallback callback, void* callbackContext) {
    removed_ = callback;
    removedContext_ = callbackContext;
  }

 private:
  RangeNode* NewNode(int32_t start, int32_t end);
  void Remove(int32_t start);
  void CopyFrom(const RangeSet& source);

  LibraryContext* context_;
  ArenaAllocator arena_;
  RangeTree tree_;
  RangeNode* spare_ = nullptr;  // removed nodes, reused before the arena
  RemovalCallback removed_ = nullptr;
  void* removedContext_ = nullptr;
};

}  // namespace runtime
