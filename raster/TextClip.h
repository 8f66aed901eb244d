#pragma once
// Text used as a clip (render modes 4 to 7): the glyphs shown inside one
// text object are gathered, and when the object ends they become one mask,
// the union of their coverages, intersected with the clip in force.
#include <cstdint>
#include <span>

#include "raster/GlyphRun.h"
#include "raster/PipelineNode.h"
#include "raster/PixelRegion.h"
#include "runtime/ArenaVector.h"

namespace raster {

// One shown run kept for the clip: copies of its glyph records, the glyph
// matrix they were placed with and the font. Fonts are kept by the
// document's font cache for the document's life, so the pointer outlives
// the text object.
struct TextClipEntry {
  const GlyphRecord* records = nullptr;
  uint32_t count = 0;
  Matrix glyphMatrix;
  runtime::FontBase* font = nullptr;

  std::span<const GlyphRecord> Records() const { return {records, count}; }
};

class TextClipAccumulator {
 public:
  explicit TextClipAccumulator(runtime::ArenaAllocator& arena) : arena_(arena), entries_(arena, 4) {}

  // Copies the run's records (a run with none still counts: a clipping
  // text object that showed nothing clips everything away).
  void Add(const GlyphRun& run);
  std::span<const TextClipEntry> Entries() const { return {entries_.begin(), entries_.Size()}; }

 private:
  runtime::ArenaAllocator& arena_;
  runtime::ArenaVector<TextClipEntry> entries_;
};

struct TextClip {
  // The clip a text object leaves: `node` reads the mask (its shape and
  // alpha), `region` bounds it. Never null: glyphs that cover nothing give
  // an empty region and a zero mask, so nothing paints through it.
  struct Result {
    PipelineNode* node = nullptr;
    const PixelRegion* region = nullptr;
  };

  // A one-byte mask over the device's bounds (cut to where the glyphs
  // are), each entry's glyph coverage united into it, then multiplied by
  // the clip in force (`clipNode`, when there is one) and cut to
  // `clipRegion`.
  static Result BuildMask(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                          const IntRect& deviceBounds, const TextClipAccumulator& accumulator, int32_t sizeLimit,
                          const PixelRegion& clipRegion, PipelineNode* clipNode);
};

}  // namespace raster
