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

}  // namespace

int Jbig2PatternDictionarySegment(Jbig2Segment* segment) {
  Jbig2Cursor* cursor = segment->cursor;
  const uint8_t flags = cursor->ReadByte();
  const bool mmr = flags & 1;
  const uint8_t templ = (flags >> 1) & 3;
  const uint8_t width = cursor->ReadByte();
  const uint8_t height = cursor->ReadByte();
  const uint32_t grayMax = cursor->ReadUInt(4);
  if (width == 0 || height == 0 || grayMax == 0) return kJbig2BadStructure;
  const uint64_t collectiveWidth = (uint64_t{grayMax} + 1) * width;
  if (collectiveWidth > 0x7FFFFFFF) return kJbig2NoMemory;
  int result = 0;
  Jbig2Bitmap* collective =
      Jbig2Bitmap::Create(static_cast<uint32_t>(collectiveWidth), height, 0, &result);
  if (collective == nullptr) return result;
  if (mmr) {
    cursor->AlignToByte();
    result = MmrDecoder::Decode(cursor, collective, false);
    if (result != 0) return result;
  } else {
    GenericRegionParams params;
    params.width = collective->width;
    params.height = height;
    params.gbTemplate = templ;
    const int32_t atX[4] = {-int32_t{width}, -3, 2, -2};
    const int32_t atY[4] = {0, -1, -2, -2};
    for (int i = 0; i < 4; ++i) {
      params.atX[i] = atX[i];
      params.atY[i] = atY[i];
    }
    MqDecoder decoder;
    decoder.InitDec(cursor);
    MqContextStore* store = MqContextStore::Create(16);
    const int decoded = Jbig2DecodeGenericRegion(&decoder, store, params, collective);
    MqContextStore::Free(store);
    if (decoded != kJbig2Ok) return decoded;
  }
  auto* set = new (Jbig2Heap::Alloc(sizeof(PatternSet))) PatternSet();
  set->capacity = grayMax + 1;
  set->patternWidth = width;
  set->patternHeight = height;
  set->patterns = static_cast<Jbig2Bitmap**>(
      Jbig2Heap::Alloc(sizeof(Jbig2Bitmap*) * (uint64_t{grayMax} + 1)));
  for (uint64_t gray = 0; gray <= grayMax; ++gray) {
    set->patterns[set->count++] = Jbig2Bitmap::Extract(
        collective, static_cast<uint32_t>(gray * width), 0, width, height);
  }
  Jbig2Bitmap::Free(collective);
  segment->patterns = set;
  return kJbig2Ok;
}

int Jbig2HalftoneRegionSegment(Jbig2Segment* segment) {
  int result = Jbig2ReadRegionInfo(segment);
  if (result != 0) return result;
  Jbig2Cursor* cursor = segment->cursor;
  Jbig2Bitmap* region = segment->bitmap;
  const uint8_t flags = cursor->ReadByte();
  const bool mmr = flags & 1;
  const uint8_t templ = (flags >> 1) & 3;
  const bool enableSkip = (flags >> 3) & 1;
  const uint8_t combOp = (flags >> 4) & 7;
  const uint8_t defPixel = (flags >> 7) & 1;
  const uint32_t gridWidth = cursor->ReadUInt(4);
  const uint32_t gridHeight = cursor->ReadUInt(4);
  const int64_t gridX = cursor->ReadInt32();
  const int64_t gridY = cursor->ReadInt32();
  const int64_t vectorX = cursor->ReadUInt(2);
  const int64_t vectorY = cursor->ReadUInt(2);

  if (segment->resolvedCount == 0) return kJbig2BadSize;
  if (segment->resolvedCount > 1) return kJbig2BadReferredType;
  const Jbig2Segment* dictionary = segment->referred[0];
  if (dictionary->type != kPatternDictionary) return kJbig2BadReferredType;
  const PatternSet* patterns = dictionary->patterns;
  if (patterns == nullptr || patterns->count == 0) return kJbig2BadSize;
  if (gridHeight == 0) return kJbig2BadSize;
  const int64_t patternWidth = patterns->patternWidth;
  const int64_t patternHeight = patterns->patternHeight;

  Jbig2Bitmap::Fill(region, defPixel);
  // Grid point (m, n): row m, column n; its pattern's top-left corner.
  auto cornerX = [&](int64_t m, int64_t n) { return (gridX + m * vectorY + n * vectorX) >> 8; };
  auto cornerY = [&](int64_t m, int64_t n) { return (gridY + m * vectorX - n * vectorY) >> 8; };

  Jbig2Bitmap* skip = nullptr;
  if (enableSkip) {
    skip = Jbig2Bitmap::Create(gridWidth, gridHeight, 0, &result);
    if (skip == nullptr) return result;
    for (uint32_t m = 0; m < gridHeight; ++m) {
      for (uint32_t n = 0; n < gridWidth; ++n) {
        const int64_t x = cornerX(m, n);
        const int64_t y = cornerY(m, n);
        if (x + patternWidth <= 0 || x >= region->width || y + patternHeight <= 0 ||
            y >= region->height) {
          Jbig2Bitmap::SetPixel(skip, m, n, 1);
        }
      }
    }
  }

  const uint32_t bitsPerPixel = Jbig2CodeLength(patterns->count) > 0 ? Jbig2CodeLength(patterns->count) : 1;
  auto** planes = static_cast<Jbig2Bitmap**>(Jbig2Heap::Alloc(sizeof(Jbig2Bitmap*) * bitsPerPixel));
  for (uint32_t j = 0; j < bitsPerPixel; ++j) {
    planes[j] = Jbig2Bitmap::Create(gridWidth, gridHeight, 0, &result);
    if (planes[j] == nullptr) return result;
  }
  MqDecoder decoder;
  MqContextStore* store = nullptr;
  GenericRegionParams params;
  if (!mmr) {
    decoder.InitDec(cursor);
    store = MqContextStore::Create(16);
    params.width = gridWidth;
    params.height = gridHeight;
    params.gbTemplate = templ;
    params.useSkip = enableSkip;
    params.skip = skip;
    const int32_t atX[4] = {templ <= 1 ? 3 : 2, -3, 2, -2};
    const int32_t atY[4] = {-1, -1, -2, -2};
    for (int i = 0; i < 4; ++i) {
      params.atX[i] = atX[i];
      params.atY[i] = atY[i];
    }
  }
  // Gray-code planes, most significant first; each lower plane is stored
  // XOR the one above it.
  for (uint32_t j = bitsPerPixel; j-- > 0;) {
    if (mmr) {
      cursor->AlignToByte();
      result = MmrDecoder::Decode(cursor, planes[j], true);
      if (result != 0) return result;
    } else {
      result = Jbig2DecodeGenericRegion(&decoder, store, params, planes[j]);
      if (result != kJbig2Ok) return result;
    }
    if (j + 1 < bitsPerPixel) {
      for (uint32_t y = 0; y < gridHeight; ++y) {
        uint8_t* row = planes[j]->Row(y);
        const uint8_t* above = planes[j + 1]->Row(y);
        for (uint32_t x = 0; x < planes[j]->rowBytes; ++x) row[x] ^= above[x];
      }
    }
  }
  MqContextStore::Free(store);

  uint64_t painted = 0;
  for (uint32_t m = 0; m < gridHeight; ++m) {
    for (uint32_t n = 0; n < gridWidth; ++n) {
      uint64_t gray = 0;
      for (uint32_t j = 0; j < bitsPerPixel; ++j) {
        gray |= uint64_t(planes[j]->Pixel(n, m)) << j;
      }
      if (gray >= patterns->count) return kJbig2BadStructure;
      const uint64_t work = Jbig2Bitmap::ComposeClipped(region, patterns->patterns[gray],
                                                        cornerX(m, n), cornerY(m, n), combOp);
      painted += work;
      if (painted > kJbig2MaxPaintedPixels || !Jbig2CountPainting(segment, work)) {
        return kJbig2BadSize;
      }
    }
  }
  for (uint32_t j = 0; j < bitsPerPixel; ++j) Jbig2Bitmap::Free(planes[j]);
  Jbig2Heap::Free(planes);
  Jbig2Bitmap::Free(skip);
  Jbig2FinishRegion(segment, region, Jbig2RegionOperator(segment));
  return kJbig2Ok;
}

}  // namespace streams
