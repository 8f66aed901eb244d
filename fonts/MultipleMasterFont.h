#pragma once
// The multiple-master substitute: an instance of the built-in sans or
// serif four-master face, fitted to a font descriptor (stem, cap height,
// x-height, slant) and, glyph by glyph, to the advance widths the document
// asks for. Its glyphs are the 230 standard glyphs; its built-in encoding
// is StandardEncoding.
#include <cstdint>

#include "fonts/CffFont.h"
#include "fonts/DesignVector.h"
#include "fonts/StandardFonts.h"
#include "resources/StandardFontTables.h"

namespace fonts {

class MultipleMasterFont final : public CffFont {
 public:
  using TargetWidths = uint16_t[resources::kStandardGlyphCount];

  // `record` as read from the descriptor; `widths` the advance each
  // standard glyph must have (1/1000 em; 0 for a glyph no code reaches).
  MultipleMasterFont(runtime::LibraryContext* context, const DescriptorRecord& record,
                     const TargetWidths& widths);

  // Draws standard glyph `glyph` fitted to its target width; a glyph with
  // no target width draws nothing.
  void Glyph(uint32_t glyph, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
             runtime::ArenaAllocator& work, Matrix& orientation) override;
  const char* const* GlyphNames() override { return resources::kStandardGlyphNames; }
  uint32_t GlyphCount() const override { return resources::kStandardGlyphCount; }
  uint32_t ByteSize() const override;

  // The fitted values, for the probe and the tests.
  const DescriptorRecord& Record() const { return record_; }
  bool IsSerif() const { return serif_; }
  Fixed Slant() const { return slant_; }
  Fixed CapHeightScale() const { return capScale_; }
  Fixed XHeightScale() const { return xScale_; }
  // The glyph actually drawn for `glyph` (its capital under AllCap or
  // SmallCap), the scale it is drawn at and the design solution there.
  uint32_t DrawnGlyph(uint32_t glyph) const;
  DesignSolution Solve(uint32_t glyph, Fixed* scale) const;
  uint16_t TargetWidth(uint32_t glyph) const {
    return glyph < resources::kStandardGlyphCount ? widths_[glyph] : 0;
  }

  // The capital of a lowercase standard glyph, else the glyph itself.
  static uint32_t CapitalOf(uint32_t glyph);

 private:
  DescriptorRecord record_;
  const int16_t* metrics_;
  bool serif_;
  uint16_t widths_[resources::kStandardGlyphCount];
  Fixed slant_ = 0;
  Fixed xScale_ = 0;
  Fixed capScale_ = 0;
  double xStems_[4] = {};
  double capStems_[4] = {};
};

}  // namespace fonts
