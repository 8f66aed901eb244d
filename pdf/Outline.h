#pragma once
// The outline (bookmarks) read item by item for the viewer's tree.
//
//   Outline outline(document, &listener);
//   outline.Run();   // top level and open branches first, then the rest
//   for (OutlineItem* item = outline.Root(); item; item = item->next) ...
//   ObjectHandle node = outline.GetOutlineRoot(item);   // its dictionary
//
// Items are made as placeholders before their dictionary is read (a first
// child or next sibling not read yet) so that a tree view can show an
// expander; a later read completes them in place.
#include <cstdint>
#include <string_view>

#include "runtime/ArenaAllocator.h"
#include "runtime/ObjectHandle.h"
#include "runtime/RecordVector.h"

namespace pdf {

class Document;
class OutlineListener;

struct OutlineItem {
  // Kept by the outline that made the item.
  std::u16string_view title;
  bool titleRead = false;
  // Every descendant has been read; later walks skip the branch.
  bool childrenComplete = false;
  OutlineItem* firstChild = nullptr;
  OutlineItem* next = nullptr;
  // Position among its siblings.
  uint32_t index = 0;
  OutlineItem* parent = nullptr;
  // What the item's listener keeps for it (the viewer's bookmark entry).
  void* viewData = nullptr;
};

class Outline {
 public:
  // Titles are cut to this many UTF-16 units.
  static constexpr uint32_t kTitleUnits = 256;
  // Branches below this depth are not read: a hostile outline cannot nest
  // without end.
  static constexpr uint32_t kMaxDepth = 48;
  // No more items than this are made: past it the walk stops.
  static constexpr uint32_t kMaxItems = 1u << 18;

  // `listener` may be null.
  Outline(Document& document, OutlineListener* listener);
  Outline(const Outline&) = delete;
  Outline& operator=(const Outline&) = delete;

  // Reads the catalog's "Outlines": a pass over the top level and the open
  // branches, then a pass that completes the rest. Mistyped entries raise
  // (runtime, 2), a thread short of stack (runtime, 4).
  void Run();

  // Reads the chain of nodes from `first` under `parent` (null for the top
  // level). With `openOnly` closed branches are left for a later walk.
  void Walk(OutlineItem* parent, const runtime::ObjectHandle& first, bool openOnly,
            uint32_t depth);

  // The item for `node` in its place (after `previous`, under `parent`),
  // made or completed, and reported to the listener.
  OutlineItem* ReadItem(const runtime::ObjectHandle& node, OutlineItem* parent,
                        OutlineItem* previous, uint32_t index, bool hasChildren, bool hasNext,
                        bool open);

  // The dictionary of `item`, found again from the catalog by the item's
  // path of indices (the catalog's "Outlines" for null); the null value
  // when the path no longer leads anywhere.
  runtime::ObjectHandle GetOutlineRoot(const OutlineItem* item);

  // The first top-level item; null before Run or for an empty outline.
  OutlineItem* Root() const { return root_; }

 private:
  OutlineItem* NewItem(uint32_t index, OutlineItem* parent);
  runtime::ObjectHandle OutlinesDictionary();
  // True the first time a node is met in the current pass: a node met again
  // (a "Next" or "First" leading back) ends its chain.
  bool FirstVisit(const runtime::ObjectHandle& node);

  // The nodes met in the current pass, by object number and start
  // position: an open-addressed table (a slot's position 0 marks it free;
  // positions are stored plus one).
  struct Visit {
    uint64_t position;
    uint32_t number;
    uint32_t unused;
  };
  void ClearVisits();
  // Adds the visit; false when it was there already.
  bool Insert(const Visit& visit);

  Document& document_;
  OutlineListener* listener_;
  OutlineItem* root_ = nullptr;
  // Items and titles, in the document's memory context.
  runtime::ArenaAllocator arena_;
  uint32_t itemCount_ = 0;
  runtime::RecordVector<Visit> visits_;
  uint32_t visitCount_ = 0;
};

}  // namespace pdf
