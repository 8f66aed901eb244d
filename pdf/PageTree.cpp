#include "pdf/PageTree.h"

#include <algorithm>

#include "pdf/DepthBudget.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace pdf {
namespace {

using runtime::ObjectHandle;
using runtime::ObjectReference;
using runtime::ObjectTag;

// Counting every leaf touches each node once; a tree that shares kids
// between nodes could still make that exponential, so the count gives up
// after this many kids and the root's own "Count" stands.
constexpr uint32_t kMaxKidsCounted = 1u << 20;

// The object numbers of the nodes from the root down to the current one,
// so that a kid naming one of its ancestors is passed over instead of
// walked again.
class NodePath {
 public:
  explicit NodePath(runtime::LibraryContext* context) : budget_(context) {}
  bool Contains(uint32_t number) const {
    return std::find(numbers_, numbers_ + depth_, number) != numbers_ + depth_;
  }
  void Push(uint32_t number) {
    budget_.Step();
    numbers_[depth_++] = number;
  }
  void Pop() {
    --depth_;
    budget_.Return();
  }

 private:
  DepthBudget budget_;
  uint32_t numbers_[DepthBudget::kSteps] = {};
  int32_t depth_ = 0;
};

struct Kid {
  ObjectReference reference;
  ObjectHandle node;
  PageTree::KidKind kind;
};

// Kid `i` of `kids`: a reference to a dictionary, or (runtime, 2).
Kid ReadKid(Document& document, const ObjectHandle& kids, uint32_t i) {
  const runtime::ObjectValue& raw = kids->AsArray().items[i];
  if (raw.tag != ObjectTag::kReference) runtime::ThrowRuntime(runtime::kMalformed);
  const ObjectReference reference = raw.AsReference();
  ObjectHandle node = document.GetObject(reference.number, reference.generation).AsDictionary();
  const PageTree::KidKind kind = PageTree::Classify(node);
  return Kid{reference, std::move(node), kind};
}

void CheckStack(Document& document) {
  runtime::LibraryContext* context = document.Context();
  if (context != nullptr && context->scheduler != nullptr) {
    runtime::CheckStackSpace(context->scheduler);
  }
}

// Looks for the index-th page below `node`. Found: true with `out` set.
// Not found: false with `index` lowered by the pages the subtree really
// holds.
bool FindBelow(Document& document, const ObjectHandle& node, uint32_t number, int32_t* index,
               NodePath& path, ObjectReference* out) {
  CheckStack(document);
  path.Push(number);
  ObjectHandle kids = runtime::Dictionary::Get(node, "Kids").AsArray();
  const uint32_t count = runtime::Array::Count(kids);
  for (uint32_t i = 0; i < count; ++i) {
    Kid kid = ReadKid(document, kids, i);
    if (kid.kind == PageTree::KidKind::kPage) {
      if (*index == 0) {
        *out = kid.reference;
        return true;
      }
      --*index;
    } else if (kid.kind == PageTree::KidKind::kIntermediate &&
               !path.Contains(kid.reference.number)) {
      const int32_t claimed = runtime::Dictionary::GetInteger(kid.node, "Count");
      if (claimed > *index) {
        if (FindBelow(document, kid.node, kid.reference.number, index, path, out)) return true;
      } else if (claimed > 0) {
        *index -= claimed;
      }
    }
  }
  path.Pop();
  return false;
}

int64_t CountBelow(Document& document, const ObjectHandle& node, uint32_t number,
                   NodePath& path, uint32_t* kidsSeen) {
  CheckStack(document);
  path.Push(number);
  ObjectHandle kids = runtime::Dictionary::Get(node, "Kids").AsArray();
  const uint32_t count = runtime::Array::Count(kids);
  int64_t pages = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (++*kidsSeen > kMaxKidsCounted) runtime::ThrowRuntime(runtime::kBeyondLimit);
    Kid kid = ReadKid(document, kids, i);
    if (kid.kind == PageTree::KidKind::kPage) {
      ++pages;
    } else if (kid.kind == PageTree::KidKind::kIntermediate &&
               !path.Contains(kid.reference.number)) {
      pages += CountBelow(document, kid.node, kid.reference.number, path, kidsSeen);
    }
  }
  path.Pop();
  return pages;
}

// The object number of the root node when it is indirect (0 otherwise),
// for the cycle check.
uint32_t RootNumber(Document& document) {
  ObjectHandle catalog = document.GetRoot();
  const runtime::ObjectValue* pages = runtime::Dictionary::FindByName(catalog.Value(), "Pages");
  return pages->Is(ObjectTag::kReference) ? pages->AsReference().number : 0;
}

}  // namespace

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
  ObjectHandle root = GetRoot(document);
  const int32_t claimed = runtime::Dictionary::GetInteger(root, "Count");
  int64_t counted = -1;
  runtime::CatchAllExceptCancel(document.Context(), [&] {
    NodePath path(document.Context());
    uint32_t kidsSeen = 0;
    counted = CountBelow(document, root, RootNumber(document), path, &kidsSeen);
  });
  if (counted < 0) return std::max(claimed, 0);
  return static_cast<int32_t>(std::min<int64_t>(counted, INT32_MAX));
}

ObjectReference PageTree::FindPageRef(Document& document, int32_t index) {
  return Walk(document, GetRoot(document), index);
}

ObjectReference PageTree::Walk(Document& document, const ObjectHandle& node, int32_t index) {
  if (index < 0) runtime::ThrowRuntime(runtime::kMalformed);
  NodePath path(document.Context());
  ObjectReference found;
  if (!FindBelow(document, node, RootNumber(document), &index, path, &found)) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
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
  return static_cast<int32_t>(std::min<int64_t>(index, INT32_MAX));
}

int32_t PageTree::PagesBeforeKid(Document& document, const ObjectHandle& parent,
                                 const ObjectReference& kid) {
  ObjectHandle kids = runtime::Dictionary::Get(parent, "Kids").AsArray();
  const uint32_t count = runtime::Array::Count(kids);
  int64_t pages = 0;
  for (uint32_t i = 0; i < count; ++i) {
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
