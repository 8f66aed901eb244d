#pragma once
// Pages of a linearised file found from its hint tables, without walking
// the page tree: which object is page n, which page is object k, and which
// bytes of the file page n takes.
#include <cstdint>
#include <vector>

#include "pdf/HintTables.h"
#include "runtime/ObjectHandle.h"
#include "streams/DataSource.h"

namespace pdf {

class Document;

class LinearizedPages {
 public:
  // Reads the linearisation dictionary's "N", "O" and "P" and, when they
  // can be read, the hint tables (HintTables::Read); hints that are
  // malformed leave the answers below at -1. (runtime, 2) when the document
  // is not linearised or its dictionary lacks "N" or "O".
  explicit LinearizedPages(Document& document);

  bool HasHints() const { return hasHints_; }
  const HintTables& Hints() const { return hints_; }
  int32_t PageCount() const { return pageCount_; }
  // "P": the page the first-page section holds.
  int32_t FirstPage() const { return firstPage_; }

  // The object number of page `index`; -1 without hints; (runtime, 2)
  // outside 0..N-1.
  int64_t ObjectOfPage(int32_t index) const;
  // The page whose page object is `number`; -1 without hints; (runtime, 2)
  // when no page has it.
  int32_t PageIndexOfObject(uint32_t number) const;
  int32_t PageIndexOfRef(const runtime::ObjectReference& reference) const;

  // An ordered list of half-open byte ranges, overlapping and touching
  // ranges merged.
  using Ranges = std::vector<streams::ByteRange>;
  static void AddRange(Ranges& ranges, uint64_t start, uint64_t end);

  // [0, file length).
  Ranges WholeFileRanges() const;
  // What the first page needs: the hint stream(s), the first-page
  // cross-reference section and the file's tail; empty when "H" is not
  // an array of 2 or 4 integers.
  Ranges FirstPageRanges() const;
  // What page `index` needs: its objects, the cross-reference entries of
  // those objects and its shared object groups; the first page's ranges for
  // the first page; the whole file without hints or with a shared group
  // identifier out of range. (runtime, 2) outside 0..N-1.
  Ranges PageRanges(int32_t index) const;
  // Hands the first page's ranges, then page `index`'s, to the document's
  // source, so that a progressive source fetches them first. A document
  // that is not linearised asks for the whole file.
  static void RequestPage(Document& document, int32_t index);

  // The bytes of page `index`'s own objects (not the first page's, which
  // the first-page section holds), from the hint tables; (runtime, 2)
  // without hints, for the first page, or when object 1 does not lie at a
  // file offset.
  streams::ByteRange PageObjectsRange(int32_t index) const;

 private:
  Document& document_;
  int32_t pageCount_ = 0;
  uint32_t firstPageObject_ = 0;
  int32_t firstPage_ = 0;
  bool hasHints_ = false;
  HintTables hints_;
};

}  // namespace pdf
