#pragma once
// Splits the show strings of a composite font into codes and gives each
// code's CID, glyph and metrics: two bytes at a time for the Identity
// encodings, else through the font's CMap; the CID becomes a glyph through
// the CIDToGIDMap, a CID-to-glyph CMap or as it is.
#include <cstdint>

#include "fonts/CMap.h"
#include "fonts/CidMetrics.h"
#include "streams/DataStream.h"

namespace fonts {

// One decoded code.
struct CidGlyph {
  uint32_t code = 0;
  uint32_t cid = 0;
  uint32_t glyph = 0;
  runtime::Fixed width = 0;
  // Set only in vertical writing.
  runtime::Fixed verticalAdvance = 0;
  runtime::Fixed positionX = 0;
  runtime::Fixed positionY = 0;
  // The code was the single byte 0x20 (word spacing applies).
  uint8_t wordSpace = 0;
};

class CidCodeDecoder {
 public:
  // The longest CIDToGIDMap kept, in bytes.
  static constexpr uint32_t kMaxCidToGidBytes = 0x20000;

  // Decoding through `cmap` (a CID map), in its writing mode.
  static CidCodeDecoder* FromCMap(runtime::LibraryContext* context, CMapRef cmap);
  // The two-byte identity; `wMode` 1 for "Identity-V".
  static CidCodeDecoder* Identity(runtime::LibraryContext* context, uint8_t wMode);

  CidCodeDecoder(runtime::LibraryContext* context, CMapRef cmap, bool twoByteMode,
                 uint8_t wMode);
  virtual ~CidCodeDecoder() = default;
  CidCodeDecoder(const CidCodeDecoder&) = delete;
  CidCodeDecoder& operator=(const CidCodeDecoder&) = delete;

  CidMetrics& Metrics() { return metrics_; }
  const CidMetrics& Metrics() const { return metrics_; }
  // Reads the map's bytes (at most kMaxCidToGidBytes; the rest is ignored).
  void SetCidToGidMap(streams::DataStream& stream);
  // A CMap that maps each CID (as two big-endian bytes) to a glyph.
  void SetCidToGlyphCMap(CMapRef map) { cidToGlyph_ = std::move(map); }

  // Decodes the code at `cursor` (never reading at or past `end`) and
  // returns where the next one starts. A CMap that maps the code to a
  // destination string raises (runtime, 2).
  const uint8_t* NextCode(const uint8_t* cursor, const uint8_t* end, CidGlyph* out) const;
  // The glyph of a CID.
  uint32_t GlyphOfCid(uint32_t cid) const;
  uint8_t GetWMode() const { return wMode_; }
  bool TwoByteMode() const { return twoByteMode_; }
  const CMap* Map() const { return cmap_.Get(); }
  // The bytes held (the font's cost).
  uint32_t Size() const;

  uint32_t refCount = 1;

 private:
  runtime::LibraryContext* context_;
  CidMetrics metrics_;
  CMapRef cmap_;
  CMapRef cidToGlyph_;
  bool twoByteMode_;
  uint8_t wMode_;
  uint8_t* cidToGid_ = nullptr;
  uint32_t cidToGidLength_ = 0;
  runtime::ArenaAllocator arena_;
};

using CidCodeDecoderRef = runtime::CountedRef<CidCodeDecoder>;

}  // namespace fonts
