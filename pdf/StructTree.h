#pragma once
// Which standard structure type a tag name stands for: the standard names
// stand for themselves, and the structure tree's "RoleMap" maps a
// document's own names onto them (possibly through other own names).
#include <cstdint>
#include <string_view>

#include "runtime/ArenaAllocator.h"
#include "runtime/ObjectHandle.h"
#include "runtime/RecordVector.h"
#include "runtime/Tree.h"

namespace pdf {

class Document;

// Kept in the document's memory: the names in an arena, the entries in a
// tree ordered by name.
class RoleTable {
 public:
  explicit RoleTable(runtime::LibraryContext* context);
  RoleTable(const RoleTable&) = delete;
  RoleTable& operator=(const RoleTable&) = delete;

  // The standard type `name` stands for; empty when it stands for none.
  // The text lives as long as the table.
  std::string_view Find(std::string_view name) const;
  // Maps `name` to `standard`, replacing an earlier mapping of `name`.
  void Insert(std::string_view name, std::string_view standard);
  size_t Size() const { return size_; }
  // Calls visit(name, standard) for each entry, in name order.
  template <class Visit>
  void ForEach(Visit&& visit) const {
    for (const runtime::TreeNode* node = tree_.Begin(); node != nullptr;
         node = runtime::Tree::Next(node)) {
      const auto* entry = static_cast<const Entry*>(node);
      visit(entry->name, entry->standard);
    }
  }

 private:
  struct Entry : runtime::TreeNode {
    std::string_view name;
    std::string_view standard;
  };
  static int CompareName(const void* key, const runtime::TreeNode* node);
  std::string_view Copy(std::string_view text);

  runtime::ArenaAllocator arena_;
  runtime::Tree tree_;
  size_t size_ = 0;
};

// A structure tree's "RoleMap" made searchable: its keys sorted (the first
// of equal keys first, as a dictionary lookup finds it), each with its
// value and whether it is known never to resolve. Kept in the document's
// memory; the map's handle keeps the keys' bytes.
class RoleMap {
 public:
  // (runtime, 2) when a key is no name.
  RoleMap(runtime::LibraryContext* context, runtime::ObjectHandle roleMap);

  // The value of `name` (resolved), or null when the map has no such key;
  // `slot` tells which key it was (-1 when none).
  runtime::ObjectHandle Lookup(std::string_view name, int64_t* slot) const;
  // Marks, or asks, that the walk from the key of `slot` ends nowhere.
  void MarkDead(uint32_t slot) { keys_[slot].dead = 1; }
  bool IsDead(uint32_t slot) const { return keys_[slot].dead != 0; }
  // A number for a new walk over the map.
  uint32_t NewWalk() { return ++walks_; }
  // Stamps the key of `slot` with the walk that visits it; true when that
  // walk had visited it already.
  bool Visit(uint32_t slot, uint32_t walk) {
    const bool seen = keys_[slot].walk == walk;
    keys_[slot].walk = walk;
    return seen;
  }
  uint32_t Size() const { return keys_.Size(); }
  const runtime::ObjectHandle& Dictionary() const { return map_; }

 private:
  struct Key {
    const char* bytes;
    uint32_t length;
    uint32_t item;  // the value's index in the dictionary's list
    uint32_t walk;
    uint32_t dead;
  };
  static std::string_view View(const Key& key) { return {key.bytes, key.length}; }

  runtime::ObjectHandle map_;
  runtime::RecordVector<Key> keys_;
  uint32_t walks_ = 0;
};

class StructTree {
 public:
  // The standard structure types, in the order they enter the table.
  static constexpr uint32_t kStandardCount = 49;
  static const char* const kStandardTypes[kStandardCount];

  // A new table of the standard names and the document's role map, in the
  // document's memory; release it with DestroyAndFree.
  static RoleTable* GetRoleTable(Document& document);
  // Fills `table` from the catalog. A role-map value that is not a name is
  // (runtime, 2); keys whose chain ends nowhere (or loops) stay absent.
  static void Read(RoleTable& table, const runtime::ObjectHandle& catalog);
  // Follows `name` through `roleMap` at most `limit` steps to a name the
  // table knows; empty when the chain ends or runs out of steps. Each step
  // is charged to the work budget. A chain that ends nowhere or comes back
  // on itself marks the keys it passed, so that later walks stop there at
  // once (they could only fail too). The text lives as long as the table.
  static std::string_view ResolveRole(const RoleTable& table, RoleMap& roleMap,
                                      std::string_view name, uint32_t limit);

  // The structure element that the marked content `mcid` of a page or form
  // with "StructParents" `structParents` belongs to: the structure root's
  // "ParentTree" maps the number to an array indexed by MCID. The null
  // handle when either number is negative, when a step is missing, or when
  // the tree is malformed: a broken structure tree must not stop the
  // content from playing.
  static runtime::ObjectHandle FindMarkedElement(Document& document, int32_t structParents,
                                                 int32_t mcid);
  // The two steps of FindMarkedElement, for callers that look up many
  // MCIDs of one page: the parent tree's array for `structParents`, then
  // the element at `mcid` in it. Both give the null handle as above.
  static runtime::ObjectHandle FindMarkedParents(Document& document, int32_t structParents);
  static runtime::ObjectHandle ElementAt(Document& document,
                                         const runtime::ObjectHandle& parents, int32_t mcid);
};

}  // namespace pdf
