#pragma once
// The page tree below the catalog's "Pages": the page count, the page for a
// zero-based index and the index of a page. A kid is an intermediate node
// ("Type" "Pages", or no "Type" but a "Count"), a page ("Type" "Page", or
// neither "Type" nor "Count") or, for any other "Type", neither: it is
// passed over and holds no pages.
//
// Files lie about "Count" and link nodes into cycles. Pages are found by
// walking the kids a file really has (PageOrder), once per document; a
// "Count" serves only as the page count. Failures are (runtime, 2).
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
  // The object number of the catalog's "Pages" (0 when it is direct).
  static uint32_t RootNumber(Document& document);
  // The linearisation dictionary's "N" when the file is linearised, else
  // the root's "Count"; a "Count" that cannot be true (no integer, below 0,
  // above the number of objects) gives way to the pages the tree holds.
  static int32_t CountPages(Document& document);
  // The reference of page `index`, from the hint tables of a linearised
  // file or the document's walk of its tree; (runtime, 2) when the tree
  // holds no such page.
  static runtime::ObjectReference FindPageRef(Document& document, int32_t index);
  // The reference of the index-th page below `node`.
  static runtime::ObjectReference Walk(Document& document, const runtime::ObjectHandle& node,
                                       int32_t index);
  // The index of the page `page` refers to, by its chain of "Parent" nodes
  // (0 for a page without "Parent"); where the counts along the chain
  // disagree with the kids really held, the walk of the tree decides.
  static int32_t IndexOfPage(Document& document, const runtime::ObjectReference& page);
  // The pages held by the kids of `parent` before `kid`; (runtime, 2) when
  // `kid` is not among them.
  static int32_t PagesBeforeKid(Document& document, const runtime::ObjectHandle& parent,
                                const runtime::ObjectReference& kid);
};

}  // namespace pdf
