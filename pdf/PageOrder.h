#pragma once
// The pages below a page-tree node in reading order, found by one walk
// that pauses after the page it was asked for and resumes there on the
// next question. A document keeps one over its root, so that listing every
// page, or asking for page after page, walks the tree once.
//
// The walk follows the kids a file really has and never trusts "Count":
// a node that claims fewer pages than it holds still yields all of them,
// and a kid that is no page, no node, or a reference to nothing is passed
// over and loses only itself. A kid that is one of its own ancestors, and
// nodes nested deeper than DepthBudget allows, hold no pages.
#include <cstdint>

#include "pdf/DepthBudget.h"
#include "runtime/ObjectHandle.h"
#include "runtime/RecordVector.h"

namespace pdf {

class Document;

class PageOrder {
 public:
  // A walk meets at most this many kids: a tree that shares one node
  // between many parents could otherwise repeat its pages without end.
  static constexpr uint32_t kMaxKids = 1u << 21;

  // `root` is a page-tree node; `rootNumber` its object number (0 when it
  // is direct), for the ancestor check.
  PageOrder(Document& document, runtime::ObjectHandle root, uint32_t rootNumber);
  PageOrder(const PageOrder&) = delete;
  PageOrder& operator=(const PageOrder&) = delete;

  // The reference of page `index`; false when the tree holds no such page.
  bool Find(int32_t index, runtime::ObjectReference* out);
  // The index of the first page with this reference, walking on as far as
  // needed; -1 when no page of the tree has it.
  int32_t IndexOf(const runtime::ObjectReference& page);
  // Walks to the end and answers the number of pages the tree holds.
  int32_t CountAll();
  // Pages found so far.
  uint32_t Found() const { return pages_.Size(); }

 private:
  struct Frame {
    runtime::ObjectReference node;  // number 0: the root
    uint32_t next;
    uint32_t count;
  };
  // Finds one more page; false once the walk is over.
  bool Advance();
  // The "Kids" of the frame's node, or null when it has none.
  runtime::ObjectHandle KidsOf(const Frame& frame);
  bool OnPath(uint32_t number) const;

  Document& document_;
  runtime::ObjectHandle root_;
  uint32_t rootNumber_;
  runtime::RecordVector<runtime::ObjectReference> pages_;
  Frame frames_[DepthBudget::kSteps - 1] = {};
  uint32_t depth_ = 0;
  // The kids array of the innermost frame, kept while the walk stays there.
  runtime::ObjectHandle kids_;
  uint32_t kidsSeen_ = 0;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace pdf
