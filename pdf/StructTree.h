#pragma once
// Which standard structure type a tag name stands for: the standard names
// stand for themselves, and the structure tree's "RoleMap" maps a
// document's own names onto them (possibly through other own names).
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "runtime/ObjectHandle.h"

namespace pdf {

class Document;

class RoleTable {
 public:
  // The standard type `name` stands for; empty when it stands for none.
  std::string_view Find(std::string_view name) const;
  void Insert(std::string_view name, std::string_view standard);
  size_t Size() const { return entries_.size(); }
  const std::map<std::string, std::string, std::less<>>& Entries() const { return entries_; }

 private:
  std::map<std::string, std::string, std::less<>> entries_;
};

class StructTree {
 public:
  // The standard structure types, in the order they enter the table.
  static constexpr uint32_t kStandardCount = 49;
  static const char* const kStandardTypes[kStandardCount];

  // A table of the standard names and the document's role map.
  static RoleTable GetRoleTable(Document& document);
  // Fills `table` from the catalog. A role-map value that is not a name is
  // (runtime, 2); keys whose chain ends nowhere (or loops) stay absent.
  static void Read(RoleTable& table, const runtime::ObjectHandle& catalog);
  // Follows `name` through `roleMap` at most `limit` steps to a name the
  // table knows; empty when the chain ends or runs out of steps.
  static std::string ResolveRole(const RoleTable& table, const runtime::ObjectHandle& roleMap,
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
