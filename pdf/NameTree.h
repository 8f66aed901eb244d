#pragma once
// Name trees: string keys to values, in leaves ("Names": key, value, ...)
// below inner nodes ("Kids", each child bounded by its "Limits").
#include <cstdint>
#include <string_view>

#include "runtime/ObjectHandle.h"

namespace pdf {

class NameTree {
 public:
  // The value stored under `key`, resolved; the null value when the tree
  // holds no such key. (runtime, 2) for a tree deeper than
  // KeyedTree::kMaxDepth (or one that contains itself), a non-string key
  // in a leaf, a matching key without a value, a node with neither "Names"
  // nor "Kids", or a child without string "Limits".
  static runtime::ObjectHandle Lookup(const runtime::ObjectHandle& node, std::string_view key);

  // Orders keys as their writers sort them: byte by byte as unsigned
  // values, a prefix before the longer string. Returns <0, 0 or >0.
  static int CompareByteRanges(std::string_view a, std::string_view b);
};

}  // namespace pdf
