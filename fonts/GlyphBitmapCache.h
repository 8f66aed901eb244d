#pragma once
// The glyph images of one font program at one size: coverage records per
// (glyph, sub-pixel phase), made from the program's outlines by
// RenderGlyph. TrueType, Type 3 and device glyphs fill the same record.
#include <cstdint>

#include "fonts/CoverageRecord.h"
#include "fonts/FontProgram.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Rect.h"

namespace fonts {

class GlyphBitmapCache {
 public:
  // Records larger than this are not made: the caller paints the outline.
  static constexpr uint32_t kMaxRecordBytes = 4u << 20;

  // `matrix`: text space to device space (y down for a screen); `xSteps`,
  // `ySteps`: sub-pixel positions per pixel; `ownArena`: where records are
  // kept (null: the caller's transient arena).
  GlyphBitmapCache(FontProgram& font, const Matrix& matrix, int xSteps, int ySteps,
                   const runtime::IntRect& defaultClip, runtime::ArenaAllocator* ownArena);
  virtual ~GlyphBitmapCache() = default;

  // The glyph matrix: the font matrix followed by the cache matrix (the
  // standard 0.001 font matrix divides the cache matrix by 1000 directly).
  const Matrix& GlyphMatrix() const { return glyphMatrix_; }

  // Makes the coverage record of `glyph` at sub-pixel `phase`, clipped to
  // `clip` (null: the default clip). An empty outline gives the box
  // (0, 0, 0, 0). Null when the record would exceed kMaxRecordBytes.
  // Malformed glyph data throws (runtime, 2).
  virtual CoverageRecord* RenderGlyph(uint32_t glyph, uint32_t phase, const runtime::IntRect* clip,
                                      runtime::ArenaAllocator& transient);

  // Rasterises a point list (glyph outline, upright space) placed by
  // `placement` into a new record, clipped to `clip`.
  static CoverageRecord* Rasterise(runtime::LibraryContext* context,
                                   const runtime::ArenaVector<FixedPoint>& points,
                                   const Matrix& placement, const runtime::IntRect& clip,
                                   runtime::ArenaAllocator& scratch,
                                   runtime::ArenaAllocator& recordArena);

 private:
  FontProgram& font_;
  Matrix matrix_;
  Matrix glyphMatrix_;
  int xSteps_;
  int ySteps_;
  runtime::IntRect defaultClip_;
  runtime::ArenaAllocator* ownArena_;
  // Outline points and scan-conversion work of one glyph, reused.
  runtime::ArenaAllocator scratch_;
};

}  // namespace fonts
