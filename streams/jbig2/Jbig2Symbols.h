#pragma once
// Symbol dictionaries, text regions, pattern dictionaries and halftone
// regions.
#include <cstdint>

namespace streams {

struct Jbig2Segment;
struct Jbig2Bitmap;

// The exported symbols of a symbol dictionary, in export order.
struct SymbolSet {
  uint32_t capacity = 0;
  uint32_t count = 0;
  Jbig2Bitmap** symbols = nullptr;
};

// The patterns of a pattern dictionary; pattern g at index g.
struct PatternSet {
  uint32_t capacity = 0;
  uint32_t count = 0;
  Jbig2Bitmap** patterns = nullptr;
  uint8_t patternWidth = 0;
  uint8_t patternHeight = 0;
};

int Jbig2SymbolDictionarySegment(Jbig2Segment* segment);
int Jbig2TextRegionSegment(Jbig2Segment* segment);
int Jbig2PatternDictionarySegment(Jbig2Segment* segment);
int Jbig2HalftoneRegionSegment(Jbig2Segment* segment);
// Frees the symbol set, pattern set, retained contexts and table that a
// segment's decoding left.
void Jbig2FreeSymbolResults(Jbig2Segment* segment);

}  // namespace streams
