#pragma once
// The primary hint stream of a linearised file: per page, how many objects
// it has, how many bytes they take and which shared object groups it uses;
// the length of each shared object group; and the generic tables of the
// outline and of the named destinations. Read at most once per document,
// from the hint stream that the linearisation dictionary's "H" points at.
#include <cstdint>

#include "runtime/LibraryContext.h"
#include "runtime/RecordVector.h"

namespace pdf {

class Document;
class LinearizedPages;

class HintTables {
 public:
  // Bounds on what a hint stream may declare, so that a crafted one cannot
  // make the tables huge. A page also takes at least kMinPageBytes of the
  // file, which bounds "N" by the file's length.
  static constexpr uint32_t kMaxPages = 1u << 20;
  static constexpr uint32_t kMinPageBytes = 16;
  static constexpr uint32_t kMaxDataBytes = 16u << 20;
  static constexpr uint32_t kMaxSharedIds = 1u << 22;

  struct Page {
    uint32_t objects = 0;
    uint32_t length = 0;
    uint32_t sharedCount = 0;
    // Where the page's identifiers start in `sharedIds`.
    uint32_t sharedStart = 0;
    // Running sums over the pages before this one, the first page left
    // out: its page object's number (the objects after the first page are
    // numbered from 1) and where its objects begin, counted from object 1.
    uint32_t firstObject = 0;
    uint64_t offset = 0;
  };

  // One generic hint table (outline, named destinations): a group of
  // objects and where it lies.
  struct Generic {
    uint32_t firstObject = 0;
    uint32_t location = 0;
    uint32_t objectCount = 0;
    uint32_t groupLength = 0;
    bool present = false;
  };

  explicit HintTables(runtime::LibraryContext* context);
  HintTables(const HintTables&) = delete;
  HintTables& operator=(const HintTables&) = delete;

  // Offsets of the tables in the hint stream's data ("S", "O", "E", "I",
  // "C").
  uint32_t sharedTableOffset = 0;
  uint32_t outlineOffset = 0;
  uint32_t namedDestOffset = 0;
  uint32_t infoOffset = 0;
  uint32_t structureOffset = 0;

  // Page offset table header.
  uint32_t firstPageObjectOffset = 0;
  runtime::RecordVector<Page> pages;
  runtime::RecordVector<uint32_t> sharedIds;

  // Shared object table header, group lengths and where each group of the
  // shared-objects section starts, counted from that section's start
  // (first-page groups: from the first page's start).
  uint32_t sharedFirstObject = 0;
  uint32_t sharedLocation = 0;
  uint32_t firstPageGroups = 0;
  runtime::RecordVector<uint32_t> groupLengths;
  runtime::RecordVector<uint64_t> groupOffsets;

  Generic outlines;
  Generic namedDests;

  // Reads the hint stream at the linearisation dictionary's "H" into
  // `tables`, the page "P" (whose objects the first-page section holds)
  // left out of the running sums. (runtime, 2) when the document is not
  // linearised or the hint data is malformed or larger than the bounds.
  static void Read(Document& document, int32_t firstPage, HintTables& tables);

  // Whether the hint tables of `record` are at hand, reading them the
  // first time: malformed hint data is remembered as no hints; any other
  // failure passes on and the read is tried again next time.
  static bool EnsureRead(const LinearizedPages& record);

 private:
  friend class LinearizedPages;
  // 0 not tried yet, 1 read, -1 not available.
  int32_t hintState_ = 0;
};

}  // namespace pdf
