#pragma once
// The glyph source every font program (CFF, Type 1, later TrueType)
// presents to the font objects: outlines under a transform, the box, the
// names and encoding it carries, and its memory cost. A program is a
// counted library object owned by the font objects that use it.
#include <cstdint>

#include "fonts/GlyphCache.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace fonts {

using runtime::Fixed;
using runtime::FixedPoint;
using runtime::Matrix;

struct CoverageRecord;

// Anti-aliasing factors per axis, 1, 2 or 4.
struct OversamplingFactors {
  int x = 1;
  int y = 1;
  friend bool operator==(const OversamplingFactors&, const OversamplingFactors&) = default;
};

// How a program is keyed: 0 glyph names, 1 character codes, 2 CIDs.
enum class GlyphKeyKind : int { kNames = 0, kCodes = 1, kCids = 2 };

class FontProgram {
 public:
  explicit FontProgram(runtime::LibraryContext* context) : context_(context), glyphCache_(context) {}
  virtual ~FontProgram() = default;
  FontProgram(const FontProgram&) = delete;
  FontProgram& operator=(const FontProgram&) = delete;

  // The outline of `glyph` under `matrix` (glyph space to device space):
  // points are appended to `points` in a scaled, upright space, and
  // `orientation` receives the remaining flip, quarter turn or whole
  // transform that the rasteriser applies. Work memory comes from `work`.
  // Malformed data throws (runtime, 2).
  virtual void Glyph(uint32_t glyph, const Matrix& matrix, runtime::ArenaVector<FixedPoint>& points,
                     runtime::ArenaAllocator& work, Matrix& orientation) = 0;
  virtual OversamplingFactors GlyphOversampling(const Matrix& matrix) const;
  // The glyph matrix (glyph space to device) for a text-to-device matrix:
  // the font matrix followed by it (the standard 0.001 font matrix divides
  // it by 1000 directly).
  virtual Matrix GlyphSpaceMatrix(const Matrix& textToDevice) const;
  // The font box in text space (the font matrix applied).
  virtual runtime::Rect FontBBox() const = 0;
  virtual uint32_t GlyphCount() const = 0;
  virtual Matrix FontMatrix() const = 0;
  virtual GlyphKeyKind KeyKind() const = 0;
  // Glyph names by glyph index, or null.
  virtual const char* const* GlyphNames() = 0;
  // 256 glyph names by code, or null.
  virtual const char* const* BuiltinEncoding() = 0;
  virtual bool HasCodeMapping() const { return true; }
  // Programs keyed by character codes (TrueType): the glyph of each code
  // for encoding kind `kind` (0 none, 1 MacRoman, 2 MacExpert, 3 WinAnsi);
  // false for programs keyed otherwise.
  virtual bool CodeToGlyphTable(int kind, bool symbolic, uint16_t (&glyphs)[256]) {
    (void)kind;
    (void)symbolic;
    (void)glyphs;
    return false;
  }
  virtual bool IsUsable() const = 0;
  virtual uint32_t ByteSize() const = 0;
  // True for programs whose glyphs are drawn as coverage by running them
  // (glyph procedures) rather than rasterised from outlines.
  virtual bool DrawsCoverage() const { return false; }
  // Such a program's coverage of `glyph` placed by `placement` (glyph space
  // to device pixels, the sub-pixel phase in its translation), cut to
  // `clip` and made in `records`; null when it would be too large.
  virtual CoverageRecord* RenderCoverage(uint32_t glyph, const Matrix& placement, const runtime::IntRect& clip,
                                         runtime::ArenaAllocator& records) {
    (void)glyph;
    (void)placement;
    (void)clip;
    (void)records;
    return nullptr;
  }

  runtime::LibraryContext* Context() const { return context_; }
  // The program's sized glyph sources, by text-to-device matrix.
  GlyphCache& Glyphs() { return glyphCache_; }

  // Holders count programs through CountedRef.
  uint32_t refCount = 1;

 protected:
  runtime::LibraryContext* context_;
  GlyphCache glyphCache_;
};

// Sub-pixel phases per pixel and axis for glyphs drawn under a
// text-to-device matrix: the program's oversampling factors of the matrix
// in thousandths of the text size (the units of a standard glyph space,
// whatever the program's own units), so that text of any ordinary size keeps
// its glyphs at their fractional positions across the line.
OversamplingFactors GlyphPhaseSteps(const FontProgram& font, const Matrix& textToDevice);
// True exactly when m is {65, 0, 0, 65, 0, 0} in raw 16.16 (the 1/1000 of
// a font matrix, no translation).
bool IsFontUnitScale(const Matrix& m);
// One scale for a matrix: |a| when it is a uniform scale, else the square
// root of the absolute determinant.
Fixed GeometricScale(const Matrix& m);

}  // namespace fonts
