#pragma once
// One parsed JBIG2 segment: its header, where its data lies, what it refers
// to, and what decoding it produced.
#include <cstdint>

#include "streams/jbig2/Jbig2Bitmap.h"
#include "streams/jbig2/Jbig2Cursor.h"

namespace streams {

struct MqContextStore;
struct SymbolSet;
struct PatternSet;
struct HuffmanTable;

// Result codes of the JBIG2 decoder; 0 is success.
enum Jbig2Result : int {
  kJbig2Ok = 0,
  kJbig2NoMemory = 3,          // an unknown segment type, or a work array refused
  kJbig2BadFileHeader = 4,
  kJbig2UnknownReference = 5,
  kJbig2BadReferredType = 6,
  kJbig2BadReferredCount = 7,
  kJbig2UnknownLength = 8,
  kJbig2TooManySymbols = 9,
  kJbig2BadLength = 10,
  kJbig2NoRetainedContexts = 11,
  kJbig2BadPageHeight = 12,
  kJbig2BadSize = 13,
  kJbig2BadStructure = 15,
};

// Segment types.
enum Jbig2SegmentType : uint8_t {
  kSymbolDictionary = 0,
  kIntermediateTextRegion = 4,
  kImmediateTextRegion = 6,
  kImmediateLosslessTextRegion = 7,
  kPatternDictionary = 16,
  kIntermediateHalftoneRegion = 20,
  kImmediateHalftoneRegion = 22,
  kImmediateLosslessHalftoneRegion = 23,
  kIntermediateGenericRegion = 36,
  kImmediateGenericRegion = 38,
  kImmediateLosslessGenericRegion = 39,
  kIntermediateRefinementRegion = 40,
  kImmediateRefinementRegion = 42,
  kImmediateLosslessRefinementRegion = 43,
  kPageInformation = 48,
  kEndOfPage = 49,
  kEndOfStripe = 50,
  kEndOfFile = 51,
  kProfiles = 52,
  kTables = 53,
  kExtension = 62,
};

struct Jbig2Segment {
  uint32_t number = 0;
  uint8_t type = 0;
  uint8_t pageAssocLong = 0;
  uint8_t deferredNonRetain = 0;
  uint8_t retain = 0;
  uint32_t referredCount = 0;
  uint8_t* retainBits = nullptr;
  uint32_t* referredNumbers = nullptr;
  uint32_t pageAssoc = 0;
  uint32_t dataLength = 0;
  const uint8_t* dataStart = nullptr;
  Jbig2Cursor* cursor = nullptr;
  uint8_t done = 0;
  uint8_t unknownLength = 0;
  uint8_t marked = 0;  // reached while marking references
  uint32_t rowCount = 0;
  uint32_t useCount = 0;
  uint32_t resolvedCount = 0;
  Jbig2Segment** referred = nullptr;

  // Region segments.
  uint32_t regionWidth = 0;
  uint32_t regionHeight = 0;
  uint32_t regionX = 0;
  uint32_t regionY = 0;
  uint8_t externalCombOp = 0;
  uint8_t colourExt = 0;
  Jbig2Bitmap* bitmap = nullptr;  // an intermediate region's result
  Jbig2Bitmap* page = nullptr;
  Jbig2Segment* pageInfo = nullptr;

  // Page information.
  uint32_t pageWidth = 0;
  uint32_t pageHeight = 0;
  uint32_t xResolution = 0;
  uint32_t yResolution = 0;
  uint8_t pageFlags = 0;
  uint16_t striping = 0;
  // End of stripe.
  uint32_t endRow = 0;
  // Pixels the page's text and halftone regions have combined so far, and
  // how many the page's size allows in one decode.
  uint64_t paintedPixels = 0;
  uint64_t paintLimit = 0;

  // Dictionaries and tables.
  SymbolSet* symbols = nullptr;
  MqContextStore* retainedContexts = nullptr;
  MqContextStore* retainedRefinementContexts = nullptr;
  uint8_t contextsRetained = 0;
  uint8_t usedRefinementAggregate = 0;
  uint8_t symbolTemplate = 0;
  uint8_t refinementTemplate = 0;
  PatternSet* patterns = nullptr;
  HuffmanTable* table = nullptr;

  bool IsRegion() const {
    return (type >= 4 && type <= 7) || (type >= 20 && type <= 23) || (type >= 36 && type <= 43);
  }
  bool IsImmediateRegion() const { return IsRegion() && (type & 3) >= 2; }
};

}  // namespace streams
