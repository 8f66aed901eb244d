#include "pdf/Destination.h"

#include <cstdint>
#include <cstring>

#include "pdf/Document.h"
#include "pdf/NameTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

runtime::ObjectHandle Catalog(Document& document) {
  return runtime::Dictionary::Get(document.GetTrailer(), "Root");
}

// The object number an array element refers to; 0 for a direct element.
uint32_t ReferencedNumber(const runtime::ObjectHandle& array, uint32_t index) {
  const runtime::ValueList& list = array->AsArray();
  if (index >= list.count || !list.items[index].Is(runtime::ObjectTag::kReference)) return 0;
  return list.items[index].AsReference().number;
}

}  // namespace

DestinationTarget Destination::Parse(Document& document, const runtime::ObjectHandle& array,
                                     int32_t defaultPage) {
  const runtime::ObjectHandle destination = array.Resolved().AsArray();
  const uint32_t count = runtime::Array::Count(destination);
  DestinationTarget target;
  const uint32_t pageNumber = ReferencedNumber(destination, 0);
  const runtime::ObjectHandle page =
      count > 0 ? runtime::Array::Get(destination, 0) : runtime::ObjectHandle();
  if (pageNumber != 0) {
    target.pageObject = pageNumber;
    target.pageIndex = PageIndex(document, pageNumber);
  } else if (page.IsNull()) {
    target.pageIndex = defaultPage;
  } else if (page.Tag() == runtime::ObjectTag::kInteger) {
    target.pageIndex = page->AsInteger();
  } else {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (count > 1) {
    const runtime::ObjectHandle fit = runtime::Array::Get(destination, 1);
    if (fit.Tag() == runtime::ObjectTag::kName) {
      const std::string_view name = fit->AsName().View();
      const size_t length = name.size() < sizeof(target.fit) - 1 ? name.size()
                                                                  : sizeof(target.fit) - 1;
      std::memcpy(target.fit, name.data(), length);
    }
  }
  return target;
}

int32_t Destination::PageIndex(Document& document, uint32_t number) {
  uint32_t generation = 0;
  runtime::ObjectHandle node =
      document.GetObjectAnyGeneration(number, &generation).AsDictionary();
  uint32_t nodeNumber = number;
  int64_t index = 0;
  for (uint32_t depth = 0;; ++depth) {
    if (depth > kMaxPageTreeDepth) runtime::ThrowRuntime(runtime::kMalformed);
    const runtime::ObjectValue& parentValue =
        *runtime::Dictionary::FindByName(node.Value(), "Parent");
    if (parentValue.IsNull()) break;
    if (!parentValue.Is(runtime::ObjectTag::kReference)) runtime::ThrowRuntime(runtime::kMalformed);
    const uint32_t parentNumber = parentValue.AsReference().number;
    const runtime::ObjectHandle parent = runtime::Dictionary::Get(node, "Parent").AsDictionary();
    const runtime::ObjectHandle kids = runtime::Dictionary::GetRequired(parent, "Kids").AsArray();
    const uint32_t count = runtime::Array::Count(kids);
    bool found = false;
    for (uint32_t i = 0; i < count && !found; ++i) {
      if (ReferencedNumber(kids, i) == nodeNumber) {
        found = true;
        break;
      }
      const runtime::ObjectHandle kid = runtime::Array::Get(kids, i);
      if (kid.Tag() != runtime::ObjectTag::kDictionary) continue;
      // An inner node counts its leaves; anything else is one page.
      const bool inner = !runtime::Dictionary::Get(kid, "Kids").IsNull();
      const int32_t pages = inner ? runtime::Dictionary::GetIntegerOr(kid, "Count", 0) : 1;
      if (pages > 0) index += pages;
      if (index > INT32_MAX) runtime::ThrowRuntime(runtime::kMalformed);
    }
    if (!found) runtime::ThrowRuntime(runtime::kMalformed);
    node = parent;
    nodeNumber = parentNumber;
  }
  return static_cast<int32_t>(index);
}

runtime::ObjectHandle Destination::FindNamed(Document& document, std::string_view name) {
  const runtime::ObjectHandle catalog = Catalog(document);
  if (catalog.Tag() != runtime::ObjectTag::kDictionary) return {};
  const runtime::ObjectHandle dests = runtime::Dictionary::Get(catalog, "Dests");
  if (dests.Tag() == runtime::ObjectTag::kDictionary) {
    runtime::ObjectHandle found = runtime::Dictionary::Get(dests, name);
    if (!found.IsNull()) return found;
  }
  const runtime::ObjectHandle names = runtime::Dictionary::Get(catalog, "Names");
  if (names.Tag() != runtime::ObjectTag::kDictionary) return {};
  const runtime::ObjectHandle tree = runtime::Dictionary::Get(names, "Dests");
  if (tree.Tag() != runtime::ObjectTag::kDictionary) return {};
  return NameTree::Lookup(tree, name);
}

DestinationTarget Destination::Resolve(Document& document, const runtime::ObjectHandle& value,
                                       int32_t defaultPage) {
  runtime::ObjectHandle current = value.Resolved();
  for (uint32_t step = 0; step <= kMaxIndirections; ++step) {
    switch (current.Tag()) {
      case runtime::ObjectTag::kArray:
        return Parse(document, current, defaultPage);
      case runtime::ObjectTag::kName:
        current = FindNamed(document, current->AsName().View());
        break;
      case runtime::ObjectTag::kString:
        current = FindNamed(document, current->AsString().View());
        break;
      case runtime::ObjectTag::kDictionary:
        current = runtime::Dictionary::Get(current, "D");
        break;
      case runtime::ObjectTag::kNull:
        return {};
      default:
        runtime::ThrowRuntime(runtime::kMalformed);
    }
  }
  runtime::ThrowRuntime(runtime::kMalformed);
}

}  // namespace pdf
