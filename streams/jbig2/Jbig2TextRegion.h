#pragma once
// The text region decoding procedure, shared by text region segments and
// the refinement/aggregate coding of symbol dictionaries.
#include <cstdint>

#include "streams/jbig2/Jbig2Bitmap.h"
#include "streams/jbig2/Jbig2Cursor.h"
#include "streams/jbig2/Jbig2GenericRegion.h"
#include "streams/jbig2/Jbig2Huffman.h"
#include "streams/jbig2/MqDecoder.h"

namespace streams {
struct Jbig2Segment;
}

namespace streams {

struct SymbolSet;

// The symbols a region or dictionary can use: the exported symbols of the
// dictionaries it refers to, in referral order, then (for a dictionary)
// the new symbols decoded so far.
struct SymbolChain {
  SymbolSet** sets = nullptr;
  uint32_t setCount = 0;
  uint32_t total = 0;
  Jbig2Bitmap** extra = nullptr;
  uint32_t extraCount = 0;

  // Null when the index is past the referred and the new symbols.
  Jbig2Bitmap* Lookup(uint32_t index) const;
};

// Reference corners of symbol instances.
enum : uint8_t { kBottomLeft = 0, kTopLeft = 1, kBottomRight = 2, kTopRight = 3 };

struct TextRegionParams {
  bool huffman = false;
  bool refine = false;
  uint32_t logStrips = 0;
  uint8_t refCorner = kTopLeft;
  bool transposed = false;
  uint8_t combOp = 0;
  int32_t dsOffset = 0;
  uint8_t rTemplate = 0;
  int32_t ratX[2] = {};
  int32_t ratY[2] = {};
  uint32_t numInstances = 0;
  uint32_t symCodeLen = 0;
  const SymbolChain* symbols = nullptr;
  // The region segment whose page limits the painting; null inside a
  // symbol dictionary.
  Jbig2Segment* owner = nullptr;
  // Arithmetic coding.
  IntegerDecoders* integers = nullptr;
  // The refinement contexts (both forms) and, for arithmetic coding, the
  // decoder that the integers share.
  MqContextStore* refinementContexts = nullptr;
  MqDecoder* decoder = nullptr;
  // Huffman coding.
  Jbig2Cursor* cursor = nullptr;
  const HuffmanTable* fs = nullptr;
  const HuffmanTable* ds = nullptr;
  const HuffmanTable* dt = nullptr;
  const HuffmanTable* rdw = nullptr;
  const HuffmanTable* rdh = nullptr;
  const HuffmanTable* rdx = nullptr;
  const HuffmanTable* rdy = nullptr;
  const HuffmanTable* rsize = nullptr;
  // The symbol ID code; null: IDs are symCodeLen plain bits.
  const HuffmanTable* idCode = nullptr;
};

// Paints the instances into `region` (already filled with the default
// pixel); returns a result code.
int Jbig2DecodeTextRegion(const TextRegionParams& params, Jbig2Bitmap* region);

// Gathers the referred symbol dictionaries (into `chain`) and tables
// segments (into `tables`, in referral order) of a text region or symbol
// dictionary; with `allowTables` false only symbol dictionaries are
// accepted. A result code.
struct Jbig2Segment;
int Jbig2GatherReferences(Jbig2Segment* segment, bool allowTables, SymbolChain* chain,
                          HuffmanTable*** tables, uint32_t* tableCount);

// Huffman-coded regions and dictionaries code a refinement arithmetically
// in the next `size` bytes (after a byte boundary): decodes it from there
// and leaves the cursor after them; a result code.
int Jbig2DecodeRefinementFromBytes(Jbig2Cursor* cursor, uint32_t size, MqContextStore* contexts,
                                   const RefinementParams& params, Jbig2Bitmap* bitmap);

// The smallest n with 2^n at least `count`.
uint32_t Jbig2CodeLength(uint64_t count);

}  // namespace streams
