#pragma once
// The page tree below the catalog's "Pages": the page count, the page for a
// zero-based index and the index of a page. A kid is an intermediate node
// ("Type" "Pages", or no "Type" but a "Count"), a page ("Type" "Page", or
// neither "Type" nor "Count") or, for any other "Type", neither: it is
// passed over and holds no pages.
//
// Files lie about "Count" and link nodes into cycles. A "Count" is used
// only to pass over a kid's pages; when a walk goes into a kid that holds
// fewer pages than it claims, the walk goes on with the next kid by the
// pages really met. A kid that is one of its own ancestors is passed over,
// and nesting ends after DepthBudget's steps. Failures are (runtime, 2).
#include <cstdint>

#include "runtime/ObjectHandle.h"

namespace pdf {

class Document;

class PageTree {
 public:
  enum class KidKind { kIntermediate, kPage, kNeither };
  // (runtime, 2) when "Type" is present and not a name.
  static KidKind Classify(const runtime::ObjectHandle& kid);

  // The catalog's "Pages" dictionary; (runtime, 2) when missing.
  static runtime::ObjectHandle GetRoot(Document& document);
  // The pages the tree really holds, counted leaf by leaf; the root's own
  // "Count" when the tree cannot be walked to its end.
  static int32_t CountPages(Document& document);
  // The reference of page `index`; (runtime, 2) beyond the last page.
  static runtime::ObjectReference FindPageRef(Document& document, int32_t index);
  // The reference of the index-th page below `node`.
  static runtime::ObjectReference Walk(Document& document, const runtime::ObjectHandle& node,
                                       int32_t index);
  // The index of the page `page` refers to, by its chain of "Parent" nodes;
  // 0 for a page without "Parent".
  static int32_t IndexOfPage(Document& document, const runtime::ObjectReference& page);
  // The pages held by the kids of `parent` before `kid`; (runtime, 2) when
  // `kid` is not among them.
  static int32_t PagesBeforeKid(Document& document, const runtime::ObjectHandle& parent,
                                const runtime::ObjectReference& kid);
};

}  // namespace pdf
