#pragma once
// A character-code map: splits the bytes of a show string into codes and
// maps each code to a CID (encodings of composite fonts) or to Unicode
// (ToUnicode maps and the "-UCS2" maps). Codes are found through a tree
// with one 256-way node per code byte; every node and destination lives in
// the map's own arena and dies with it.
//
// An entry is a 32-bit word whose two low bits are a tag:
//   0  empty: the byte lies outside every code-space range at this level;
//   1  leaf: the value (a CID or a single UTF-16 unit) in the upper bits;
//   2  leaf: the upper bits index a run of UTF-16 units;
//   3  a code with more bytes: an upper part n below kFirstChild means n
//      more bytes and no child yet, kFirstChild + i is child slot i.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/CountedRef.h"
#include "runtime/LibraryContext.h"
#include "runtime/ObjectValue.h"

namespace fonts {

// What a bf destination becomes: kCid maps hold CIDs (a bf destination is
// kept as a run, which CID decoders refuse); kUnicode maps hold UTF-16
// units (a single unit inline, more as a run).
enum class CMapDestination : uint32_t { kCid = 0, kUnicode = 2 };

// One looked-up code: the value (a CID or a single unit), or a run of
// UTF-16 units (then `value` is 0).
struct CodeMapping {
  int32_t value = 0;
  const char16_t* unitsBegin = nullptr;
  const char16_t* unitsEnd = nullptr;

  bool HasUnits() const { return unitsBegin != unitsEnd; }
};

class CMap {
 public:
  // Nodes one map may hold (each about 1 KiB): the largest built-in map
  // (four-byte UTF-16 codes) needs 5,301; a hostile range over many
  // leading bytes is refused with (runtime, 2) instead of filling memory.
  static constexpr uint32_t kMaxNodes = 6144;
  // Entries one map may write over all its ranges (bounds the work of
  // overlapping ranges re-walking the same nodes).
  static constexpr uint32_t kMaxEntryWrites = 1u << 24;
  // The longest bf destination, in bytes.
  static constexpr uint32_t kMaxDestinationBytes = 512;
  // The largest value a leaf holds.
  static constexpr uint32_t kMaxValue = (1u << 30) - 1;

  // An empty map with a count of 1 (see CMapRef); build it with the Add
  // operations or CMapParser.
  static CMap* New(runtime::LibraryContext* context, CMapDestination kind);

  CMap(runtime::LibraryContext* context, CMapDestination kind);
  virtual ~CMap() = default;
  CMap(const CMap&) = delete;
  CMap& operator=(const CMap&) = delete;

  // Consumes the bytes of one code at `*cursor` (never reading at or past
  // `end`) and maps it. `space` (when given) is set when the code was the
  // single byte 0x20 mapped at the first level. At the end of the input
  // the result is CID 0 and nothing is consumed.
  CodeMapping Lookup(const uint8_t** cursor, const uint8_t* end, bool* space = nullptr) const;
  // The bytes held: the arena and the object (the cache's cost).
  uint32_t Size() const;
  uint8_t GetWMode() const { return wMode_; }
  CMapDestination Kind() const { return kind_; }
  uint32_t NodeCount() const { return nodeCount_; }

  // Building. Codes are `bytes` (1 to 4) long; malformed arguments raise
  // (runtime, 2).
  void SetWMode(uint8_t mode) { wMode_ = mode; }
  void AddCodespaceRange(uint32_t low, uint32_t high, uint32_t bytes);
  void AddCidChar(uint32_t code, uint32_t cid, uint32_t bytes);
  void AddCidRange(uint32_t low, uint32_t high, uint32_t cid, uint32_t bytes);
  void AddNotdefRange(uint32_t low, uint32_t high, uint32_t cid, uint32_t bytes);
  // A destination string of `length` bytes: big-endian UTF-16 units (an
  // odd last byte is a unit of its own).
  void AddBfChar(uint32_t code, const uint8_t* destination, uint32_t length, uint32_t bytes);
  // Each code of the block gets the destination with its last unit
  // advanced by the code's position in the block.
  void AddBfRange(uint32_t low, uint32_t high, const uint8_t* destination, uint32_t length,
                  uint32_t bytes);
  // Each code of the block takes the next element of `strings`; the walk
  // stops at the end of the list or at an element that is no string.
  void AddBfRangeList(uint32_t low, uint32_t high, const runtime::ValueList& strings,
                      uint32_t bytes);
  // The two-byte identity: every code <0000>..<FFFF> is its own CID.
  void AddIdentity();

  uint32_t refCount = 1;

 private:
  struct Node {
    uint32_t defaultValue;
    uint32_t rangeLow;
    uint32_t rangeHigh;
    uint32_t entries[256];
  };
  // What a range walk writes at each leaf of its block.
  class LeafSource;
  class CidLeaves;
  class SameLeaves;
  class BfLeaves;
  class ListLeaves;

  Node* NewNode(const Node* parent, uint32_t remaining);
  Node* Child(Node* node, uint32_t byte, uint32_t remaining);
  void InsertCodespace(Node* node, uint32_t low, uint32_t high, uint32_t n);
  // Walks the block [low, high] of n-byte codes; false once `source` is
  // exhausted.
  bool Walk(Node* node, uint32_t low, uint32_t high, uint32_t n, LeafSource& source);
  void AddRange(uint32_t low, uint32_t high, uint32_t bytes, LeafSource& source);
  // The entry word of a destination string's units.
  uint32_t DestinationEntry(const char16_t* units, uint32_t count);
  const char16_t* Run(uint32_t slot, const char16_t** end) const;
  uint32_t Slot(const void* pointer);

  runtime::LibraryContext* context_;
  mutable runtime::ArenaAllocator arena_;
  CMapDestination kind_;
  uint8_t wMode_ = 0;
  uint32_t nodeCount_ = 0;
  uint32_t entryWrites_ = 0;
  Node* root_ = nullptr;
  // Child nodes and destination runs, by slot.
  runtime::ArenaVector<void*> slots_;
};

using CMapRef = runtime::CountedRef<CMap>;

// Big-endian value of a code string of 1 to 4 bytes; (runtime, 2) for any
// other length.
uint32_t CodeFromBytes(const uint8_t* bytes, uint32_t length);

}  // namespace fonts
