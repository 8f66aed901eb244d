#pragma once
// The font program a Type 3 font hands out when its glyphs can be drawn
// as coverage: no outlines; each glyph is drawn by running its procedure
// through the installed GlyphProcedurePainter, and the program's glyph
// cache keeps the results per size and sub-pixel phase as it does for
// outline fonts.
#include "fonts/FontProgram.h"

namespace fonts {

class Type3Font;

class Type3FontProgram final : public FontProgram {
 public:
  static constexpr uint32_t kOwnSize = 136;

  // `font` owns the program and outlives it.
  Type3FontProgram(runtime::LibraryContext* context, Type3Font& font);

  void Glyph(uint32_t glyph, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
             runtime::ArenaAllocator& work, Matrix& orientation) override;
  Matrix GlyphSpaceMatrix(const Matrix& textToDevice) const override;
  runtime::Rect FontBBox() const override { return box_; }
  uint32_t GlyphCount() const override;
  Matrix FontMatrix() const override;
  GlyphKeyKind KeyKind() const override { return GlyphKeyKind::kNames; }
  const char* const* GlyphNames() override;
  const char* const* BuiltinEncoding() override { return nullptr; }
  bool IsUsable() const override { return true; }
  uint32_t ByteSize() const override;
  bool DrawsCoverage() const override { return true; }
  CoverageRecord* RenderCoverage(uint32_t glyph, const Matrix& placement, const runtime::IntRect& clip,
                                 runtime::ArenaAllocator& records) override;

 private:
  Type3Font& font_;
  runtime::Rect box_;
};

}  // namespace fonts
