#include "viewer/BookmarkTree.h"

#include <utility>

#include "runtime/Dictionary.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace viewer {
namespace {

BookmarkEntry* EntryOf(const pdf::OutlineItem* item) {
  return item != nullptr ? static_cast<BookmarkEntry*>(item->viewData) : nullptr;
}

}  // namespace

const char16_t* BookmarkEntry::TreeText() {
  // Titles are kept zero-terminated by the outline.
  return item->title.data() != nullptr ? item->title.data() : u"";
}

BookmarkTree::BookmarkTree(runtime::LibraryContext* context, pdf::Document& document,
                           runtime::TreeItems* rows)
    : context_(context), rows_(rows), outline_(document, this) {}

BookmarkTree::~BookmarkTree() { ReleaseOutlineEntries(context_, std::exchange(first_, nullptr)); }

void BookmarkTree::ReleaseOutlineEntries(runtime::LibraryContext* context, BookmarkEntry* first) {
  // Each entry's children are spliced in front of its next sibling before
  // the entry goes, so one walk along `next` frees the whole tree: no
  // recursion to run out of stack on a deep outline, and nothing that can
  // fail half-way.
  BookmarkEntry* entry = first;
  while (entry != nullptr) {
    if (BookmarkEntry* child = std::exchange(entry->firstChild, nullptr)) {
      BookmarkEntry* last = child;
      while (last->next != nullptr) last = last->next;
      last->next = entry->next;
      entry->next = child;
    }
    BookmarkEntry* next = entry->next;
    if (entry->item != nullptr) entry->item->viewData = nullptr;
    runtime::DestroyAndFree(context, entry);
    entry = next;
  }
}

void BookmarkTree::Fill() { outline_.Run(); }

void BookmarkTree::OnItemAdded(uint32_t, pdf::OutlineItem* item, pdf::OutlineItem* parent,
                               pdf::OutlineItem* previous, bool open) {
  auto* entry = runtime::NewObject<BookmarkEntry>(context_, item);
  BookmarkEntry* parentEntry = EntryOf(parent);
  if (BookmarkEntry* before = EntryOf(previous)) {
    entry->next = before->next;
    before->next = entry;
  } else if (parentEntry != nullptr) {
    entry->next = parentEntry->firstChild;
    parentEntry->firstChild = entry;
  } else if (parent == nullptr) {
    entry->next = first_;
    first_ = entry;
  } else {
    // A parent without an entry cannot be shown; the item is left out.
    runtime::DestroyAndFree(context_, entry);
    return;
  }
  item->viewData = entry;
  ++entryCount_;
  if (rows_ != nullptr) {
    runtime::RunOnMainStack(context_, [&] { rows_->Insert(entry, parentEntry, open); });
  }
}

void BookmarkTree::OnItemChanged(uint32_t, pdf::OutlineItem* item, pdf::OutlineItem*,
                                 pdf::OutlineItem*, bool open) {
  BookmarkEntry* entry = EntryOf(item);
  if (entry == nullptr || rows_ == nullptr) return;
  runtime::RunOnMainStack(context_, [&] { rows_->Update(entry, open); });
}

runtime::ObjectHandle BookmarkTree::TargetItemOf(const BookmarkEntry* entry) {
  if (entry == nullptr || entry->item == nullptr) return {};
  const runtime::ObjectHandle node = outline_.GetOutlineRoot(entry->item);
  if (node.Tag() != runtime::ObjectTag::kDictionary) return {};
  if (runtime::Dictionary::Get(node, "A").Tag() == runtime::ObjectTag::kDictionary ||
      !runtime::Dictionary::Get(node, "Dest").IsNull()) {
    return node;
  }
  return {};
}

}  // namespace viewer
