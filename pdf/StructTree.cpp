#include "pdf/StructTree.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "pdf/Document.h"
#include "pdf/NumberTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace pdf {

const char* const StructTree::kStandardTypes[kStandardCount] = {
    "Document", "Part",    "Art",   "Sect",  "Div",       "BlockQuote", "Caption",
    "TOC",      "TOCI",    "Index", "NonStruct", "Private", "P",        "H",
    "H1",       "H2",      "H3",    "H4",    "H5",        "H6",         "L",
    "Lbl",      "LI",      "LBody", "Table", "TR",        "TH",         "TD",
    "THead",    "TBody",   "TFoot", "Span",  "Quote",     "Note",       "Reference",
    "BibEntry", "Code",    "Link",  "Annot", "Ruby",      "RB",         "RT",
    "RP",       "Warichu", "WT",    "WP",    "Figure",    "Formula",    "Form"};

RoleTable::RoleTable(runtime::LibraryContext* context)
    : arena_(context, 4096, 1024), tree_(context, &CompareName) {}

int RoleTable::CompareName(const void* key, const runtime::TreeNode* node) {
  const std::string_view wanted = *static_cast<const std::string_view*>(key);
  const int order = wanted.compare(static_cast<const Entry*>(node)->name);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string_view RoleTable::Copy(std::string_view text) {
  if (text.empty()) return {};
  auto* bytes = static_cast<char*>(arena_.Alloc(text.size()));
  std::memcpy(bytes, text.data(), text.size());
  return {bytes, text.size()};
}

std::string_view RoleTable::Find(std::string_view name) const {
  const runtime::TreeNode* found = tree_.Find(&name);
  return found == nullptr ? std::string_view() : static_cast<const Entry*>(found)->standard;
}

void RoleTable::Insert(std::string_view name, std::string_view standard) {
  runtime::Tree::Path path;
  if (tree_.FindWithPath(&path, &name)) {
    static_cast<Entry*>(*path.slot)->standard = Copy(standard);
    return;
  }
  auto* entry = new (arena_.Alloc(sizeof(Entry))) Entry{};
  entry->name = Copy(name);
  entry->standard = Copy(standard);
  tree_.LinkNew(entry, path);
  ++size_;
}

RoleTable* StructTree::GetRoleTable(Document& document) {
  runtime::LibraryContext* context = document.Context();
  RoleTable* table = runtime::NewObject<RoleTable>(context, context);
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] { Read(*table, runtime::Dictionary::Get(document.GetTrailer(), "Root")); })) {
    trap.SetHandled();
    runtime::DestroyAndFree(context, table);
    trap.Rethrow();
  }
  return table;
}

RoleMap::RoleMap(runtime::LibraryContext* context, runtime::ObjectHandle roleMap)
    : map_(std::move(roleMap)), keys_(context, context, 0) {
  const runtime::ValueList& entries = map_->AsDictionary();
  const uint32_t count = entries.count / 2;
  keys_.Reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const std::string_view key = entries.items[2 * i].AsName().View();
    keys_.Append(Key{key.data(), static_cast<uint32_t>(key.size()), 2 * i + 1, 0, 0});
    runtime::ChargeWork(context, runtime::kWorkCostLight);
  }
  const std::span<Key> keys = keys_.Records();
  std::stable_sort(keys.begin(), keys.end(),
                   [](const Key& a, const Key& b) { return View(a) < View(b); });
}

runtime::ObjectHandle RoleMap::Lookup(std::string_view name, int64_t* slot) const {
  const std::span<const Key> keys = keys_.Records();
  const auto found = std::lower_bound(keys.begin(), keys.end(), name,
                                      [](const Key& key, std::string_view wanted) {
                                        return View(key) < wanted;
                                      });
  if (found == keys.end() || View(*found) != name) {
    *slot = -1;
    return {};
  }
  *slot = found - keys.begin();
  return map_.Sibling(&map_->AsDictionary().items[found->item]).Resolved();
}

void StructTree::Read(RoleTable& table, const runtime::ObjectHandle& catalog) {
  for (const char* name : kStandardTypes) table.Insert(name, name);
  if (catalog.Tag() != runtime::ObjectTag::kDictionary) return;
  const runtime::ObjectHandle root = runtime::Dictionary::Get(catalog, "StructTreeRoot");
  if (root.Tag() != runtime::ObjectTag::kDictionary) return;
  runtime::ObjectHandle dictionary = runtime::Dictionary::Get(root, "RoleMap");
  if (dictionary.Tag() != runtime::ObjectTag::kDictionary) return;
  RoleMap roleMap(catalog.Context(), std::move(dictionary));

  const runtime::ValueList& entries = roleMap.Dictionary()->AsDictionary();
  const uint32_t count = entries.count / 2;
  // The step limit shrinks as entries are read, so a chain can only use
  // as many steps as entries remain; a loop runs out of steps.
  uint32_t limit = count;
  for (uint32_t i = 0; i < count; ++i, --limit) {
    const runtime::ObjectValue& key = entries.items[2 * i];
    const runtime::ObjectHandle value =
        roleMap.Dictionary().Sibling(&entries.items[2 * i + 1]).Resolved();
    const std::string_view name = key.AsName().View();
    const std::string_view standard =
        ResolveRole(table, roleMap, value->AsName().View(), limit);
    if (!standard.empty()) table.Insert(name, standard);
  }
}

std::string_view StructTree::ResolveRole(const RoleTable& table, RoleMap& roleMap,
                                         std::string_view name, uint32_t limit) {
  const uint32_t walk = roleMap.NewWalk();
  runtime::LibraryContext* context = roleMap.Dictionary().Context();
  // `holder` keeps the bytes of the name the walk stands at.
  runtime::ObjectHandle holder;
  std::string_view current = name;
  // The keys this walk passed: all of them end nowhere when it does.
  runtime::RecordVector<uint32_t> passed(context, context, 0);
  const auto endsNowhere = [&] {
    for (uint32_t slot : passed.Records()) roleMap.MarkDead(slot);
    return std::string_view();
  };
  while (limit != 0) {
    const std::string_view standard = table.Find(current);
    if (!standard.empty()) return standard;
    --limit;
    runtime::ChargeWork(context, runtime::kWorkCostLight);
    int64_t slot = -1;
    runtime::ObjectHandle next = roleMap.Lookup(current, &slot);
    if (next.IsNull()) return endsNowhere();
    const auto at = static_cast<uint32_t>(slot);
    // A key known to end nowhere, or one this walk has passed: the walk
    // could only fail (the table does not change while it runs).
    if (roleMap.IsDead(at) || roleMap.Visit(at, walk)) return endsNowhere();
    passed.Append(at);
    current = next->AsName().View();
    holder = std::move(next);
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
