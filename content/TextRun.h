#pragma once
// The glyphs of one text-showing operation as text extraction measures
// them: for every code the page-space point where its glyph starts and
// where its advance ends, with character spacing, word spacing, horizontal
// scaling, rise and TJ adjustments applied, and the vectors from the
// baseline to the font's ascent and descent. Showing moves the text
// matrix as painting does.
#include <cstdint>

#include "content/TextArrayElement.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/FontBase.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace content {

class GraphicsState;

struct PlacedGlyph {
  runtime::FixedPoint start;
  runtime::FixedPoint end;
  // Where the glyph's own advance ends, before character and word
  // spacing: the spacing shows as a gap between it and the next start.
  runtime::FixedPoint advanceEnd;
  uint32_t code = 0;
};

class TextRun {
 public:
  // Glyphs one run holds at most; a longer string is measured up to it and
  // its remaining codes are passed over (they still move the text point).
  static constexpr uint32_t kMaxGlyphs = 1u << 16;

  TextRun(runtime::ArenaAllocator& arena, const GraphicsState& state, const runtime::Matrix& textMatrix);

  // Places the glyphs of one string; returns the text-space advance.
  void ShowString(const uint8_t* bytes, uint32_t length);
  // A TJ array: strings are shown, numbers move back by a thousandth of a
  // text-space unit each; (runtime, 2) for any other element.
  void ShowArray(const TextArrayElement* elements, uint32_t count);

  uint32_t GlyphCount() const { return glyphs_.Size(); }
  // Glyphs of the k-th string of an array (0 beyond the last).
  uint32_t StringGlyphCount(uint32_t k) const { return k < stringCounts_.Size() ? stringCounts_[k] : 0; }
  const PlacedGlyph& Glyph(uint32_t i) const { return glyphs_[i]; }
  // The start (or, with `atEnd`, the end) point of glyph i.
  runtime::FixedPoint PointAtChar(uint32_t i, bool atEnd) const {
    return atEnd ? glyphs_[i].end : glyphs_[i].start;
  }
  // The page-space gap along the baseline that spacing leaves between
  // glyph i - 1's advance and glyph i (0 for the run's first glyph).
  runtime::Fixed SpacingBefore(uint32_t i) const;
  // Page-space offsets of the font's ascent and descent from the baseline.
  runtime::FixedPoint AscentVector() const { return ascent_; }
  runtime::FixedPoint DescentVector() const { return descent_; }
  // The four corners of glyph i's cell: start and end on the descent
  // line, then end and start on the ascent line.
  void GlyphCorners(uint32_t i, runtime::FixedPoint (&corners)[4]) const;
  // The bounding rectangle of glyph i's cell.
  runtime::Rect GlyphRect(uint32_t i) const;
  // The bounding rectangle of the glyph cells; empty for a run without
  // glyphs.
  runtime::Rect BoundingBox() const;
  // The text matrix after the shown text.
  const runtime::Matrix& TextMatrixAfter() const { return textMatrix_; }
  // The four linear entries the run was shown with.
  const runtime::Matrix& TextMatrixBefore() const { return startMatrix_; }
  // The transform from user space to page space the run was shown under.
  const runtime::Matrix& Ctm() const { return ctm_; }
  bool Vertical() const { return vertical_; }

 private:
  void PlaceString(const uint8_t* bytes, uint32_t length);
  runtime::FixedPoint ToPage(double x, double y) const;

  runtime::FontBase* font_;
  double fontSize_;
  double charSpacing_;
  double wordSpacing_;
  double horizontalScale_;
  double rise_;
  bool vertical_;
  // Text space to page space: text matrix followed by the CTM, in doubles.
  double m_[6];
  runtime::Matrix textMatrix_;
  runtime::Matrix startMatrix_;
  runtime::Matrix ctm_;
  double x_ = 0;  // current text-space point relative to the run's start
  double y_ = 0;
  runtime::FixedPoint ascent_;
  runtime::FixedPoint descent_;
  runtime::ArenaVector<PlacedGlyph> glyphs_;
  runtime::ArenaVector<uint32_t> stringCounts_;
};

}  // namespace content
