#include "streams/jbig2/Jbig2TextRegion.h"

#include <cstring>
#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "streams/jbig2/Jbig2GenericRegion.h"
#include "streams/jbig2/Jbig2Segment.h"
#include "streams/jbig2/Jbig2Symbols.h"

namespace streams {
namespace {

using runtime::Jbig2Heap;

// Floor division by 2 for the reference offsets of refined instances.
int64_t HalfFloor(int32_t value) { return value >= 0 ? value / 2 : -((-int64_t{value} + 1) / 2); }

// Reads the symbol ID code of a Huffman text region: the lengths of the
// run codes, then the code length of every symbol, run-length coded.
const HuffmanTable* ReadSymbolIdCode(Jbig2Cursor* cursor, uint32_t symbolCount, int* result) {
  cursor->AlignToByte();
  HuffmanLine runLines[35];
  for (uint32_t i = 0; i < 35; ++i) {
    runLines[i] = HuffmanLine();
    runLines[i].prefixLength = static_cast<uint8_t>(cursor->ReadBits(4));
    runLines[i].rangeLow = static_cast<int32_t>(i);
  }
  HuffmanTable* runCode = HuffmanTable::Build(runLines, 35);
  auto* lines = static_cast<HuffmanLine*>(Jbig2Heap::Alloc(sizeof(HuffmanLine) * symbolCount));
  uint32_t i = 0;
  while (i < symbolCount) {
    bool oob = false;
    const int32_t code = runCode->Decode(cursor, &oob);
    uint32_t repeat = 1;
    uint8_t length = 0;
    if (code < 32) {
      length = static_cast<uint8_t>(code);
    } else if (code == 32) {
      if (i == 0) {
        *result = kJbig2BadStructure;
        return nullptr;
      }
      length = lines[i - 1].prefixLength;
      repeat = 3 + cursor->ReadBits(2);
    } else if (code == 33) {
      repeat = 3 + cursor->ReadBits(3);
    } else {
      repeat = 11 + cursor->ReadBits(7);
    }
    if (repeat > symbolCount - i) {
      *result = kJbig2BadStructure;
      return nullptr;
    }
    for (uint32_t r = 0; r < repeat; ++r, ++i) {
      lines[i] = HuffmanLine();
      lines[i].prefixLength = length;
      lines[i].rangeLow = static_cast<int32_t>(i);
    }
  }
  cursor->AlignToByte();
  HuffmanTable::Free(runCode);
  HuffmanTable* code = HuffmanTable::Build(lines, symbolCount);
  Jbig2Heap::Free(lines);
  if (code == nullptr) *result = kJbig2BadStructure;
  return code;
}

}  // namespace

int Jbig2DecodeRefinementFromBytes(Jbig2Cursor* cursor, uint32_t size, MqContextStore* contexts,
                                   const RefinementParams& params, Jbig2Bitmap* bitmap) {
  cursor->AlignToByte();
  if (cursor->Remaining() < size) runtime::ThrowRuntime(runtime::kOverflow);
  Jbig2Cursor coded;
  coded.Reset(cursor->pos, size);
  MqDecoder decoder;
  decoder.InitDec(&coded);
  const int result = Jbig2DecodeRefinement(&decoder, contexts, params, bitmap);
  cursor->pos += size;
  cursor->AlignToByte();
  return result;
}

uint32_t Jbig2CodeLength(uint64_t count) {
  uint32_t length = 0;
  while ((uint64_t{1} << length) < count) ++length;
  return length;
}

Jbig2Bitmap* SymbolChain::Lookup(uint32_t index) const {
  for (uint32_t s = 0; s < setCount; ++s) {
    if (index < sets[s]->count) return sets[s]->symbols[index];
    index -= sets[s]->count;
  }
  return index < extraCount ? extra[index] : nullptr;
}

int Jbig2DecodeTextRegion(const TextRegionParams& p, Jbig2Bitmap* region) {
  const int64_t strips = int64_t{1} << p.logStrips;
  auto value = [&](int procedure, const HuffmanTable* table, bool* oob) -> int64_t {
    if (!p.huffman) return p.integers->Decode(procedure, oob);
    if (table == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
    return table->Decode(p.cursor, oob);
  };
  auto must = [&](int procedure, const HuffmanTable* table) -> int64_t {
    bool oob = false;
    const int64_t v = value(procedure, table, &oob);
    // Out-of-band where a number is required is malformed data.
    if (oob) runtime::ThrowRuntime(runtime::kMalformed);
    return v;
  };

  int64_t stripT = -must(IntegerDecoders::kIadt, p.dt) * strips;
  int64_t firstS = 0;
  uint32_t instances = 0;
  uint64_t painted = 0;
  while (instances < p.numInstances) {
    stripT += must(IntegerDecoders::kIadt, p.dt) * strips;
    firstS += must(IntegerDecoders::kIafs, p.fs);
    int64_t curS = firstS;
    for (bool first = true;; first = false) {
      if (!first) {
        bool oob = false;
        const int64_t ds = value(IntegerDecoders::kIads, p.ds, &oob);
        if (oob) break;
        // More instances than the region declares: the data is damaged,
        // and what was painted stands.
        if (instances >= p.numInstances) return kJbig2Ok;
        curS += ds + p.dsOffset;
      }
      int64_t curT = 0;
      if (strips > 1) {
        curT = p.huffman ? int64_t{p.cursor->ReadBits(static_cast<int>(p.logStrips))}
                         : must(IntegerDecoders::kIait, nullptr);
      }
      const int64_t t = stripT + curT;
      uint32_t id;
      if (!p.huffman) {
        id = p.integers->DecodeId();
      } else if (p.idCode != nullptr) {
        bool oob = false;
        id = static_cast<uint32_t>(p.idCode->Decode(p.cursor, &oob));
      } else {
        id = p.cursor->ReadBits(static_cast<int>(p.symCodeLen));
      }
      Jbig2Bitmap* symbol = p.symbols->Lookup(id);
      if (symbol == nullptr) return kJbig2BadSize;

      int refined = 0;
      if (p.refine) {
        refined = p.huffman ? static_cast<int>(p.cursor->ReadBit())
                            : static_cast<int>(must(IntegerDecoders::kIari, nullptr));
      }
      Jbig2Bitmap* instance = symbol;
      if (refined) {
        const auto rdw = static_cast<int32_t>(must(IntegerDecoders::kIardw, p.rdw));
        const auto rdh = static_cast<int32_t>(must(IntegerDecoders::kIardh, p.rdh));
        const auto rdx = static_cast<int32_t>(must(IntegerDecoders::kIardx, p.rdx));
        const auto rdy = static_cast<int32_t>(must(IntegerDecoders::kIardy, p.rdy));
        const int64_t width = int64_t{symbol->width} + rdw;
        const int64_t height = int64_t{symbol->height} + rdh;
        if (width < 0 || height < 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
          return kJbig2BadSize;
        }
        int result = 0;
        instance = Jbig2Bitmap::Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                       0, &result);
        if (instance == nullptr) return result;
        RefinementParams refinement;
        refinement.width = instance->width;
        refinement.height = instance->height;
        refinement.grTemplate = p.rTemplate;
        refinement.reference = symbol;
        refinement.referenceDx = static_cast<int32_t>(HalfFloor(rdw) + rdx);
        refinement.referenceDy = static_cast<int32_t>(HalfFloor(rdh) + rdy);
        refinement.atX[0] = p.ratX[0];
        refinement.atY[0] = p.ratY[0];
        refinement.atX[1] = p.ratX[1];
        refinement.atY[1] = p.ratY[1];
        if (p.huffman) {
          // The refinement is coded arithmetically in the next BMSIZE bytes.
          const auto size = static_cast<uint32_t>(must(0, p.rsize));
          result = Jbig2DecodeRefinementFromBytes(p.cursor, size, p.refinementContexts,
                                                  refinement, instance);
        } else {
          result = Jbig2DecodeRefinement(p.decoder, p.refinementContexts, refinement, instance);
        }
        if (result != kJbig2Ok) {
          Jbig2Bitmap::Free(instance);
          return result;
        }
      }

      const int64_t w = instance->width;
      const int64_t h = instance->height;
      if (!p.transposed && (p.refCorner == kTopRight || p.refCorner == kBottomRight)) curS += w - 1;
      if (p.transposed && (p.refCorner == kBottomLeft || p.refCorner == kBottomRight)) curS += h - 1;
      int64_t x;
      int64_t y;
      const bool bottom = p.refCorner == kBottomLeft || p.refCorner == kBottomRight;
      const bool right = p.refCorner == kBottomRight || p.refCorner == kTopRight;
      if (!p.transposed) {
        x = right ? curS - w + 1 : curS;
        y = bottom ? t - h + 1 : t;
      } else {
        x = right ? t - w + 1 : t;
        y = bottom ? curS - h + 1 : curS;
      }
      uint64_t work = Jbig2Bitmap::ComposeClipped(region, instance, x, y, p.combOp);
      if (refined) {
        work += uint64_t{instance->width} * instance->height;
        Jbig2Bitmap::Free(instance);
      }
      painted += work;
      if (painted > kJbig2MaxPaintedPixels || !Jbig2CountPainting(p.owner, work)) {
        return kJbig2BadSize;
      }
      if (!p.transposed && (p.refCorner == kTopLeft || p.refCorner == kBottomLeft)) curS += w - 1;
      if (p.transposed && (p.refCorner == kTopLeft || p.refCorner == kTopRight)) curS += h - 1;
      ++instances;
      // Arithmetic data that has run out yields values for ever; a strip
      // that never ends must not paint without end.
      if (!p.huffman && p.decoder->PastEnd()) return kJbig2BadStructure;
    }
  }
  return kJbig2Ok;
}

namespace {

// Picks a Huffman table: selector 0 to 2 the standard table given for it
// (0: none, which is malformed), 3 the next user table.
const HuffmanTable* SelectTable(uint32_t selector, int first, int second, int third,
                                HuffmanTable** userTables, uint32_t userCount,
                                uint32_t* nextUser) {
  const int standard[3] = {first, second, third};
  if (selector == 3) return *nextUser < userCount ? userTables[(*nextUser)++] : nullptr;
  if (selector > 2 || standard[selector] == 0) runtime::ThrowRuntime(runtime::kMalformed);
  return Jbig2StandardTables::Get(standard[selector]);
}

}  // namespace

// Gathers the referred symbol dictionaries and tables of a text region or
// dictionary; `allowTables` false admits symbol dictionaries only.
int Jbig2GatherReferences(Jbig2Segment* segment, bool allowTables, SymbolChain* chain,
                          HuffmanTable*** tables, uint32_t* tableCount) {
  chain->sets = static_cast<SymbolSet**>(
      Jbig2Heap::Alloc(sizeof(SymbolSet*) * (uint64_t{segment->resolvedCount} + 1)));
  *tables = static_cast<HuffmanTable**>(
      Jbig2Heap::Alloc(sizeof(HuffmanTable*) * (uint64_t{segment->resolvedCount} + 1)));
  *tableCount = 0;
  for (uint32_t r = 0; r < segment->resolvedCount; ++r) {
    Jbig2Segment* target = segment->referred[r];
    if (target->type == kSymbolDictionary) {
      if (target->symbols == nullptr) return kJbig2BadStructure;
      chain->sets[chain->setCount++] = target->symbols;
      chain->total += target->symbols->count;
    } else if (target->type == kTables && allowTables) {
      if (target->table != nullptr) (*tables)[(*tableCount)++] = target->table;
    } else {
      return kJbig2BadReferredType;
    }
  }
  return kJbig2Ok;
}

int Jbig2TextRegionSegment(Jbig2Segment* segment) {
  int result = Jbig2ReadRegionInfo(segment);
  if (result != 0) return result;
  Jbig2Cursor* cursor = segment->cursor;
  Jbig2Bitmap* region = segment->bitmap;
  const uint32_t flags = cursor->ReadUInt(2);
  TextRegionParams p;
  p.huffman = flags & 1;
  p.refine = (flags >> 1) & 1;
  p.logStrips = (flags >> 2) & 3;
  p.refCorner = static_cast<uint8_t>((flags >> 4) & 3);
  p.transposed = (flags >> 6) & 1;
  p.combOp = static_cast<uint8_t>((flags >> 7) & 3);
  const uint8_t defPixel = (flags >> 9) & 1;
  p.dsOffset = static_cast<int32_t>((flags >> 10) & 0x1F);
  if (p.dsOffset & 0x10) p.dsOffset -= 32;
  p.rTemplate = (flags >> 15) & 1;
  const uint32_t huffFlags = p.huffman ? cursor->ReadUInt(2) : 0;
  if (p.refine && p.rTemplate == 0) {
    for (int i = 0; i < 2; ++i) {
      p.ratX[i] = cursor->ReadSignedByte();
      p.ratY[i] = cursor->ReadSignedByte();
    }
  }
  p.numInstances = cursor->ReadUInt(4);
  p.owner = segment;

  SymbolChain chain;
  HuffmanTable** userTables = nullptr;
  uint32_t userCount = 0;
  result = Jbig2GatherReferences(segment, true, &chain, &userTables, &userCount);
  if (result != kJbig2Ok) return result;
  // A region that refers to no dictionary has no symbols: it is its
  // default pixel, and any instance it codes is an error.
  p.symbols = &chain;
  p.symCodeLen = Jbig2CodeLength(chain.total);

  // The region starts as the default pixel, whatever its colour extension.
  Jbig2Bitmap::Fill(region, defPixel);

  MqDecoder decoder;
  p.refinementContexts = p.refine ? MqContextStore::Create(16) : nullptr;
  if (p.huffman) {
    uint32_t next = 0;
    p.cursor = cursor;
    p.fs = SelectTable(huffFlags & 3, 6, 7, 0, userTables, userCount, &next);
    p.ds = SelectTable((huffFlags >> 2) & 3, 8, 9, 10, userTables, userCount, &next);
    p.dt = SelectTable((huffFlags >> 4) & 3, 11, 12, 13, userTables, userCount, &next);
    p.rdw = SelectTable((huffFlags >> 6) & 3, 14, 15, 0, userTables, userCount, &next);
    p.rdh = SelectTable((huffFlags >> 8) & 3, 14, 15, 0, userTables, userCount, &next);
    p.rdx = SelectTable((huffFlags >> 10) & 3, 14, 15, 0, userTables, userCount, &next);
    p.rdy = SelectTable((huffFlags >> 12) & 3, 14, 15, 0, userTables, userCount, &next);
    p.rsize = SelectTable(((huffFlags >> 14) & 1) ? 3 : 0, 1, 0, 0, userTables, userCount, &next);
    if (!p.fs || !p.ds || !p.dt || !p.rdw || !p.rdh || !p.rdx || !p.rdy || !p.rsize) {
      return kJbig2BadSize;
    }
    const HuffmanTable* idCode = ReadSymbolIdCode(cursor, chain.total, &result);
    if (idCode == nullptr) return result;
    p.idCode = idCode;
    result = Jbig2DecodeTextRegion(p, region);
    HuffmanTable::Free(const_cast<HuffmanTable*>(idCode));
  } else {
    if (p.symCodeLen > IntegerDecoders::kMaxSymCodeLen) return kJbig2NoMemory;
    decoder.InitDec(cursor);
    p.decoder = &decoder;
    p.integers = IntegerDecoders::Create(&decoder, p.symCodeLen);
    result = Jbig2DecodeTextRegion(p, region);
    IntegerDecoders::Free(p.integers);
  }
  MqContextStore::Free(p.refinementContexts);
  Jbig2Heap::Free(chain.sets);
  Jbig2Heap::Free(userTables);
  if (result != kJbig2Ok) return result;
  Jbig2FinishRegion(segment, region, Jbig2RegionOperator(segment));
  return kJbig2Ok;
}

}  // namespace streams
