#pragma once
// Huffman tables of JBIG2: the fifteen standard tables and the user tables
// of tables segments, plus the plain prefix codes text regions build for
// their symbol IDs.
#include <cstdint>

#include "streams/jbig2/Jbig2Cursor.h"

namespace streams {

struct Jbig2Segment;

// One table line: a value range with its prefix.
struct HuffmanLine {
  int32_t rangeLow = 0;
  uint32_t rangeLength = 0;  // bits of offset after the prefix, 0 to 32
  uint8_t prefixLength = 0;  // 0: the line has no code
  uint8_t isLowerRange = 0;  // the value is rangeLow minus the offset
  uint8_t isOob = 0;
};

// A canonical prefix code over lines: codes are assigned in order of
// prefix length and, within one length, in line order, so that decoding
// needs per length only the first code and the number of codes.
struct HuffmanTable {
  static constexpr int kMaxPrefixLength = 32;

  HuffmanLine* lines = nullptr;
  uint32_t lineCount = 0;
  uint32_t* order = nullptr;  // coded lines by length, then line order
  uint32_t firstCode[kMaxPrefixLength + 1] = {};
  uint32_t count[kMaxPrefixLength + 1] = {};
  uint32_t start[kMaxPrefixLength + 1] = {};
  uint8_t maxPrefixLength = 0;

  // From the JBIG2 heap; null when a prefix is 32 bits or longer.
  static HuffmanTable* Build(const HuffmanLine* lines, uint32_t lineCount);
  static void Free(HuffmanTable* table);
  // The matched line; a code that matches no line throws (runtime, 2).
  const HuffmanLine& DecodeLine(Jbig2Cursor* cursor) const;
  // The decoded value; out-of-band sets *oob and returns 0.
  int32_t Decode(Jbig2Cursor* cursor, bool* oob) const;
};

// The standard tables, built once from constant data.
class Jbig2StandardTables {
 public:
  static void Acquire();
  static void Release();
  // Table 1 to 15.
  static const HuffmanTable* Get(int number);
};

int Jbig2TablesSegment(Jbig2Segment* segment);

}  // namespace streams
