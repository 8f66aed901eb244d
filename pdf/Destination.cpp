#include "pdf/Destination.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "pdf/Document.h"
#include "pdf/LinearizedPages.h"
#include "pdf/NameTree.h"
#include "pdf/PageTree.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

runtime::ObjectHandle Catalog(Document& document) {
  return runtime::Dictionary::Get(document.GetTrailer(), "Root");
}

// The reference an array element holds; object number 0 for a direct
// element.
runtime::ObjectReference ReferenceAt(const runtime::ObjectHandle& array, uint32_t index) {
  const runtime::ValueList& list = array->AsArray();
  if (index >= list.count || !list.items[index].Is(runtime::ObjectTag::kReference)) return {};
  return list.items[index].AsReference();
}

// The fit type's name (element 1), cut to the target's field.
void ReadFit(const runtime::ObjectHandle& destination, DestinationTarget& target) {
  if (runtime::Array::Count(destination) < 2) return;
  const runtime::ObjectHandle fit = runtime::Array::Get(destination, 1);
  if (fit.Tag() != runtime::ObjectTag::kName) return;
  const std::string_view name = fit->AsName().View();
  const size_t length = std::min(name.size(), sizeof(target.fit) - 1);
  std::memcpy(target.fit, name.data(), length);
}

}  // namespace

DestinationTarget Destination::Parse(Document& document, const runtime::ObjectHandle& array,
                                     int32_t defaultPage) {
  const runtime::ObjectHandle destination = array.Resolved().AsArray();
  const runtime::ObjectReference pageReference = ReferenceAt(destination, 0);
  // Without a page object the page is given by number (or not at all).
  if (pageReference.number == 0) return ParseWithPageNumber(destination, defaultPage);
  DestinationTarget target;
  target.pageObject = pageReference.number;
  target.pageIndex = PageIndex(document, pageReference);
  ReadFit(destination, target);
  return target;
}

DestinationTarget Destination::ParseWithPageNumber(const runtime::ObjectHandle& array,
                                                   int32_t defaultPage) {
  const runtime::ObjectHandle destination = array.Resolved().AsArray();
  DestinationTarget target;
  const runtime::ObjectHandle page = runtime::Array::Count(destination) > 0
                                         ? runtime::Array::Get(destination, 0)
                                         : runtime::ObjectHandle();
  if (page.IsNull()) {
    target.pageIndex = defaultPage;
  } else if (page.Tag() == runtime::ObjectTag::kInteger) {
    target.pageIndex = page->AsInteger();
  } else {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  ReadFit(destination, target);
  return target;
}

int32_t Destination::PageIndex(Document& document, const runtime::ObjectReference& page) {
  // A linearised file's hint tables answer without touching the tree; an
  // object they do not know as a page is left to the tree.
  if (LinearizedPages* linearized = document.Linearization()) {
    int32_t index = -1;
    runtime::ErrorTrap trap(document.Context());
    if (!trap.Run([&] { index = linearized->PageIndexOfRef(page); })) {
      trap.SetHandled();
      if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
      trap.Close();
      index = -1;
    }
    if (index >= 0) return index;
  }
  return PageTree::IndexOfPage(document, page);
}

runtime::ObjectHandle Destination::FindNamed(Document& document, std::string_view name) {
  // A progressive source fetches what the lookup needs first.
  LinearizedPages::RequestNamedDests(document);
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
