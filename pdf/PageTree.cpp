#include "pdf/PageTree.h"

#include <algorithm>

#include "pdf/DepthBudget.h"
#include "pdf/Document.h"
#include "pdf/LinearizedPages.h"
#include "pdf/PageOrder.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectReference;
using runtime::ObjectTag;

}  // namespace

uint32_t PageTree::RootNumber(Document& document) {
  ObjectHandle catalog = document.GetRoot();
  const runtime::ObjectValue* pages = runtime::Dictionary::FindByName(catalog.Value(), "Pages");
  return pages->Is(ObjectTag::kReference) ? pages->AsReference().number : 0;
}

PageTree::KidKind PageTree::Classify(const ObjectHandle& kid) {
  ObjectHandle type = runtime::Dictionary::Get(kid, "Type");
  if (!type.IsNull()) {
    const runtime::ByteString& name = type->AsName();
    if (name.Equals("Pages")) return KidKind::kIntermediate;
    if (name.Equals("Page")) return KidKind::kPage;
    return KidKind::kNeither;
  }
  return runtime::Dictionary::Get(kid, "Count").IsNull() ? KidKind::kPage
                                                         : KidKind::kIntermediate;
}

ObjectHandle PageTree::GetRoot(Document& document) {
  return runtime::Dictionary::GetRequired(document.GetRoot(), "Pages").AsDictionary();
}

int32_t PageTree::CountPages(Document& document) {
  // A linearised file says how many pages it has up front.
  if (document.LinearizedObject() != 0) {
    const runtime::ObjectValue* n =
        runtime::Dictionary::FindByName(document.LinearizedDictionary().Value(), "N");
    if (n->Is(ObjectTag::kInteger) && n->payload.integer >= 0) return n->payload.integer;
  }
  // Otherwise the root's "Count", which costs one object. A count that
  // cannot be true (not a number, negative, or more pages than the file
  // has objects) is replaced by the pages the tree really holds.
  ObjectHandle root = GetRoot(document);
  const runtime::ObjectValue* claimed = runtime::Dictionary::FindByName(root.Value(), "Count");
  if (claimed->Is(ObjectTag::kInteger) && claimed->payload.integer >= 0 &&
      static_cast<uint32_t>(claimed->payload.integer) <= document.ObjectCountHint()) {
    return claimed->payload.integer;
  }
  return document.PageList().CountAll();
}

ObjectReference PageTree::FindPageRef(Document& document, int32_t index) {
  if (index < 0) runtime::ThrowRuntime(runtime::kMalformed);
  if (LinearizedPages* linearized = document.Linearization()) {
    const int64_t number = linearized->ObjectOfPage(index);
    if (number >= 0) return ObjectReference{static_cast<uint32_t>(number), 0};
  }
  ObjectReference found;
  if (!document.PageList().Find(index, &found)) runtime::ThrowRuntime(runtime::kMalformed);
  return found;
}

ObjectReference PageTree::Walk(Document& document, const ObjectHandle& node, int32_t index) {
  PageOrder order(document, node, 0);
  ObjectReference found;
  if (!order.Find(index, &found)) runtime::ThrowRuntime(runtime::kMalformed);
  return found;
}

int32_t PageTree::IndexOfPage(Document& document, const ObjectReference& page) {
  ObjectHandle child = document.GetObject(page.number, page.generation).AsDictionary();
  ObjectReference childReference = page;
  DepthBudget budget(document.Context());
  int64_t index = 0;
  for (;;) {
    const runtime::ObjectValue* parent = runtime::Dictionary::FindByName(child.Value(), "Parent");
    if (!parent->Is(ObjectTag::kReference)) break;
    budget.Step();
    const ObjectReference parentReference = parent->AsReference();
    ObjectHandle node =
        document.GetObject(parentReference.number, parentReference.generation).AsDictionary();
    index += PagesBeforeKid(document, node, childReference);
    child = std::move(node);
    childReference = parentReference;
  }
  // The chain counts pages by the "Count" each node claims; the walk of
  // the real kids decides when a claim was wrong.
  const auto claimed = static_cast<int32_t>(std::min<int64_t>(index, INT32_MAX));
  PageOrder& order = document.PageList();
  ObjectReference there;
  if (order.Find(claimed, &there) && there.number == page.number &&
      there.generation == page.generation) {
    return claimed;
  }
  const int32_t real = order.IndexOf(page);
  return real >= 0 ? real : claimed;
}

int32_t PageTree::PagesBeforeKid(Document& document, const ObjectHandle& parent,
                                 const ObjectReference& kid) {
  ObjectHandle kids = runtime::Dictionary::Get(parent, "Kids").AsArray();
  const uint32_t count = runtime::Array::Count(kids);
  int64_t pages = 0;
  for (uint32_t i = 0; i < count; ++i) {
    runtime::ChargeWork(document.Context(), runtime::kWorkCostLight);
    const runtime::ObjectValue& raw = kids->AsArray().items[i];
    if (raw.tag != ObjectTag::kReference) runtime::ThrowRuntime(runtime::kMalformed);
    const ObjectReference reference = raw.AsReference();
    if (reference.number == kid.number && reference.generation == kid.generation) {
      return static_cast<int32_t>(std::min<int64_t>(pages, INT32_MAX));
    }
    // Counted as the forward walk counts them, so that the index found
    // here names the same page: a kid of another "Type" holds none.
    ObjectHandle node = document.GetObject(reference.number, reference.generation);
    if (node.Tag() != ObjectTag::kDictionary) continue;
    switch (Classify(node)) {
      case KidKind::kPage: ++pages; break;
      case KidKind::kIntermediate:
        pages += std::max(runtime::Dictionary::GetIntegerOr(node, "Count", 0), 0);
        break;
      case KidKind::kNeither: break;
    }
  }
  runtime::ThrowRuntime(runtime::kMalformed);
}

}  // namespace pdf
