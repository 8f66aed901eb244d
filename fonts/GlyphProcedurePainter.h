#pragma once
// How a Type 3 font has its glyph procedures drawn as coverage: the font
// layer sits below the painter, so the painter installs an implementation
// here, once, before it plays content that may select such a font. Without
// one (text extraction alone) glyph procedures are never run.
#include <cstdint>

#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace fonts {

class Type3Font;

class GlyphProcedurePainter {
 public:
  // Plays glyph `glyph` (1 .. the font's glyph count) of `font` with
  // `placement` (glyph space to device pixels) as its matrix, into the
  // coverage of the device pixels `box` (one byte a pixel, row by row,
  // zeroed by the caller). The glyph's shape is drawn; its colours are
  // not. Errors of the procedure pass on.
  virtual void PaintCoverage(Type3Font& font, uint32_t glyph, const runtime::Matrix& placement,
                             const runtime::IntRect& box, uint8_t* coverage) = 0;

  // The process's painter (it keeps no state of its own); null until one
  // is installed.
  static void Install(GlyphProcedurePainter* painter);
  static GlyphProcedurePainter* Installed();

 protected:
  ~GlyphProcedurePainter() = default;
};

}  // namespace fonts
