#pragma once
// Pages of a linearised file found from its hint tables, without walking
// the page tree: which object is page n, which page is object k, and which
// bytes of the file page n, the first page, the outline and the named
// destinations take. A document keeps one (Document::Linearization), so
// that the hint stream is read at most once.
#include <cstdint>

#include "pdf/ByteRangeSet.h"
#include "pdf/HintTables.h"
#include "runtime/ObjectHandle.h"
#include "streams/DataSource.h"

namespace pdf {

class Document;

class LinearizedPages {
 public:
  // Reads the linearisation dictionary's "N", "O" and "P"; the hint tables
  // are read when first needed (HintTables::EnsureRead). (runtime, 2) when
  // the document is not linearised or its dictionary lacks "N" or "O".
  explicit LinearizedPages(Document& document);

  // Whether the hint tables are at hand (reading them the first time).
  bool HasHints() const;
  const HintTables& Hints() const { return hints_; }
  int32_t PageCount() const { return pageCount_; }
  // "P": the page the first-page section holds.
  int32_t FirstPage() const { return firstPage_; }
  // "O": the first page's object number.
  uint32_t FirstPageObject() const { return firstPageObject_; }

  // The object number of page `index`; -1 without hints; (runtime, 2)
  // outside 0..N-1.
  int64_t ObjectOfPage(int32_t index) const;
  // The page whose page object is `number`; -1 without hints; (runtime, 2)
  // when no page has it.
  int32_t PageIndexOfObject(uint32_t number) const;
  int32_t PageIndexOfRef(const runtime::ObjectReference& reference) const;

  using Ranges = ByteRangeSet;
  static void AddRange(Ranges& ranges, uint64_t start, uint64_t end) { ranges.Add(start, end); }

  // [0, file length).
  Ranges WholeFileRanges() const;
  // What the first page needs: the first page's own bytes, the hint
  // stream(s), the first-page cross-reference section and the file's tail;
  // empty when "H" is not an array of 2 or 4 integers.
  Ranges FirstPageRanges() const;
  // What page `index` needs: its objects, the cross-reference entries of
  // those objects and its shared object groups; the first page's ranges for
  // the first page; the whole file without hints or with a shared group
  // identifier out of range. (runtime, 2) outside 0..N-1.
  Ranges PageRanges(int32_t index) const;
  // What reading the outline or the named destinations needs: the file up
  // to the first page's object and the group of the generic hint table;
  // the whole file without hints.
  Ranges OutlineRanges() const;
  Ranges NamedDestRanges() const;
  // Adds the ranges of one generic hint table to `ranges`.
  void GenericHintRanges(const HintTables::Generic& table, Ranges& ranges) const;

  // Hand the ranges to the document's source, so that a progressive source
  // fetches them first: the first page's before any other. A document that
  // is not linearised asks for the whole file.
  static void RequestFirstPage(Document& document);
  static void RequestPage(Document& document, int32_t index);
  static void RequestOutlines(Document& document);
  static void RequestNamedDests(Document& document);

  // The bytes of page `index`'s own objects (not the first page's, which
  // the first-page section holds), from the hint tables; (runtime, 2)
  // without hints, for the first page, or when object 1 does not lie at a
  // file offset.
  streams::ByteRange PageObjectsRange(int32_t index) const;

 private:
  friend class HintTables;
  // Adds the classic cross-reference table blocks holding objects
  // first..last-1.
  void AddXrefBlocks(Ranges& ranges, uint64_t first, uint64_t last) const;
  bool XrefIsStream() const;

  Document& document_;
  int32_t pageCount_ = 0;
  uint32_t firstPageObject_ = 0;
  int32_t firstPage_ = 0;
  // Filled on first need; the document's questions are const.
  mutable HintTables hints_;
};

}  // namespace pdf
