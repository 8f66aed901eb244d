#pragma once
// Number trees: integer keys to values, in leaves ("Nums": key, value, ...)
// below inner nodes ("Kids", each child bounded by its "Limits").
#include <cstdint>

#include "runtime/ObjectHandle.h"

namespace pdf {

class NumberTree {
 public:
  // The value stored under `key`, resolved; the null value when the tree
  // holds no such key. (runtime, 2) for a tree deeper than
  // KeyedTree::kMaxDepth (or one that contains itself), a non-integer key
  // in a leaf, a
  // matching key without a value, a node with neither "Nums" nor "Kids", or
  // "Limits" that are not two integers. A child without "Limits" is
  // searched as if its limits held every key.
  static runtime::ObjectHandle Lookup(const runtime::ObjectHandle& node, int32_t key);
};

}  // namespace pdf
