#include "streams/jbig2/Jbig2GenericRegion.h"

#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Jbig2Heap.h"
#include "streams/jbig2/Jbig2Segment.h"
#include "streams/jbig2/MmrDecoder.h"

namespace streams {
namespace {

// The context of the typical-prediction bit of each generic template.
constexpr uint32_t kGenericSltp[4] = {0x9B25, 0x0795, 0x00E5, 0x0195};
// The same for the two refinement templates: only the reference pixel at
// the current position (both templates, each in its own context layout)
// is 1.
constexpr uint32_t kRefinementSltp[2] = {0x0100, 0x0080};

// A pixel of a row at x >= 0; pixels up to 31 past the width read the row's
// zeroed slack.
// The work of decoding one row: a unit per two pixels.
inline int32_t RowWork(uint32_t width) { return static_cast<int32_t>(width >> 1) + 1; }

inline uint32_t RowPixel(const uint8_t* row, uint32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }

inline void PutPixel(uint8_t* row, uint32_t x, int value) {
  const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
  row[x >> 3] = value ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
}

bool NominalAt(const GenericRegionParams& p) {
  switch (p.gbTemplate) {
    case 0:
      return p.atX[0] == 3 && p.atY[0] == -1 && p.atX[1] == -3 && p.atY[1] == -1 &&
             p.atX[2] == 2 && p.atY[2] == -2 && p.atX[3] == -2 && p.atY[3] == -2;
    case 1: return p.atX[0] == 3 && p.atY[0] == -1;
    default: return p.atX[0] == 2 && p.atY[0] == -1;
  }
}

// One row of a template with its adaptive pixels where they are by default.
// Every nominal template's context is then three runs of neighbours: N0
// pixels left of x in the current row (x-1 in bit 0), W1 pixels of the row
// above ending R1 right of x (from bit N0) and W2 pixels of the row above
// that ending R2 right of x. From one pixel to the next each run shifts by
// one and takes in its new rightmost pixel, which the rows above give a
// byte at a time; the bitmap's guard rows and row slack read white.
template <int N0, int W1, int R1, int W2, int R2>
void DecodeNominalRow(MqDecoder* decoder, MqContextStore* store, uint8_t* row,
                      const uint8_t* up1, const uint8_t* up2, uint32_t width) {
  constexpr uint32_t kKeep = (((1u << N0) - 1) & ~1u) | ((((1u << W1) - 1) & ~1u) << N0) |
                             ((((1u << W2) - 1) & ~1u) << (N0 + W1));
  uint32_t context = 0;
  for (int p = 0; p <= R1; ++p) context |= RowPixel(up1, static_cast<uint32_t>(p)) << (N0 + R1 - p);
  if constexpr (W2 > 0) {
    for (int p = 0; p <= R2; ++p) {
      context |= RowPixel(up2, static_cast<uint32_t>(p)) << (N0 + W1 + R2 - p);
    }
  }
  const uint32_t bytes = (width + 7) >> 3;
  for (uint32_t bx = 0; bx < bytes; ++bx) {
    // Bytes bx and bx + 1 of each row above: column 8 bx + j in bit 15 - j.
    const uint32_t u1 = (uint32_t{up1[bx]} << 8) | up1[bx + 1];
    const uint32_t u2 = W2 > 0 ? (uint32_t{up2[bx]} << 8) | up2[bx + 1] : 0;
    const int count = bx + 1 < bytes || (width & 7) == 0 ? 8 : static_cast<int>(width & 7);
    uint32_t out = 0;
    for (int m = 0; m < count; ++m) {
      const uint32_t bit = static_cast<uint32_t>(decoder->Decode(store, context));
      out |= bit << (7 - m);
      context = ((context << 1) & kKeep) | bit | (((u1 >> (14 - m - R1)) & 1u) << N0);
      if constexpr (W2 > 0) context |= ((u2 >> (14 - m - R2)) & 1u) << (N0 + W1);
    }
    row[bx] = count == 8 ? static_cast<uint8_t>(out)
                         : static_cast<uint8_t>((row[bx] & (0xFFu >> count)) | out);
  }
}

}  // namespace

int Jbig2DecodeGenericRegion(MqDecoder* decoder, MqContextStore* store,
                             const GenericRegionParams& params, Jbig2Bitmap* bitmap) {
  const uint32_t t = params.gbTemplate;
  if (t > 3) return 0;
  const uint32_t width = params.width < bitmap->width ? params.width : bitmap->width;
  const uint32_t height = params.height < bitmap->height ? params.height : bitmap->height;
  const bool nominal = NominalAt(params);
  const bool skipping = params.useSkip && params.skip != nullptr;
  int ltp = 0;
  for (uint32_t y = 0; y < height; ++y) {
    // Data that ran out long ago cannot describe more rows.
    if (decoder->PastEnd()) return kJbig2BadStructure;
    runtime::Jbig2Heap::Charge(RowWork(width));
    uint8_t* row = bitmap->Row(y);
    if (params.tpgdOn) ltp ^= decoder->Decode(store, kGenericSltp[t]);
    if (ltp) {
      // The guard rows make row -1 white.
      std::memcpy(row, row - bitmap->stride, bitmap->rowBytes);
      decoder->CountPredicted(width);
      continue;
    }
    const uint8_t* up1 = row - bitmap->stride;
    const uint8_t* up2 = up1 - bitmap->stride;
    if (nominal && !skipping) {
      switch (t) {
        case 0: DecodeNominalRow<4, 7, 3, 5, 2>(decoder, store, row, up1, up2, width); break;
        case 1: DecodeNominalRow<3, 6, 3, 4, 2>(decoder, store, row, up1, up2, width); break;
        case 2: DecodeNominalRow<2, 5, 2, 3, 1>(decoder, store, row, up1, up2, width); break;
        default: DecodeNominalRow<4, 6, 2, 0, 0>(decoder, store, row, up1, up2, width); break;
      }
      continue;
    }
    // Sliding windows: w2 holds row y-2 from x-2 to x+2, w1 row y-1 from
    // x-3 to x+3 and w0 the current row from x-4 to x-1, the rightmost
    // pixel in bit 0.
    uint32_t w2 = (RowPixel(up2, 0) << 1) | RowPixel(up2, 1);
    uint32_t w1 = (RowPixel(up1, 0) << 2) | (RowPixel(up1, 1) << 1) | RowPixel(up1, 2);
    uint32_t w0 = 0;
    for (uint32_t x = 0; x < width; ++x) {
      w2 = ((w2 << 1) | RowPixel(up2, x + 2)) & 0x1F;
      w1 = ((w1 << 1) | RowPixel(up1, x + 3)) & 0x7F;
      int pixel = 0;
      if (!(skipping && Jbig2Bitmap::GetPixel(params.skip, y, x))) {
        auto at = [&](int i) {
          return static_cast<uint32_t>(
              Jbig2Bitmap::GetPixel(bitmap, int64_t{y} + params.atY[i], int64_t{x} + params.atX[i]));
        };
        uint32_t context;
        switch (t) {
          case 0: {
            const uint32_t a1 = nominal ? (w1 & 1) : at(0);
            const uint32_t a2 = nominal ? ((w1 >> 6) & 1) : at(1);
            const uint32_t a3 = nominal ? (w2 & 1) : at(2);
            const uint32_t a4 = nominal ? ((w2 >> 4) & 1) : at(3);
            context = w0 | (a1 << 4) | (((w1 >> 1) & 0x1F) << 5) | (a2 << 10) | (a3 << 11) |
                      (((w2 >> 1) & 7) << 12) | (a4 << 15);
            break;
          }
          case 1: {
            const uint32_t a1 = nominal ? (w1 & 1) : at(0);
            context = (w0 & 7) | (a1 << 3) | (((w1 >> 1) & 0x1F) << 4) | ((w2 & 0xF) << 9);
            break;
          }
          case 2: {
            const uint32_t a1 = nominal ? ((w1 >> 1) & 1) : at(0);
            context = (w0 & 3) | (a1 << 2) | (((w1 >> 2) & 0xF) << 3) | (((w2 >> 1) & 7) << 7);
            break;
          }
          default: {
            const uint32_t a1 = nominal ? ((w1 >> 1) & 1) : at(0);
            context = (w0 & 0xF) | (a1 << 4) | (((w1 >> 2) & 0x1F) << 5);
            break;
          }
        }
        pixel = decoder->Decode(store, context);
      }
      PutPixel(row, x, pixel);
      w0 = ((w0 << 1) | static_cast<uint32_t>(pixel)) & 0xF;
    }
  }
  return 0;
}

int Jbig2DecodeRefinement(MqDecoder* decoder, MqContextStore* store,
                          const RefinementParams& params, Jbig2Bitmap* bitmap) {
  const Jbig2Bitmap* ref = params.reference;
  const uint32_t width = params.width < bitmap->width ? params.width : bitmap->width;
  const uint32_t height = params.height < bitmap->height ? params.height : bitmap->height;
  const int t = params.grTemplate & 1;
  int ltp = 0;
  for (uint32_t y = 0; y < height; ++y) {
    if (decoder->PastEnd()) return kJbig2BadStructure;
    runtime::Jbig2Heap::Charge(RowWork(width));
    uint8_t* row = bitmap->Row(y);
    if (params.tpgrOn) ltp ^= decoder->Decode(store, kRefinementSltp[t]);
    const int64_t ry = int64_t{y} - params.referenceDy;
    // The three reference rows around the reference position (null off the
    // reference) and the target row above (a guard row for the first).
    const uint8_t* refRows[3];
    for (int i = 0; i < 3; ++i) {
      const int64_t r = ry - 1 + i;
      refRows[i] = r >= 0 && r < ref->height ? ref->Row(static_cast<uint32_t>(r)) : nullptr;
    }
    const uint8_t* above = row - bitmap->stride;
    uint32_t predicted = 0;
    for (uint32_t x = 0; x < width; ++x) {
      const int64_t rx = int64_t{x} - params.referenceDx;
      auto R = [&](int dx, int dy) -> uint32_t {
        const uint8_t* r = refRows[dy + 1];
        const int64_t c = rx + dx;
        if (r == nullptr || c < 0 || c >= ref->width) return 0;
        return RowPixel(r, static_cast<uint32_t>(c));
      };
      // Target pixels left of, above and right-above the current one; a
      // column past the width reads the row's zeroed padding.
      auto T = [&](int dx, int dy) -> uint32_t {
        const int64_t c = int64_t{x} + dx;
        if (c < 0) return 0;
        return RowPixel(dy < 0 ? above : row, static_cast<uint32_t>(c));
      };
      auto At = [&](const Jbig2Bitmap* b, int64_t r, int64_t c) {
        return static_cast<uint32_t>(Jbig2Bitmap::GetPixel(b, r, c));
      };
      if (ltp) {
        // Typical prediction: a uniform 3 x 3 reference block decides.
        const uint32_t first = R(-1, -1);
        bool uniform = true;
        for (int dy = -1; dy <= 1 && uniform; ++dy) {
          for (int dx = -1; dx <= 1 && uniform; ++dx) uniform = R(dx, dy) == first;
        }
        if (uniform) {
          PutPixel(row, x, static_cast<int>(first));
          ++predicted;
          continue;
        }
      }
      uint32_t context;
      if (t == 0) {
        context = T(-1, 0) | (T(1, -1) << 1) | (T(0, -1) << 2) |
                  (At(bitmap, int64_t{y} + params.atY[0], int64_t{x} + params.atX[0]) << 3) |
                  (R(1, 1) << 4) | (R(0, 1) << 5) | (R(-1, 1) << 6) | (R(1, 0) << 7) |
                  (R(0, 0) << 8) | (R(-1, 0) << 9) | (R(1, -1) << 10) | (R(0, -1) << 11) |
                  (At(ref, ry + params.atY[1], rx + params.atX[1]) << 12);
      } else {
        context = T(-1, 0) | (T(1, -1) << 1) | (T(0, -1) << 2) | (T(-1, -1) << 3) |
                  (R(1, 1) << 4) | (R(0, 1) << 5) | (R(1, 0) << 6) | (R(0, 0) << 7) |
                  (R(-1, 0) << 8) | (R(0, -1) << 9);
      }
      PutPixel(row, x, decoder->Decode(store, context));
    }
    decoder->CountPredicted(predicted);
  }
  return 0;
}

int Jbig2ReadRegionInfo(Jbig2Segment* segment) {
  Jbig2Cursor* cursor = segment->cursor;
  segment->regionWidth = cursor->ReadUInt(4);
  segment->regionHeight = cursor->ReadUInt(4);
  segment->regionX = cursor->ReadUInt(4);
  segment->regionY = cursor->ReadUInt(4);
  const uint8_t flags = cursor->ReadByte();
  segment->externalCombOp = static_cast<uint8_t>((flags & 7) <= 4 ? (flags & 7) : 0);
  segment->colourExt = (flags >> 3) & 1;
  // A region of unknown height (a generic region of unknown data length)
  // takes the row count that ends its data.
  uint32_t height = segment->regionHeight;
  if (segment->unknownLength && height == 0xFFFFFFFFu) height = segment->rowCount;
  segment->regionHeight = height;
  int result = 0;
  segment->bitmap = Jbig2Bitmap::Create(segment->regionWidth, height, segment->colourExt, &result);
  return result;
}

bool Jbig2CountPainting(Jbig2Segment* region, uint64_t pixels) {
  // A unit per 16 pixels: combining runs a byte at a time where it can.
  runtime::Jbig2Heap::Charge(static_cast<int32_t>((pixels < (uint64_t{1} << 34) ? pixels : (uint64_t{1} << 34)) >> 4) + 1);
  if (region == nullptr || region->pageInfo == nullptr) return true;
  Jbig2Segment* info = region->pageInfo;
  info->paintedPixels += pixels;
  return info->paintedPixels <= info->paintLimit;
}

int Jbig2RegionOperator(const Jbig2Segment* segment) {
  const Jbig2Segment* info = segment->pageInfo;
  if (info == nullptr) return kJbig2Or;
  if (info->pageFlags & 0x40) return segment->externalCombOp;
  return (info->pageFlags >> 3) & 3;
}

void Jbig2FinishRegion(Jbig2Segment* segment, Jbig2Bitmap* region, int op) {
  if (!segment->IsImmediateRegion()) {
    segment->bitmap = region;
    return;
  }
  // An immediate region among the globals has no page to paint into.
  if (segment->page != nullptr) {
    Jbig2Bitmap::Compose(segment->page, region, segment->regionX, segment->regionY, op);
  }
  Jbig2Bitmap::Free(region);
  segment->bitmap = nullptr;
}

int Jbig2GenericRegionSegment(Jbig2Segment* segment) {
  int result = Jbig2ReadRegionInfo(segment);
  if (result != 0) return result;
  Jbig2Cursor* cursor = segment->cursor;
  Jbig2Bitmap* region = segment->bitmap;
  const uint8_t flags = cursor->ReadByte();
  GenericRegionParams params;
  params.mmr = flags & 1;
  params.gbTemplate = (flags >> 1) & 3;
  params.tpgdOn = (flags >> 3) & 1;
  params.width = region->width;
  params.height = region->height;
  if (!params.mmr) {
    const int count = params.gbTemplate == 0 ? 4 : 1;
    for (int i = 0; i < count; ++i) {
      params.atX[i] = cursor->ReadSignedByte();
      params.atY[i] = cursor->ReadSignedByte();
    }
  }
  if (params.mmr) {
    cursor->AlignToByte();
    result = MmrDecoder::Decode(cursor, region, false);
  } else {
    MqDecoder decoder;
    decoder.InitDec(cursor);
    MqContextStore* store = MqContextStore::Create(16);
    result = Jbig2DecodeGenericRegion(&decoder, store, params, region);
    MqContextStore::Free(store);
  }
  if (result != 0) return result;
  Jbig2FinishRegion(segment, region, Jbig2RegionOperator(segment));
  return 0;
}

int Jbig2RefinementRegionSegment(Jbig2Segment* segment) {
  int result = Jbig2ReadRegionInfo(segment);
  if (result != 0) return result;
  Jbig2Cursor* cursor = segment->cursor;
  Jbig2Bitmap* region = segment->bitmap;
  const uint8_t flags = cursor->ReadByte();
  RefinementParams params;
  params.grTemplate = flags & 1;
  params.tpgrOn = (flags >> 1) & 1;
  params.width = region->width;
  params.height = region->height;
  if (params.grTemplate == 0) {
    for (int i = 0; i < 2; ++i) {
      params.atX[i] = cursor->ReadSignedByte();
      params.atY[i] = cursor->ReadSignedByte();
    }
  }
  if (segment->resolvedCount > 1) return kJbig2BadStructure;
  Jbig2Segment* source = segment->resolvedCount == 1 ? segment->referred[0] : nullptr;
  Jbig2Bitmap* reference;
  if (source != nullptr) {
    // Only an intermediate region whose bitmap is still unused can be
    // refined; any other segment holds no bitmap to read.
    const bool intermediate = source->IsRegion() && !source->IsImmediateRegion();
    if (!intermediate || source->bitmap == nullptr) return kJbig2BadStructure;
    reference = source->bitmap;
  } else {
    if (segment->page == nullptr) return kJbig2BadStructure;
    // The page area under the region; what lies off the page reads white.
    reference = Jbig2Bitmap::Create(region->width, region->height, 0, &result);
    if (reference == nullptr) return result;
    Jbig2Bitmap::ComposeClipped(reference, segment->page, -int64_t{segment->regionX},
                                -int64_t{segment->regionY}, kJbig2Replace);
  }
  params.reference = reference;
  MqDecoder decoder;
  decoder.InitDec(cursor);
  MqContextStore* store = MqContextStore::Create(16);
  result = Jbig2DecodeRefinement(&decoder, store, params, region);
  MqContextStore::Free(store);
  if (result != 0) return result;
  Jbig2FinishRegion(segment, region,
                    source != nullptr ? int{segment->externalCombOp} : int{kJbig2Replace});
  // The refined bitmap replaces its reference, which is used up.
  Jbig2Bitmap::Free(reference);
  if (source != nullptr) source->bitmap = nullptr;
  return 0;
}

}  // namespace streams
