#pragma once
// The bookmarks of the shown document: one entry per outline item, made
// as the outline is read and shown as a row of the host's tree control.
// Entries live in the library context until the tree is released; they
// are linked as the outline is (first child, next sibling), and a tree of
// any depth is released without recursion.
//
//   BookmarkTree tree(context, document, rows);   // rows may be null
//   tree.Fill();                                  // on the outline job
//   ObjectHandle item = tree.TargetItemOf(entry);   // for FollowOutlineItem
#include <cstdint>

#include "pdf/Document.h"
#include "pdf/Outline.h"
#include "pdf/OutlineListener.h"
#include "runtime/HostTreeItems.h"
#include "runtime/LibraryContext.h"
#include "runtime/ObjectHandle.h"

namespace viewer {

class BookmarkEntry final : public runtime::TreeItem {
 public:
  explicit BookmarkEntry(pdf::OutlineItem* outlineItem) : item(outlineItem) {}
  const char16_t* TreeText() override;
  bool HasTreeChildren() override { return item->firstChild != nullptr; }
  void SetTreeHandle(void* value) override { handle = value; }
  void* TreeHandle() override { return handle; }

  pdf::OutlineItem* item;
  BookmarkEntry* firstChild = nullptr;
  BookmarkEntry* next = nullptr;
  void* handle = nullptr;
};

class BookmarkTree final : public pdf::OutlineListener {
 public:
  // `rows` is the host's tree (null: entries without rows).
  BookmarkTree(runtime::LibraryContext* context, pdf::Document& document, runtime::TreeItems* rows);
  ~BookmarkTree() override;
  BookmarkTree(const BookmarkTree&) = delete;
  BookmarkTree& operator=(const BookmarkTree&) = delete;

  // Reads the outline (open branches first, then the rest) and adds a row
  // for every item; host calls are made on the main stack.
  void Fill();
  BookmarkEntry* First() const { return first_; }
  uint32_t EntryCount() const { return entryCount_; }

  // The outline item of `entry` when it leads somewhere (it has an action
  // "A" or a "Dest"), for the document's action runner to follow; the null
  // value otherwise.
  runtime::ObjectHandle TargetItemOf(const BookmarkEntry* entry);

  // Frees a chain of entries and everything below them, iteratively.
  static void ReleaseOutlineEntries(runtime::LibraryContext* context, BookmarkEntry* first);

  uint32_t ActiveId() override { return 1; }
  void OnItemAdded(uint32_t id, pdf::OutlineItem* item, pdf::OutlineItem* parent,
                   pdf::OutlineItem* previous, bool open) override;
  void OnItemChanged(uint32_t id, pdf::OutlineItem* item, pdf::OutlineItem* parent,
                     pdf::OutlineItem* previous, bool open) override;

 private:
  runtime::LibraryContext* context_;
  runtime::TreeItems* rows_;
  pdf::Outline outline_;
  BookmarkEntry* first_ = nullptr;
  uint32_t entryCount_ = 0;
};

}  // namespace viewer
