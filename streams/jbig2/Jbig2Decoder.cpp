#include "streams/jbig2/Jbig2Decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "runtime/Scheduler.h"
#include "streams/jbig2/Jbig2GenericRegion.h"
#include "streams/jbig2/Jbig2Huffman.h"
#include "streams/jbig2/Jbig2Symbols.h"
#include "streams/jbig2/MqDecoder.h"

namespace streams {
namespace {

using runtime::Jbig2Heap;

// The file header's identification string.
constexpr uint8_t kFileId[8] = {0x97, 0x4A, 0x42, 0x32, 0x0D, 0x0A, 0x1A, 0x0A};
// What follows the data when a stream's length was taken too long.
constexpr char kEndStream[] = "\r\nendstream\r";
// Unknown data length (only a generic region may have one) and unknown
// page height (a striped page).
constexpr uint32_t kUnknown = 0xFFFFFFFFu;
// One decode's memory: room for dictionaries and tables, plus three times
// the page (the page, a region as large, the output), never above the
// maximum, whatever the page claims and whatever the host's budget.
constexpr uint64_t kBaseDecodeBytes = uint64_t{8} << 20;
constexpr uint64_t kMaxDecodeBytes = uint64_t{64} << 20;
// The pixels a page's text and halftone regions may combine in one decode:
// a generous number of layers of the page, plus a floor for small pages.
constexpr uint64_t kPaintLayers = 64;
constexpr uint64_t kPaintFloor = uint64_t{1} << 26;

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The page size as its segments state it, before anything is decoded; a
// striped page of unknown height takes its last end-of-stripe row.
void PeekPageSize(const Jbig2Segment* const* segments, uint32_t count, uint64_t* width,
                  uint64_t* height) {
  *width = 0;
  *height = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const Jbig2Segment* segment = segments[i];
    if (segment->type == 48 && segment->dataLength >= 8 && *width == 0) {
      *width = BigEndian32(segment->dataStart);
      *height = BigEndian32(segment->dataStart + 4);
    }
  }
  if (*height != kUnknown) return;
  *height = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (segments[i]->type == 50 && segments[i]->dataLength >= 4) {
      *height = uint64_t{BigEndian32(segments[i]->dataStart)} + 1;
    }
  }
}

template <class T>
T* HeapArray(uint64_t count) {
  if (count == 0) return nullptr;
  if (count > SIZE_MAX / sizeof(T)) runtime::ThrowRuntime(runtime::kOutOfMemory);
  return static_cast<T*>(Jbig2Heap::Alloc(static_cast<size_t>(count * sizeof(T))));
}

// A growable list of segment pointers on the JBIG2 heap.
struct SegmentList {
  Jbig2Segment** items = nullptr;
  uint32_t count = 0;
  uint32_t capacity = 0;

  void Append(Jbig2Segment* segment) {
    if (count == capacity) {
      // Doubling keeps hostile streams of many tiny segments linear.
      const uint32_t grown = capacity < 10 ? 10 : capacity * 2;
      auto** fresh = HeapArray<Jbig2Segment*>(grown);
      if (count > 0) std::memcpy(fresh, items, count * sizeof(Jbig2Segment*));
      Jbig2Heap::Free(items);
      items = fresh;
      capacity = grown;
    }
    items[count++] = segment;
  }
};

bool KnownType(uint8_t type) {
  switch (type) {
    case 0: case 4: case 6: case 7: case 16: case 20: case 22: case 23: case 36: case 38:
    case 39: case 40: case 42: case 43: case 48: case 49: case 50: case 51: case 52: case 53:
    case 62:
      return true;
    default:
      return false;
  }
}

bool MarksReferences(uint8_t type) {
  switch (type) {
    case 4: case 6: case 7: case 20: case 22: case 23: case 36: case 38: case 39: case 40:
    case 42: case 43: case 62:
      return true;
    default:
      return false;
  }
}

int ParseSegmentHeader(Jbig2Cursor& cursor, Jbig2Segment* segment) {
  segment->number = cursor.ReadUInt(4);
  const uint8_t flags = cursor.ReadByte();
  segment->type = flags & 0x3F;
  segment->pageAssocLong = (flags >> 6) & 1;
  segment->deferredNonRetain = (flags >> 7) & 1;
  const uint8_t countByte = cursor.ReadByte();
  const uint32_t shortCount = countByte >> 5;
  if (shortCount == 5 || shortCount == 6) return kJbig2BadReferredCount;
  uint32_t count;
  if (shortCount <= 4) {
    count = shortCount;
    segment->retain = countByte & 1;
    segment->retainBits = HeapArray<uint8_t>(count);
    for (uint32_t i = 0; i < count; ++i) segment->retainBits[i] = (countByte >> (i + 1)) & 1;
  } else {
    count = (static_cast<uint32_t>(countByte & 0x1F) << 24) | cursor.ReadUInt(3);
    const uint64_t retainBytes = (uint64_t{count} + 1 + 7) / 8;
    // Check the claim against the data before allocating for it.
    if (retainBytes > cursor.Remaining()) runtime::ThrowRuntime(runtime::kOverflow);
    segment->retainBits = HeapArray<uint8_t>(count);
    uint8_t byte = 0;
    for (uint64_t bit = 0; bit < uint64_t{count} + 1; ++bit) {
      if (bit % 8 == 0) byte = cursor.ReadByte();
      const uint8_t value = (byte >> (bit % 8)) & 1;
      if (bit == 0) {
        segment->retain = value;
      } else {
        segment->retainBits[bit - 1] = value;
      }
    }
  }
  segment->referredCount = count;
  const int numberSize = segment->number <= 256 ? 1 : segment->number <= 65536 ? 2 : 4;
  if (uint64_t{count} * numberSize > cursor.Remaining()) runtime::ThrowRuntime(runtime::kOverflow);
  segment->referredNumbers = HeapArray<uint32_t>(count);
  for (uint32_t i = 0; i < count; ++i) segment->referredNumbers[i] = cursor.ReadUInt(numberSize);
  segment->pageAssoc = cursor.ReadUInt(segment->pageAssocLong ? 4 : 1);
  if (segment->pageAssoc > 1) return kJbig2BadLength;
  segment->dataLength = cursor.ReadUInt(4);
  if (segment->dataLength != kUnknown && segment->dataLength > cursor.Remaining()) {
    return kJbig2BadLength;
  }
  return kJbig2Ok;
}

// Finds the end of an immediate generic region of unknown length: the
// marker after its coded data, then a 4-byte row count.
void FindGenericRegionEnd(Jbig2Cursor& cursor, Jbig2Segment* segment) {
  segment->unknownLength = 1;
  cursor.Skip(17);
  const uint8_t flags = cursor.ReadByte();
  const bool mmr = flags & 1;
  if (!mmr) cursor.Skip(((flags >> 1) & 3) == 0 ? 8 : 2);
  int previous = -1;
  for (;;) {
    const uint8_t byte = cursor.ReadByte();
    if (mmr ? (previous == 0x00 && byte == 0x00) : (previous == 0xFF && byte == 0xAC)) break;
    previous = byte;
  }
  segment->rowCount = cursor.ReadUInt(4);
  segment->dataLength = static_cast<uint32_t>(cursor.pos - segment->dataStart);
}

bool AtEndStream(const Jbig2Cursor& cursor) {
  const size_t length = sizeof(kEndStream) - 1;
  for (size_t i = 0; i < length; ++i) {
    if (cursor.Remaining() <= i || cursor.pos[i] != static_cast<uint8_t>(kEndStream[i])) return false;
  }
  return true;
}

int ParseSegments(Jbig2Cursor& cursor, SegmentList& list, bool page) {
  while (cursor.Remaining() > 0) {
    if (page && AtEndStream(cursor)) break;
    if (!KnownType(cursor.PeekByte(4) & 0x3F)) return kJbig2NoMemory;
    auto* segment = new (Jbig2Heap::Alloc(sizeof(Jbig2Segment))) Jbig2Segment();
    list.Append(segment);
    const int result = ParseSegmentHeader(cursor, segment);
    if (result != kJbig2Ok) return result;
    segment->dataStart = cursor.pos;
    if (segment->dataLength == kUnknown) {
      if (segment->type != kImmediateGenericRegion) return kJbig2UnknownLength;
      FindGenericRegionEnd(cursor, segment);
    } else {
      cursor.Skip(segment->dataLength);
    }
  }
  return kJbig2Ok;
}

// Segment numbers sorted with their list positions, for finding the first
// segment of a number in list order.
struct NumberIndex {
  struct Entry {
    uint32_t number;
    uint32_t position;
  };
  Entry* entries = nullptr;
  uint32_t count = 0;

  void Build(const SegmentList& list) {
    count = list.count;
    entries = HeapArray<Entry>(count);
    for (uint32_t i = 0; i < count; ++i) entries[i] = {list.items[i]->number, i};
    std::sort(entries, entries + count, [](const Entry& a, const Entry& b) {
      return a.number != b.number ? a.number < b.number : a.position < b.position;
    });
  }
  // The list position of the first segment numbered `number` that stands
  // before `before`; -1 when there is none.
  int64_t FindBefore(uint32_t number, uint32_t before) const {
    const Entry* begin = entries;
    const Entry* end = entries + count;
    const Entry* found = std::lower_bound(begin, end, number,
                                          [](const Entry& e, uint32_t n) { return e.number < n; });
    if (found == end || found->number != number || found->position >= before) return -1;
    return found->position;
  }
};

int ResolveReferences(SegmentList& globals, SegmentList& page, bool resolveGlobals) {
  NumberIndex globalIndex;
  globalIndex.Build(globals);
  if (resolveGlobals) {
    for (uint32_t i = 0; i < globals.count; ++i) {
      Jbig2Segment* segment = globals.items[i];
      if (segment->pageAssoc != 0) return kJbig2BadStructure;
      segment->referred = HeapArray<Jbig2Segment*>(segment->referredCount);
      segment->resolvedCount = 0;
      for (uint32_t r = 0; r < segment->referredCount; ++r) {
        const int64_t at = globalIndex.FindBefore(segment->referredNumbers[r], i);
        if (at < 0) return kJbig2UnknownReference;
        segment->referred[segment->resolvedCount++] = globals.items[at];
      }
    }
  }
  NumberIndex pageIndex;
  pageIndex.Build(page);
  for (uint32_t i = 0; i < page.count; ++i) {
    Jbig2Segment* segment = page.items[i];
    if (segment->pageAssoc == 0) return kJbig2BadStructure;
    segment->referred = HeapArray<Jbig2Segment*>(segment->referredCount);
    segment->resolvedCount = 0;
    for (uint32_t r = 0; r < segment->referredCount; ++r) {
      const uint32_t number = segment->referredNumbers[r];
      int64_t at = pageIndex.FindBefore(number, i);
      Jbig2Segment* target = at >= 0 ? page.items[at] : nullptr;
      if (target == nullptr) {
        at = globalIndex.FindBefore(number, globals.count);
        if (at < 0) return kJbig2UnknownReference;
        target = globals.items[at];
      }
      segment->referred[segment->resolvedCount++] = target;
    }
  }
  Jbig2Heap::Free(globalIndex.entries);
  Jbig2Heap::Free(pageIndex.entries);
  return kJbig2Ok;
}

// Counts the segments the page's regions use, directly or through other
// segments. Each segment is visited once, so a reference graph in which
// every segment refers to the ones before costs linear time, not time
// exponential in its depth.
void MarkReferences(const SegmentList& page, uint32_t globalCount) {
  auto** work = HeapArray<Jbig2Segment*>(uint64_t{page.count} + globalCount);
  uint32_t pending = 0;
  for (uint32_t i = 0; i < page.count; ++i) {
    Jbig2Segment* region = page.items[i];
    if (!MarksReferences(region->type)) continue;
    for (uint32_t r = 0; r < region->resolvedCount; ++r) {
      Jbig2Segment* target = region->referred[r];
      ++target->useCount;
      if (!target->marked) {
        target->marked = 1;
        work[pending++] = target;
      }
    }
    while (pending > 0) {
      Jbig2Segment* segment = work[--pending];
      for (uint32_t r = 0; r < segment->resolvedCount; ++r) {
        Jbig2Segment* target = segment->referred[r];
        if (target->marked) continue;
        target->marked = 1;
        ++target->useCount;
        work[pending++] = target;
      }
    }
  }
  Jbig2Heap::Free(work);
}

void ReadPageInformation(Jbig2Cursor& cursor, Jbig2Segment* info) {
  info->pageWidth = cursor.ReadUInt(4);
  info->pageHeight = cursor.ReadUInt(4);
  info->xResolution = cursor.ReadUInt(4);
  info->yResolution = cursor.ReadUInt(4);
  info->pageFlags = cursor.ReadByte();
  info->striping = static_cast<uint16_t>(cursor.ReadUInt(2));
}

int DecodeSegment(Jbig2Segment* segment, Jbig2Cursor& cursor) {
  cursor.Reset(segment->dataStart, segment->dataLength);
  segment->cursor = &cursor;
  int result = kJbig2Ok;
  switch (segment->type) {
    case kSymbolDictionary:
      result = Jbig2SymbolDictionarySegment(segment);
      break;
    case kIntermediateTextRegion:
    case kImmediateTextRegion:
    case kImmediateLosslessTextRegion:
      result = Jbig2TextRegionSegment(segment);
      break;
    case kPatternDictionary:
      result = Jbig2PatternDictionarySegment(segment);
      break;
    case kIntermediateHalftoneRegion:
    case kImmediateHalftoneRegion:
    case kImmediateLosslessHalftoneRegion:
      result = Jbig2HalftoneRegionSegment(segment);
      break;
    case kIntermediateGenericRegion:
    case kImmediateGenericRegion:
    case kImmediateLosslessGenericRegion:
      result = Jbig2GenericRegionSegment(segment);
      break;
    case kIntermediateRefinementRegion:
    case kImmediateRefinementRegion:
    case kImmediateLosslessRefinementRegion:
      result = Jbig2RefinementRegionSegment(segment);
      break;
    case kEndOfStripe:
      segment->endRow = cursor.ReadUInt(4);
      break;
    case kTables:
      result = Jbig2TablesSegment(segment);
      break;
    default:
      break;
  }
  segment->cursor = nullptr;
  if (result == kJbig2Ok) segment->done = 1;
  return result;
}

struct Page {
  Jbig2Bitmap* bitmap = nullptr;
  Jbig2Segment* info = nullptr;
};

int DecodePage(const SegmentList& page, Jbig2Cursor& cursor, Page* out, Jbig2Fault* fault) {
  Jbig2Segment* info = nullptr;
  for (uint32_t i = 0; i < page.count && info == nullptr; ++i) {
    if (page.items[i]->type == kPageInformation) info = page.items[i];
  }
  if (info == nullptr) return kJbig2BadStructure;
  cursor.Reset(info->dataStart, info->dataLength);
  ReadPageInformation(cursor, info);
  const bool striped = (info->striping & 0x8000) != 0;
  if (info->pageHeight == kUnknown && !striped) return kJbig2BadPageHeight;
  info->done = 1;
  uint64_t height = info->pageHeight;
  if (info->pageHeight == kUnknown) {
    Jbig2Segment* stripe = nullptr;
    for (uint32_t i = 0; i < page.count; ++i) {
      if (page.items[i]->type == kEndOfStripe) stripe = page.items[i];
    }
    if (stripe == nullptr) return kJbig2BadStructure;
    cursor.Reset(stripe->dataStart, stripe->dataLength);
    stripe->endRow = cursor.ReadUInt(4);
    stripe->done = 1;
    // In 64 bits: an end row of 0xFFFFFFFF must not wrap to a height of 0.
    height = uint64_t{stripe->endRow} + 1;
  }
  if (height > 0x7FFFFFFFu) return kJbig2BadSize;
  int result = 0;
  out->bitmap = Jbig2Bitmap::Create(info->pageWidth, static_cast<uint32_t>(height),
                                    (info->pageFlags >> 2) & 1, &result);
  if (out->bitmap == nullptr) return result;
  out->info = info;
  info->paintLimit = kPaintFloor + kPaintLayers * uint64_t{info->pageWidth} * height;
  Jbig2Heap* scope = Jbig2Heap::Current();
  for (uint32_t i = 0; i < page.count; ++i) {
    Jbig2Segment* segment = page.items[i];
    if (segment->type == kPageInformation) continue;
    Jbig2Heap::Charge(runtime::kWorkCostHeavy);
    if (segment->IsRegion()) {
      segment->page = out->bitmap;
      segment->pageInfo = info;
    }
    // A segment that fails ends the page there; what was painted stays.
    runtime::ErrorTrap trap(scope != nullptr ? scope->Context() : nullptr);
    if (!trap.Run([&] { result = DecodeSegment(segment, cursor); })) {
      trap.SetHandled();
      const runtime::ErrorRecord error = trap.Held();
      if (runtime::IsCancelOrNoDataError(error)) trap.Rethrow();
      trap.Close();
      fault->threw = true;
      fault->error = error;
      fault->segment = segment->number;
      return kJbig2Ok;
    }
    if (result != kJbig2Ok) {
      fault->result = result;
      fault->segment = segment->number;
      return kJbig2Ok;
    }
  }
  return kJbig2Ok;
}

void FreeSegmentResults(Jbig2Segment* segment) {
  Jbig2Bitmap::Free(segment->bitmap);
  segment->bitmap = nullptr;
  Jbig2FreeSymbolResults(segment);
  Jbig2Heap::Free(segment->retainBits);
  Jbig2Heap::Free(segment->referredNumbers);
  Jbig2Heap::Free(segment->referred);
  Jbig2Heap::Free(segment);
}

int Decode(const uint8_t* globalsData, size_t globalsLength, const uint8_t* data,
           size_t dataLength, bool reuseGlobals, SegmentList& globals, SegmentList& page,
           Page* out, Jbig2Fault* fault) {
  Jbig2Cursor cursor;
  cursor.Reset(data, dataLength);
  bool pageCountKnown = false;
  if (dataLength >= 5 && std::memcmp(data, kFileId, 5) == 0) {
    for (uint8_t expected : kFileId) {
      if (cursor.ReadByte() != expected) return kJbig2BadFileHeader;
    }
    const uint8_t flags = cursor.ReadByte();
    if ((flags & 1) == 0) return kJbig2BadStructure;  // random-access organisation
    if ((flags & 2) == 0) {
      if (cursor.ReadUInt(4) != 1) return kJbig2BadStructure;
      pageCountKnown = true;
    }
  }
  int result = ParseSegments(cursor, page, true);
  if (result != kJbig2Ok) return result;
  if (!reuseGlobals && globalsData != nullptr && globalsLength > 0) {
    Jbig2Cursor globalsCursor;
    globalsCursor.Reset(globalsData, globalsLength);
    result = ParseSegments(globalsCursor, globals, false);
    if (result != kJbig2Ok) return result;
  }
  if (Jbig2Heap* scope = Jbig2Heap::Current()) {
    uint64_t width = 0;
    uint64_t height = 0;
    PeekPageSize(page.items, page.count, &width, &height);
    const uint64_t pageBytes = ((width + 7) / 8 + 8) * (height + 2);
    scope->SetLimit(scope->Used() + std::min(kMaxDecodeBytes, kBaseDecodeBytes + 3 * pageBytes));
  }
  uint32_t pageInfos = 0;
  for (uint32_t i = 0; i < page.count; ++i) {
    if (page.items[i]->type == kPageInformation) ++pageInfos;
  }
  if (page.count == 0 || (!pageCountKnown && pageInfos != 1)) return kJbig2BadLength;
  result = ResolveReferences(globals, page, !reuseGlobals);
  if (result != kJbig2Ok) return result;
  MarkReferences(page, globals.count);

  Jbig2Cursor segmentCursor;
  for (uint32_t i = 0; i < globals.count; ++i) {
    Jbig2Segment* segment = globals.items[i];
    if (segment->useCount == 0 || segment->done) continue;
    result = DecodeSegment(segment, segmentCursor);
    if (result != kJbig2Ok) return result;
  }
  return DecodePage(page, segmentCursor, out, fault);
}

}  // namespace

void Jbig2FreeSegments(Jbig2Segment** segments, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (segments[i] != nullptr) FreeSegmentResults(segments[i]);
  }
  Jbig2Heap::Free(segments);
}

int Jbig2Decode(const uint8_t* globalsData, size_t globalsLength, const uint8_t* data,
                size_t dataLength, bool reuseGlobals, Jbig2Segment*** globalsInOut,
                uint32_t* globalCountInOut, uint8_t** pixelsOut, uint32_t* widthOut,
                uint32_t* heightOut, Jbig2Fault* fault) {
  Jbig2Fault ignored;
  if (fault == nullptr) fault = &ignored;
  *fault = Jbig2Fault();
  if (data == nullptr || dataLength < 10 || globalsInOut == nullptr ||
      globalCountInOut == nullptr || pixelsOut == nullptr || widthOut == nullptr ||
      heightOut == nullptr) {
    return -1;
  }
  *pixelsOut = nullptr;
  SegmentList globals;
  if (reuseGlobals) {
    globals.items = *globalsInOut;
    globals.count = globals.capacity = *globalCountInOut;
  }
  SegmentList page;
  Page out;
  Jbig2StandardTables::Acquire();
  const int result =
      Decode(globalsData, globalsLength, data, dataLength, reuseGlobals, globals, page, &out, fault);
  Jbig2StandardTables::Release();

  if (result == kJbig2Ok) {
    const Jbig2Bitmap* bitmap = out.bitmap;
    const size_t rowBytes = bitmap->rowBytes;
    auto* pixels = static_cast<uint8_t*>(Jbig2Heap::Alloc(rowBytes * bitmap->height + 1));
    for (uint32_t y = 0; y < bitmap->height; ++y) {
      const uint8_t* row = bitmap->Row(y);
      uint8_t* target = pixels + y * rowBytes;
      for (size_t x = 0; x < rowBytes; ++x) target[x] = static_cast<uint8_t>(~row[x]);
    }
    pixels[rowBytes * bitmap->height] = 0;
    *pixelsOut = pixels;
    *widthOut = bitmap->width;
    *heightOut = bitmap->height;
  }
  Jbig2Bitmap::Free(out.bitmap);
  Jbig2FreeSegments(page.items, page.count);
  for (uint32_t i = 0; i < globals.count; ++i) {
    globals.items[i]->useCount = 0;
    globals.items[i]->marked = 0;
  }
  if (result != kJbig2Ok) {
    if (!reuseGlobals) Jbig2FreeSegments(globals.items, globals.count);
    return -1;
  }
  if (!reuseGlobals) {
    *globalsInOut = globals.items;
    *globalCountInOut = globals.count;
  }
  return 0;
}

}  // namespace streams
