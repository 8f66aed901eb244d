#pragma once
// The primary hint stream of a linearised file: per page, how many objects
// it has, how many bytes they take and which shared object groups it uses;
// and the length of each shared object group.
#include <cstdint>
#include <vector>

#include "runtime/ObjectHandle.h"

namespace pdf {

class Document;

class HintTables {
 public:
  // Bounds on what a hint stream may declare, so that a crafted one cannot
  // make the tables huge.
  static constexpr uint32_t kMaxPages = 1u << 20;
  static constexpr uint32_t kMaxDataBytes = 16u << 20;
  static constexpr uint32_t kMaxSharedIds = 1u << 22;

  struct Page {
    uint32_t objects = 0;
    uint32_t length = 0;
    uint32_t sharedCount = 0;
    // Where the page's identifiers start in `sharedIds`.
    uint32_t sharedStart = 0;
  };

  // Offsets of the tables in the hint stream's data ("S", "O", "E", "I",
  // "C").
  uint32_t sharedTableOffset = 0;
  uint32_t outlineOffset = 0;
  uint32_t namedDestOffset = 0;
  uint32_t infoOffset = 0;
  uint32_t structureOffset = 0;

  // Page offset table header.
  uint32_t firstPageObjectOffset = 0;
  std::vector<Page> pages;
  std::vector<uint32_t> sharedIds;

  // Shared object table header and group lengths.
  uint32_t sharedFirstObject = 0;
  uint32_t sharedLocation = 0;
  uint32_t firstPageGroups = 0;
  std::vector<uint32_t> groupLengths;

  // Reads the hint stream that the linearisation dictionary's "H" points
  // at. (runtime, 2) when the document is not linearised or the hint data
  // is malformed or larger than the bounds.
  static HintTables Read(Document& document);
};

}  // namespace pdf
