#pragma once
// The coverage of a set of placed glyphs as a pipeline node, chosen by how
// the glyphs are drawn: from the font's cached bitmaps while the glyph
// matrix stays within the painter's size limit, from bitmaps made for this
// paint beyond it, from the outlines when the font has no bitmap (or the
// caller asks for outlines), or as grey boxes over the text segments.
#include <cstdint>
#include <span>

#include "raster/GlyphRun.h"
#include "raster/PipelineNode.h"

namespace raster {

enum class GlyphDrawing : uint8_t {
  kGlyphs = 0,  // the glyphs' own shapes
  kBoxes = 1,   // a box per text segment at half coverage (text too small to read)
};

struct GlyphSource {
  // Largest skew (b, c of the glyph matrix, whole pixels) drawn from the
  // glyph cache; 0 turns the cache off.
  static constexpr int32_t kDefaultSizeLimit = 256;
  // The boxes' height relative to the glyph boxes' extent.
  static constexpr Fixed kBoxFactor = 0xA666;

  // `records` are records of `run` (or copies of them, with the run's glyph
  // matrix); coverage is produced over `area` only. `useOutline` paints the
  // outlines even when a bitmap would do.
  static PipelineNode* Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const IntRect& area,
                              GlyphDrawing drawing, runtime::FontBase& font, const Matrix& glyphMatrix,
                              std::span<const GlyphRecord> records, int32_t sizeLimit, bool useOutline = false,
                              const GlyphRun* run = nullptr);
  // True when a glyph matrix lies within the size limit: |b| and |c|
  // below it and b² + c² below its square.
  static bool WithinSizeLimit(const Matrix& glyphMatrix, int32_t sizeLimit);
  // The outlines of `records` as one device path (StoredPath points).
  static std::span<const FixedPoint> Outlines(runtime::ArenaAllocator& arena, runtime::FontBase& font,
                                              const Matrix& glyphMatrix, std::span<const GlyphRecord> records);
};

}  // namespace raster
