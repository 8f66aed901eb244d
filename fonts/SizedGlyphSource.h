#pragma once
// The glyphs of one font program at one size: a glyph bitmap cache for a
// text-to-device matrix that keeps the coverage records it makes, so that
// a glyph shown again at the same sub-pixel phase is not rasterised again.
// Small sizes keep their records in the source's own arena; large ones are
// made in the caller's transient memory each time. Counted: the font
// program's glyph cache holds one count.
#include <cstdint>

#include "fonts/CoverageRecord.h"
#include "fonts/GlyphBitmapCache.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Rect.h"

namespace fonts {

class SizedGlyphSource {
 public:
  // Sources whose font box is below this many pixels each way keep their
  // records.
  static constexpr Fixed kSmallSize = 200 * runtime::kFixedOne;

  SizedGlyphSource(FontProgram& font, const Matrix& matrix);
  ~SizedGlyphSource() = default;
  SizedGlyphSource(const SizedGlyphSource&) = delete;
  SizedGlyphSource& operator=(const SizedGlyphSource&) = delete;

  // The record of `glyph` at `phase` (kept or made); null when too large.
  // Making a record to keep charges its build time and bytes to this
  // source's entry in the font's glyph cache, so the cache weighs a source
  // by the glyphs it holds, not only by what it cost to set up.
  CoverageRecord* RenderGlyphMask(uint32_t glyph, uint32_t phase, const runtime::IntRect* clip,
                                  runtime::ArenaAllocator& transient);
  bool IsSmallSize() const { return smallSize_; }
  const runtime::Rect& DeviceBox() const { return deviceBox_; }
  // 184 bytes, the scan-conversion scratch of the bitmap cache and the
  // kept records.
  uint32_t ByteSize() const;
  GlyphBitmapCache& Bitmaps() { return bitmaps_; }

  uint32_t refCount = 1;

 private:
  struct KeptRecord {
    uint32_t glyph;
    uint32_t phase;
    CoverageRecord* record;
    KeptRecord* next;
  };
  static constexpr uint32_t kBuckets = 64;

  runtime::ArenaAllocator arena_;
  FontProgram& font_;
  Matrix matrix_;
  runtime::Rect deviceBox_{};
  bool smallSize_ = false;
  GlyphBitmapCache bitmaps_;
  KeptRecord* buckets_[kBuckets] = {};
};

}  // namespace fonts
