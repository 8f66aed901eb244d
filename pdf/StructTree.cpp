#include "pdf/StructTree.h"

#include "pdf/Document.h"
#include "pdf/NumberTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {

const char* const StructTree::kStandardTypes[kStandardCount] = {
    "Document", "Part",    "Art",   "Sect",  "Div",       "BlockQuote", "Caption",
    "TOC",      "TOCI",    "Index", "NonStruct", "Private", "P",        "H",
    "H1",       "H2",      "H3",    "H4",    "H5",        "H6",         "L",
    "Lbl",      "LI",      "LBody", "Table", "TR",        "TH",         "TD",
    "THead",    "TBody",   "TFoot", "Span",  "Quote",     "Note",       "Reference",
    "BibEntry", "Code",    "Link",  "Annot", "Ruby",      "RB",         "RT",
    "RP",       "Warichu", "WT",    "WP",    "Figure",    "Formula",    "Form"};

std::string_view RoleTable::Find(std::string_view name) const {
  const auto found = entries_.find(name);
  return found == entries_.end() ? std::string_view() : std::string_view(found->second);
}

void RoleTable::Insert(std::string_view name, std::string_view standard) {
  entries_.insert_or_assign(std::string(name), std::string(standard));
}

RoleTable StructTree::GetRoleTable(Document& document) {
  RoleTable table;
  Read(table, runtime::Dictionary::Get(document.GetTrailer(), "Root"));
  return table;
}

void StructTree::Read(RoleTable& table, const runtime::ObjectHandle& catalog) {
  for (const char* name : kStandardTypes) table.Insert(name, name);
  if (catalog.Tag() != runtime::ObjectTag::kDictionary) return;
  const runtime::ObjectHandle root = runtime::Dictionary::Get(catalog, "StructTreeRoot");
  if (root.Tag() != runtime::ObjectTag::kDictionary) return;
  const runtime::ObjectHandle roleMap = runtime::Dictionary::Get(root, "RoleMap");
  if (roleMap.Tag() != runtime::ObjectTag::kDictionary) return;

  const runtime::ValueList& entries = roleMap->AsDictionary();
  const uint32_t count = entries.count / 2;
  // The step limit shrinks as entries are read, so a chain can only use
  // as many steps as entries remain; a loop runs out of steps.
  uint32_t limit = count;
  for (uint32_t i = 0; i < count; ++i, --limit) {
    const runtime::ObjectValue& key = entries.items[2 * i];
    const runtime::ObjectHandle value = roleMap.Sibling(&entries.items[2 * i + 1]).Resolved();
    const std::string_view name = key.AsName().View();
    const std::string standard =
        ResolveRole(table, roleMap, value->AsName().View(), limit);
    if (!standard.empty()) table.Insert(name, standard);
  }
}

std::string StructTree::ResolveRole(const RoleTable& table, const runtime::ObjectHandle& roleMap,
                                    std::string_view name, uint32_t limit) {
  std::string current(name);
  while (limit != 0) {
    const std::string_view standard = table.Find(current);
    if (!standard.empty()) return std::string(standard);
    --limit;
    const runtime::ObjectHandle next = runtime::Dictionary::Get(roleMap, current);
    if (next.IsNull()) return {};
    current = std::string(next->AsName().View());
  }
  return {};
}

namespace {

// Runs `lookup`, which fills `result`; a malformed structure tree gives the
// null handle: it must not stop the content from playing.
template <class Lookup>
runtime::ObjectHandle LookUpQuietly(Document& document, Lookup&& lookup) {
  runtime::ObjectHandle result;
  runtime::ErrorTrap trap(document.Context());
  if (!trap.Run([&] { lookup(result); })) {
    trap.SetHandled();
    if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
    trap.Close();
    return {};
  }
  return result;
}

}  // namespace

runtime::ObjectHandle StructTree::FindMarkedElement(Document& document, int32_t structParents,
                                                    int32_t mcid) {
  if (structParents < 0 || mcid < 0) return {};
  return ElementAt(document, FindMarkedParents(document, structParents), mcid);
}

runtime::ObjectHandle StructTree::FindMarkedParents(Document& document, int32_t structParents) {
  if (structParents < 0) return {};
  return LookUpQuietly(document, [&](runtime::ObjectHandle& result) {
    const runtime::ObjectHandle catalog = runtime::Dictionary::Get(document.GetTrailer(), "Root");
    if (catalog.Tag() != runtime::ObjectTag::kDictionary) return;
    const runtime::ObjectHandle root = runtime::Dictionary::Get(catalog, "StructTreeRoot");
    if (root.Tag() != runtime::ObjectTag::kDictionary) return;
    const runtime::ObjectHandle parents = runtime::Dictionary::Get(root, "ParentTree");
    if (parents.Tag() != runtime::ObjectTag::kDictionary) return;
    runtime::ObjectHandle marks = NumberTree::Lookup(parents, structParents);
    if (marks.Tag() == runtime::ObjectTag::kArray) result = marks;
  });
}

runtime::ObjectHandle StructTree::ElementAt(Document& document,
                                            const runtime::ObjectHandle& parents, int32_t mcid) {
  if (mcid < 0 || parents.Tag() != runtime::ObjectTag::kArray ||
      static_cast<uint32_t>(mcid) >= runtime::Array::Count(parents)) {
    return {};
  }
  return LookUpQuietly(document, [&](runtime::ObjectHandle& result) {
    runtime::ObjectHandle found = runtime::Array::Get(parents, static_cast<uint32_t>(mcid));
    if (found.Tag() == runtime::ObjectTag::kDictionary) result = found;
  });
}

}  // namespace pdf
