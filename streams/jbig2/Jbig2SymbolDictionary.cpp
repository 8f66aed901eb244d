#include <cstring>
#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "streams/jbig2/Jbig2GenericRegion.h"
#include "streams/jbig2/Jbig2Segment.h"
#include "streams/jbig2/Jbig2Symbols.h"
#include "streams/jbig2/Jbig2TextRegion.h"
#include "streams/jbig2/MmrDecoder.h"

namespace streams {
namespace {

using runtime::Jbig2Heap;

// New or exported symbols one dictionary may declare.
constexpr uint32_t kMaxSymbols = 1u << 20;

struct DictionaryHeader {
  bool huffman;
  bool refAgg;
  uint32_t huffDh;
  uint32_t huffDw;
  uint32_t huffBmSize;
  uint32_t huffAggInst;
  bool contextUsed;
  bool contextRetained;
  uint8_t sdTemplate;
  uint8_t sdrTemplate;
  int32_t atX[4];
  int32_t atY[4];
  int32_t ratX[2];
  int32_t ratY[2];
  uint32_t numExported;
  uint32_t numNew;
};

void ReadHeader(Jbig2Cursor* cursor, DictionaryHeader* h) {
  *h = DictionaryHeader();
  const uint32_t flags = cursor->ReadUInt(2);
  h->huffman = flags & 1;
  h->refAgg = (flags >> 1) & 1;
  if (h->huffman) {
    h->huffDh = (flags >> 2) & 3;
    h->huffDw = (flags >> 4) & 3;
    h->huffBmSize = (flags >> 6) & 1;
    h->huffAggInst = (flags >> 7) & 1;
  }
  if (!h->huffman || h->refAgg) {
    h->contextUsed = (flags >> 8) & 1;
    h->contextRetained = (flags >> 9) & 1;
  }
  h->sdTemplate = h->huffman ? 0 : static_cast<uint8_t>((flags >> 10) & 3);
  h->sdrTemplate = h->refAgg ? static_cast<uint8_t>((flags >> 12) & 1) : 0;
  if (!h->huffman) {
    const int count = h->sdTemplate == 0 ? 4 : 1;
    for (int i = 0; i < count; ++i) {
      h->atX[i] = cursor->ReadSignedByte();
      h->atY[i] = cursor->ReadSignedByte();
    }
  }
  if (h->refAgg && h->sdrTemplate == 0) {
    for (int i = 0; i < 2; ++i) {
      h->ratX[i] = cursor->ReadSignedByte();
      h->ratY[i] = cursor->ReadSignedByte();
    }
  }
  h->numExported = cursor->ReadUInt(4);
  h->numNew = cursor->ReadUInt(4);
}

const HuffmanTable* Select(uint32_t selector, int first, int second, HuffmanTable** user,
                           uint32_t userCount, uint32_t* next) {
  if (selector == 3) return *next < userCount ? user[(*next)++] : nullptr;
  if (selector == 0) return Jbig2StandardTables::Get(first);
  if (selector == 1 && second != 0) return Jbig2StandardTables::Get(second);
  runtime::ThrowRuntime(runtime::kMalformed);
}

// The state of one dictionary's decoding.
struct Dictionary {
  DictionaryHeader h;
  Jbig2Cursor* cursor = nullptr;
  SymbolChain chain;          // input symbols, then the new ones
  Jbig2Bitmap** fresh = nullptr;
  uint32_t freshCount = 0;
  MqDecoder decoder;
  MqContextStore* generic = nullptr;
  MqContextStore* refinement = nullptr;
  IntegerDecoders* integers = nullptr;
  uint32_t symCodeLen = 0;
  const HuffmanTable* dh = nullptr;
  const HuffmanTable* dw = nullptr;
  const HuffmanTable* bmSize = nullptr;
  const HuffmanTable* aggInst = nullptr;
};

int64_t Value(Dictionary& d, int procedure, const HuffmanTable* table, bool* oob) {
  return d.h.huffman ? table->Decode(d.cursor, oob) : d.integers->Decode(procedure, oob);
}

// Decodes one symbol by refinement or aggregation (SDREFAGG).
int DecodeAggregate(Dictionary& d, uint32_t width, uint32_t height, Jbig2Bitmap** out) {
  bool oob = false;
  const int64_t instances = Value(d, IntegerDecoders::kIaai, d.aggInst, &oob);
  if (oob || instances < 0) return kJbig2BadStructure;
  int result = 0;
  Jbig2Bitmap* symbol = Jbig2Bitmap::Create(width, height, 0, &result);
  if (symbol == nullptr) return result;
  d.chain.extraCount = d.freshCount;
  if (instances == 1) {
    uint32_t id;
    int32_t rdx;
    int32_t rdy;
    if (d.h.huffman) {
      id = d.cursor->ReadBits(static_cast<int>(d.symCodeLen));
      const HuffmanTable* b15 = Jbig2StandardTables::Get(15);
      rdx = b15->Decode(d.cursor, &oob);
      rdy = b15->Decode(d.cursor, &oob);
    } else {
      id = d.integers->DecodeId();
      rdx = d.integers->Decode(IntegerDecoders::kIardx, &oob);
      rdy = d.integers->Decode(IntegerDecoders::kIardy, &oob);
    }
    Jbig2Bitmap* reference = d.chain.Lookup(id);
    if (reference == nullptr) return kJbig2BadStructure;
    RefinementParams refinement;
    refinement.width = width;
    refinement.height = height;
    refinement.grTemplate = d.h.sdrTemplate;
    refinement.reference = reference;
    refinement.referenceDx = rdx;
    refinement.referenceDy = rdy;
    refinement.atX[0] = d.h.ratX[0];
    refinement.atY[0] = d.h.ratY[0];
    refinement.atX[1] = d.h.ratX[1];
    refinement.atY[1] = d.h.ratY[1];
    if (d.h.huffman) {
      const auto size = static_cast<uint32_t>(Jbig2StandardTables::Get(1)->Decode(d.cursor, &oob));
      result = Jbig2DecodeRefinementFromBytes(d.cursor, size, d.refinement, refinement, symbol);
    } else {
      result = Jbig2DecodeRefinement(&d.decoder, d.refinement, refinement, symbol);
    }
    if (result != kJbig2Ok) return result;
  } else {
    TextRegionParams p;
    p.huffman = d.h.huffman;
    p.refine = true;
    p.refCorner = kTopLeft;
    p.rTemplate = d.h.sdrTemplate;
    p.ratX[0] = d.h.ratX[0];
    p.ratY[0] = d.h.ratY[0];
    p.ratX[1] = d.h.ratX[1];
    p.ratY[1] = d.h.ratY[1];
    p.numInstances = static_cast<uint32_t>(instances);
    p.symCodeLen = d.symCodeLen;
    p.symbols = &d.chain;
    p.integers = d.integers;
    p.decoder = &d.decoder;
    p.refinementContexts = d.refinement;
    if (d.h.huffman) {
      p.cursor = d.cursor;
      p.fs = Jbig2StandardTables::Get(6);
      p.ds = Jbig2StandardTables::Get(8);
      p.dt = Jbig2StandardTables::Get(11);
      p.rdw = p.rdh = p.rdx = p.rdy = Jbig2StandardTables::Get(15);
      p.rsize = Jbig2StandardTables::Get(1);
    }
    result = Jbig2DecodeTextRegion(p, symbol);
    if (result != kJbig2Ok) return result;
  }
  *out = symbol;
  return kJbig2Ok;
}

// Reads the collective bitmap of one height class (Huffman coding without
// refinement) and cuts the class's symbols from it.
int DecodeCollective(Dictionary& d, uint32_t firstSymbol, const uint32_t* widths,
                     uint64_t totalWidth, uint32_t height) {
  bool oob = false;
  const auto size = static_cast<uint32_t>(d.bmSize->Decode(d.cursor, &oob));
  d.cursor->AlignToByte();
  if (totalWidth > 0x7FFFFFFF) return kJbig2BadSize;
  int result = 0;
  Jbig2Bitmap* collective =
      Jbig2Bitmap::Create(static_cast<uint32_t>(totalWidth), height, 0, &result);
  if (collective == nullptr) return result;
  if (size == 0) {
    // Uncompressed rows.
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < collective->rowBytes; ++x) collective->Row(y)[x] = d.cursor->ReadByte();
      if (totalWidth & 7) {
        collective->Row(y)[collective->rowBytes - 1] &=
            static_cast<uint8_t>(0xFF << (8 - (totalWidth & 7)));
      }
    }
  } else {
    if (d.cursor->Remaining() < size) runtime::ThrowRuntime(runtime::kOverflow);
    Jbig2Cursor coded;
    coded.Reset(d.cursor->pos, size);
    result = MmrDecoder::Decode(&coded, collective, false);
    if (result != 0) return result;
    d.cursor->pos += size;
  }
  d.cursor->AlignToByte();
  uint32_t x = 0;
  for (uint32_t i = firstSymbol; i < d.freshCount; ++i) {
    d.fresh[i] = Jbig2Bitmap::Extract(collective, x, 0, widths[i - firstSymbol], height);
    x += widths[i - firstSymbol];
  }
  Jbig2Bitmap::Free(collective);
  return kJbig2Ok;
}

int DecodeSymbols(Dictionary& d) {
  int64_t classHeight = 0;
  uint32_t* widths = static_cast<uint32_t*>(
      Jbig2Heap::Alloc(sizeof(uint32_t) * (uint64_t{d.h.numNew} + 1)));
  while (d.freshCount < d.h.numNew) {
    if (!d.h.huffman && d.decoder.PastEnd()) return kJbig2BadStructure;
    bool oob = false;
    const int64_t dh = Value(d, IntegerDecoders::kIadh, d.dh, &oob);
    if (oob) return kJbig2BadStructure;
    classHeight += dh;
    if (classHeight < 0 || classHeight > 0x7FFFFFFF) return kJbig2BadSize;
    int64_t symbolWidth = 0;
    uint64_t totalWidth = 0;
    const uint32_t firstSymbol = d.freshCount;
    for (;;) {
      const int64_t dw = Value(d, IntegerDecoders::kIadw, d.dw, &oob);
      if (oob) break;
      if (d.freshCount >= d.h.numNew) return kJbig2BadStructure;
      symbolWidth += dw;
      if (symbolWidth < 0 || symbolWidth > 0x7FFFFFFF) return kJbig2BadSize;
      totalWidth += static_cast<uint64_t>(symbolWidth);
      const auto width = static_cast<uint32_t>(symbolWidth);
      const auto height = static_cast<uint32_t>(classHeight);
      if (d.h.huffman && !d.h.refAgg) {
        // Cut from the class's collective bitmap once the class is read.
        widths[d.freshCount - firstSymbol] = width;
        d.fresh[d.freshCount++] = nullptr;
        continue;
      }
      Jbig2Bitmap* symbol = nullptr;
      if (d.h.refAgg) {
        const int result = DecodeAggregate(d, width, height, &symbol);
        if (result != kJbig2Ok) return result;
      } else {
        int result = 0;
        symbol = Jbig2Bitmap::Create(width, height, 0, &result);
        if (symbol == nullptr) return result;
        GenericRegionParams params;
        params.width = width;
        params.height = height;
        params.gbTemplate = d.h.sdTemplate;
        for (int i = 0; i < 4; ++i) {
          params.atX[i] = d.h.atX[i];
          params.atY[i] = d.h.atY[i];
        }
        // Stored as soon as made, so that a failing dictionary frees it.
        d.fresh[d.freshCount++] = symbol;
        result = Jbig2DecodeGenericRegion(&d.decoder, d.generic, params, symbol);
        if (result != kJbig2Ok) return result;
        continue;
      }
      d.fresh[d.freshCount++] = symbol;
    }
    if (d.h.huffman && !d.h.refAgg) {
      const int result = DecodeCollective(d, firstSymbol, widths, totalWidth,
                                          static_cast<uint32_t>(classHeight));
      if (result != kJbig2Ok) return result;
    }
  }
  Jbig2Heap::Free(widths);
  return kJbig2Ok;
}

// Picks the exported symbols: runs that alternate between not exported and
// exported, over the input and then the new symbols.
int ExportSymbols(Dictionary& d, SymbolSet* set) {
  const uint64_t total = uint64_t{d.chain.total} + d.freshCount;
  uint64_t index = 0;
  bool exported = false;
  // Runs of no symbols are legal but cannot repeat endlessly.
  for (uint64_t runs = 0; index < total; ++runs) {
    if (runs > 2 * total + 2) return kJbig2BadStructure;
    bool oob = false;
    const int64_t run = d.h.huffman ? Jbig2StandardTables::Get(1)->Decode(d.cursor, &oob)
                                    : d.integers->Decode(IntegerDecoders::kIaex, &oob);
    if (oob || run < 0 || static_cast<uint64_t>(run) > total - index) return kJbig2BadStructure;
    if (exported) {
      for (int64_t i = 0; i < run; ++i) {
        if (set->count >= set->capacity) return kJbig2TooManySymbols;
        const uint64_t at = index + static_cast<uint64_t>(i);
        Jbig2Bitmap* symbol =
            at < d.chain.total ? d.chain.Lookup(static_cast<uint32_t>(at)) : d.fresh[at - d.chain.total];
        // An input symbol stays with its own dictionary; the set gets a copy.
        set->symbols[set->count++] =
            at < d.chain.total ? Jbig2Bitmap::Extract(symbol, 0, 0, symbol->width, symbol->height)
                               : symbol;
        if (at >= d.chain.total) d.fresh[at - d.chain.total] = nullptr;
      }
    }
    index += static_cast<uint64_t>(run);
    exported = !exported;
  }
  return kJbig2Ok;
}

}  // namespace

int Jbig2SymbolDictionarySegment(Jbig2Segment* segment) {
  Dictionary d;
  d.cursor = segment->cursor;
  ReadHeader(d.cursor, &d.h);
  HuffmanTable** userTables = nullptr;
  uint32_t userCount = 0;
  int result = Jbig2GatherReferences(segment, d.h.huffman, &d.chain, &userTables, &userCount);
  if (result != kJbig2Ok) return result;
  // Far more symbols than any page holds: refuse before allocating for them.
  if (d.h.numNew > kMaxSymbols || d.h.numExported > kMaxSymbols) {
    runtime::ThrowRuntime(runtime::kOutOfMemory);
  }
  const uint64_t allSymbols = uint64_t{d.chain.total} + d.h.numNew;
  if (d.h.numExported > allSymbols) return kJbig2BadStructure;
  d.symCodeLen = Jbig2CodeLength(allSymbols);

  auto* set = new (Jbig2Heap::Alloc(sizeof(SymbolSet))) SymbolSet();
  set->capacity = d.h.numExported;
  set->symbols = static_cast<Jbig2Bitmap**>(
      Jbig2Heap::Calloc(uint64_t{d.h.numExported} + 1, sizeof(Jbig2Bitmap*)));
  if (set->symbols == nullptr) return kJbig2NoMemory;
  d.fresh = static_cast<Jbig2Bitmap**>(
      Jbig2Heap::Calloc(uint64_t{d.h.numNew} + 1, sizeof(Jbig2Bitmap*)));
  if (d.fresh == nullptr) return kJbig2NoMemory;
  d.chain.extra = d.fresh;

  if (d.h.huffman) {
    uint32_t next = 0;
    d.dh = Select(d.h.huffDh, 4, 5, userTables, userCount, &next);
    d.dw = Select(d.h.huffDw, 2, 3, userTables, userCount, &next);
    d.bmSize = Select(d.h.huffBmSize ? 3 : 0, 1, 0, userTables, userCount, &next);
    d.aggInst = Select(d.h.huffAggInst ? 3 : 0, 1, 0, userTables, userCount, &next);
    if (!d.dh || !d.dw || !d.bmSize || !d.aggInst) return kJbig2BadSize;
    // Bit reading starts at the byte after the header.
    d.cursor->AlignToByte();
  } else {
    if (d.symCodeLen > IntegerDecoders::kMaxSymCodeLen) return kJbig2NoMemory;
    d.decoder.InitDec(d.cursor);
    d.integers = IntegerDecoders::Create(&d.decoder, d.symCodeLen);
  }
  d.generic = MqContextStore::Create(16);
  d.refinement = MqContextStore::Create(16);
  if (d.h.contextUsed) {
    // The contexts carry on from the last referred dictionary that kept
    // its own.
    const Jbig2Segment* source = nullptr;
    for (uint32_t r = segment->resolvedCount; r-- > 0 && source == nullptr;) {
      const Jbig2Segment* target = segment->referred[r];
      if (target->type == kSymbolDictionary && target->contextsRetained &&
          target->retainedContexts != nullptr) {
        source = target;
      }
    }
    if (source == nullptr) return kJbig2NoRetainedContexts;
    d.generic->CopyFrom(*source->retainedContexts);
    if (source->retainedRefinementContexts != nullptr) {
      d.refinement->CopyFrom(*source->retainedRefinementContexts);
    }
  }

  result = DecodeSymbols(d);
  if (result == kJbig2Ok) result = ExportSymbols(d, set);
  for (uint32_t i = 0; i < d.freshCount; ++i) Jbig2Bitmap::Free(d.fresh[i]);
  Jbig2Heap::Free(d.fresh);
  IntegerDecoders::Free(d.integers);
  Jbig2Heap::Free(d.chain.sets);
  Jbig2Heap::Free(userTables);
  segment->symbols = set;
  if (d.h.contextRetained) {
    segment->contextsRetained = 1;
    segment->retainedContexts = d.generic;
    segment->retainedRefinementContexts = d.refinement;
  } else {
    MqContextStore::Free(d.generic);
    MqContextStore::Free(d.refinement);
  }
  return result;
}

}  // namespace streams
