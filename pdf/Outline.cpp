#include "pdf/Outline.h"

#include "pdf/Document.h"
#include "pdf/LinearizedPages.h"
#include "pdf/OutlineListener.h"
#include "pdf/TextString.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"

namespace pdf {

Outline::Outline(Document& document, OutlineListener* listener)
    : document_(document),
      listener_(listener),
      arena_(document.Context(), 4096, 1024),
      visits_(document.Context(), document.Context(), 0) {}

void Outline::ClearVisits() {
  visits_.Clear();
  visitCount_ = 0;
}

runtime::ObjectHandle Outline::OutlinesDictionary() {
  const runtime::ObjectHandle catalog = runtime::Dictionary::Get(document_.GetTrailer(), "Root");
  if (catalog.Tag() != runtime::ObjectTag::kDictionary) return {};
  runtime::ObjectHandle outlines = runtime::Dictionary::Get(catalog, "Outlines");
  if (outlines.Tag() != runtime::ObjectTag::kDictionary) return {};
  return outlines;
}

void Outline::Run() {
  // A progressive source fetches what the outline needs first.
  LinearizedPages::RequestOutlines(document_);
  const runtime::ObjectHandle outlines = OutlinesDictionary();
  if (outlines.IsNull()) return;
  const runtime::ObjectHandle first = runtime::Dictionary::Get(outlines, "First");
  if (first.Tag() != runtime::ObjectTag::kDictionary) return;
  ClearVisits();
  Walk(nullptr, first, true, 0);
  ClearVisits();
  Walk(nullptr, first, false, 0);
  ClearVisits();
}

bool Outline::FirstVisit(const runtime::ObjectHandle& node) {
  const runtime::ContainerRecord* record = node->AsDictionary().Record();
  // A dictionary without a record is written inside another object and
  // cannot lead back to itself.
  if (record == nullptr) return true;
  // Grown to twice the visits, so that probes stay short.
  if (2 * (visitCount_ + 1) > visits_.Size()) {
    const uint32_t size = visits_.Size() == 0 ? 64 : 2 * visits_.Size();
    runtime::RecordVector<Visit> old(document_.Context(), document_.Context(), 0);
    runtime::RecordVector<Visit>::Swap(old, visits_);
    visits_.Reserve(size);
    for (uint32_t i = 0; i < size; ++i) visits_.Append(Visit{});
    visitCount_ = 0;
    for (const Visit& visit : old.Records()) {
      if (visit.position != 0) Insert(visit);
    }
  }
  return Insert(Visit{record->startPosition + 1, record->objectNumber, 0});
}

bool Outline::Insert(const Visit& visit) {
  const uint32_t mask = visits_.Size() - 1;
  uint32_t slot = static_cast<uint32_t>((visit.position * 0x9E3779B97F4A7C15ull) >> 40 ^ visit.number) & mask;
  for (;; slot = (slot + 1) & mask) {
    Visit& at = visits_[slot];
    if (at.position == 0) {
      at = visit;
      ++visitCount_;
      return true;
    }
    if (at.position == visit.position && at.number == visit.number) return false;
  }
}

void Outline::Walk(OutlineItem* parent, const runtime::ObjectHandle& first, bool openOnly,
                   uint32_t depth) {
  runtime::CheckStackSpace(document_.Context()->scheduler);
  if (parent != nullptr && parent->childrenComplete) return;
  if (depth >= kMaxDepth) return;
  bool deferred = false;
  OutlineItem* previous = nullptr;
  runtime::ObjectHandle node = first.AsDictionary();
  for (uint32_t index = 0;; ++index) {
    if (!FirstVisit(node)) break;
    const runtime::ObjectHandle firstChild = runtime::Dictionary::Get(node, "First");
    const runtime::ObjectHandle next = runtime::Dictionary::Get(node, "Next");
    const bool hasChildren = firstChild.Tag() == runtime::ObjectTag::kDictionary;
    const bool hasNext = next.Tag() == runtime::ObjectTag::kDictionary;
    const bool open = hasChildren && runtime::Dictionary::GetIntegerOr(node, "Count", 0) >= 1;
    OutlineItem* item = ReadItem(node, parent, previous, index, hasChildren, hasNext, open);
    if (hasChildren && !item->childrenComplete) {
      if (!openOnly || open) {
        Walk(item, firstChild, openOnly, depth + 1);
        if (!item->childrenComplete) deferred = true;
      } else {
        deferred = true;
      }
    }
    if (!hasNext) break;
    previous = item;
    node = next;
  }
  if (!deferred && parent != nullptr) parent->childrenComplete = true;
}

OutlineItem* Outline::NewItem(uint32_t index, OutlineItem* parent) {
  if (itemCount_ >= kMaxItems) runtime::ThrowRuntime(runtime::kBeyondLimit);
  ++itemCount_;
  runtime::ChargeWork(document_.Context(), runtime::kWorkCostLight);
  OutlineItem* item = new (arena_.Alloc(sizeof(OutlineItem))) OutlineItem{};
  item->index = index;
  item->parent = parent;
  return item;
}

OutlineItem* Outline::ReadItem(const runtime::ObjectHandle& node, OutlineItem* parent,
                               OutlineItem* previous, uint32_t index, bool hasChildren,
                               bool hasNext, bool open) {
  OutlineItem** slot = previous != nullptr ? &previous->next
                       : parent != nullptr ? &parent->firstChild
                                           : &root_;
  const bool isNew = *slot == nullptr;
  if (isNew) *slot = NewItem(index, parent);
  OutlineItem* item = *slot;

  bool titleNow = false;
  if (!item->titleRead) {
    const runtime::ObjectHandle title = runtime::Dictionary::Get(node, "Title");
    if (title.Tag() == runtime::ObjectTag::kString) {
      uint32_t units = 0;
      PdfTextToUtf16(nullptr, &units, title->AsString());
      if (units > kTitleUnits + 1) units = kTitleUnits + 1;
      auto* text = static_cast<char16_t*>(arena_.Alloc(sizeof(char16_t) * units));
      PdfTextToUtf16(text, &units, title->AsString());
      item->title = std::u16string_view(text, std::char_traits<char16_t>::length(text));
    }
    item->titleRead = true;
    titleNow = true;
  }

  const uint32_t id = listener_ != nullptr ? listener_->ActiveId() : 0;
  if (id == 0) return item;
  if (isNew) {
    listener_->OnItemAdded(id, item, parent, previous, open);
  } else if (titleNow) {
    listener_->OnItemChanged(id, item, parent, previous, open);
  }

  if (hasChildren && item->firstChild == nullptr) {
    item->firstChild = NewItem(0, item);
    listener_->OnItemAdded(id, item->firstChild, item, nullptr, false);
    return item;
  }
  if (hasNext && item->next == nullptr) {
    item->next = NewItem(index + 1, parent);
    listener_->OnItemAdded(id, item->next, parent, item, false);
  }
  return item;
}

runtime::ObjectHandle Outline::GetOutlineRoot(const OutlineItem* item) {
  if (item == nullptr) return OutlinesDictionary();
  runtime::CheckStackSpace(document_.Context()->scheduler);
  const runtime::ObjectHandle parentNode = GetOutlineRoot(item->parent);
  if (parentNode.Tag() != runtime::ObjectTag::kDictionary) return {};
  runtime::ObjectHandle node = runtime::Dictionary::Get(parentNode, "First");
  for (uint32_t i = 0; i < item->index; ++i) {
    if (node.Tag() != runtime::ObjectTag::kDictionary) return {};
    node = runtime::Dictionary::Get(node, "Next");
  }
  return node.Tag() == runtime::ObjectTag::kDictionary ? node : runtime::ObjectHandle();
}

}  // namespace pdf
