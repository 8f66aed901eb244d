#pragma once
// The walk that name trees and number trees share: leaves hold key, value
// pairs; inner nodes hold "Kids", each child bounded by its "Limits". Only
// the first child that claims a key is searched, so a tree whose children
// repeat one another costs one path down, and the walk is a loop bounded
// by a depth limit rather than a recursion.
#include <cstdint>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ObjectHandle.h"

namespace pdf {

class KeyedTree {
 public:
  // Trees nest at most this deep; a deeper (or self-containing) tree is
  // (runtime, 2).
  static constexpr uint32_t kMaxDepth = 64;

  // `Keys` gives the leaf array's name (kLeaf), whether a leaf key matches
  // (Matches(handle, key), which raises for a key of the wrong type) and
  // whether a child's limits take in the key (Claims(child, key)).
  template <class Keys, class Key>
  static runtime::ObjectHandle Lookup(const runtime::ObjectHandle& tree, const Key& key) {
    runtime::ObjectHandle node = tree.Resolved().AsDictionary();
    for (uint32_t depth = 0;; ++depth) {
      if (depth >= kMaxDepth) runtime::ThrowRuntime(runtime::kMalformed);
      const runtime::ObjectHandle pairs = runtime::Dictionary::Get(node, Keys::kLeaf);
      if (!pairs.IsNull()) {
        // Leaves are searched from the start: writers do not always sort them.
        const runtime::ObjectHandle leaf = pairs.AsArray();
        const uint32_t count = runtime::Array::Count(leaf);
        for (uint32_t i = 0; i < count; i += 2) {
          if (!Keys::Matches(runtime::Array::Get(leaf, i), key)) continue;
          if (i + 1 >= count) runtime::ThrowRuntime(runtime::kMalformed);
          return runtime::Array::Get(leaf, i + 1);
        }
        return {};
      }
      const runtime::ObjectHandle kids = runtime::Dictionary::GetRequired(node, "Kids").AsArray();
      const uint32_t count = runtime::Array::Count(kids);
      uint32_t i = 0;
      for (; i < count; ++i) {
        runtime::ObjectHandle kid = runtime::Array::Get(kids, i).AsDictionary();
        if (Keys::Claims(kid, key)) {
          // Overlapping limits are the writer's fault; the first child
          // that claims the key answers for the whole tree.
          node = kid;
          break;
        }
      }
      if (i == count) return {};
    }
  }
};

}  // namespace pdf
