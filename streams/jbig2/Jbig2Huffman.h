#pragma once
// Huffman tables of JBIG2: the standard tables and the user tables of
// tables segments.
#include <cstdint>

#include "streams/jbig2/Jbig2Cursor.h"

namespace streams {

struct Jbig2Segment;

struct HuffmanEntry {
  uint8_t valid = 0;
  uint8_t isLowerRange = 0;
  uint8_t isOob = 0;
  uint32_t rangeLength = 0;
  int32_t rangeLow = 0;
  uint32_t prefixLength = 0;
};

struct HuffmanTable {
  HuffmanEntry* entries = nullptr;  // 2^maxPrefixLength, by code value
  uint8_t maxPrefixLength = 0;
  int32_t htLow = 0;

  // Null when the longest prefix is 32 bits or more.
  static HuffmanTable* Build(const uint8_t* prefixLengths, const uint8_t* rangeLengths,
                             const int32_t* rangeLows, int32_t htLow, bool hasLowerRange,
                             bool hasOob, uint32_t lineCount);
  static void Free(HuffmanTable* table);
  // The decoded value; out-of-band sets *oob and returns 0. A code that
  // matches no line throws (runtime, 2).
  static int32_t Decode(Jbig2Cursor* cursor, const HuffmanTable* table, bool* oob);
};

// The fifteen standard tables, built for the duration of a decode.
class Jbig2StandardTables {
 public:
  static void Acquire();
  static void Release();
  // Table 1 to 15.
  static const HuffmanTable* Get(int number);
};

int Jbig2TablesSegment(Jbig2Segment* segment);

}  // namespace streams
