#include "runtime/RangeSet.h"

#include <algorithm>
#include <limits>
#include <new>

namespace runtime {
namespace {

// The node arena: small blocks, since most sets hold a handful of ranges.
constexpr uint32_t kNodeBlockSize = 1024;
constexpr uint32_t kNodeLargeThreshold = 256;

}  // namespace

RangeSet::RangeSet(LibraryContext* context)
    : context_(context), arena_(context, kNodeBlockSize, kNodeLargeThreshold), tree_(context) {}

RangeSet::RangeSet(LibraryContext* context, int32_t start, int32_t end) : RangeSet(context) {
  Add(start, end);
}

RangeSet::RangeSet(const RangeSet& source) : RangeSet(source.context_) { CopyFrom(source); }

RangeSet& RangeSet::operator=(const RangeSet& source) {
  if (this != &source) {
    Clear();
    CopyFrom(source);
  }
  return *this;
}

void RangeSet::CopyFrom(const RangeSet& source) {
  for (const RangeNode* range = source.Begin(); range != nullptr; range = Next(range)) {
    tree_.Insert(NewNode(range->start, range->end));
  }
}

void RangeSet::Clear() {
  tree_.Clear();
  spare_ = nullptr;
  arena_.Reset();
}

RangeNode* RangeSet::NewNode(int32_t start, int32_t end) {
  void* place = spare_;
  if (spare_ != nullptr) {
    spare_ = static_cast<RangeNode*>(spare_->right);
  } else {
    place = arena_.Alloc(sizeof(RangeNode));
  }
  auto* node = new (place) RangeNode;
  node->start = start;
  node->end = end;
  return node;
}

void RangeSet::Remove(int32_t start) {
  RangeNode* node = tree_.Remove(start);
  if (node == nullptr) return;
  if (removed_ != nullptr) removed_(removedContext_, node);
  node->right = spare_;
  spare_ = node;
}

const RangeNode* RangeSet::Add(int32_t start, int32_t end) {
  if (start >= end) return nullptr;
  RangeNode* before = tree_.Floor(start);
  if (before != nullptr && before->end >= start) {
    if (before->end >= end) return before;  // already covered
  } else {
    before = nullptr;
  }
  // Take the new node first: the allocation may purge caches, and the set
  // must not be caught halfway through a merge when it does.
  RangeNode* node = NewNode(before != nullptr ? before->start : start, end);
  if (before != nullptr) Remove(before->start);
  // Swallow every range that starts inside or right at the end of the new one.
  for (RangeNode* after = tree_.Ceiling(node->start); after != nullptr && after->start <= node->end;
       after = tree_.Ceiling(node->start)) {
    node->end = std::max(node->end, after->end);
    Remove(after->start);
  }
  tree_.Insert(node);
  return node;
}

void RangeSet::Union(const RangeSet& a, const RangeSet& b) {
  if (this == &b) {
    RangeSet copy(b);
    Union(a, copy);
    return;
  }
  if (this != &a) *this = a;
  for (const RangeNode* range = b.Begin(); range != nullptr; range = Next(range)) {
    Add(range->start, range->end);
  }
}

void RangeSet::Difference(const RangeSet& a, const RangeSet& b) {
  if (this == &a || this == &b) {
    RangeSet result(context_);
    result.Difference(a, b);
    *this = result;
    return;
  }
  Clear();
  // The cursor only ever moves forward, so nothing before it is emitted
  // twice and nothing outside a's ranges is emitted at all.
  int32_t cursor = std::numeric_limits<int32_t>::min();
  const RangeNode* cut = b.Begin();
  for (const RangeNode* range = a.Begin(); range != nullptr; range = Next(range)) {
    cursor = std::max(cursor, range->start);
    while (cut != nullptr && cut->end <= cursor) cut = Next(cut);
    while (cursor < range->end) {
      if (cut == nullptr || cut->start >= range->end) {
        Add(cursor, range->end);
        cursor = range->end;
        break;
      }
      Add(cursor, cut->start);  // nothing when the cut starts at or before the cursor
      cursor = std::max(cursor, cut->end);
      // A cut that reaches past this range may still cover the next one.
      if (cursor < range->end) cut = Next(cut);
    }
  }
}

std::vector<Range> RangeSet::Ranges() const {
  std::vector<Range> ranges;
  for (const RangeNode* range = Begin(); range != nullptr; range = Next(range)) {
    ranges.push_back({range->start, range->end});
  }
  return ranges;
}

}  // namespace runtime
