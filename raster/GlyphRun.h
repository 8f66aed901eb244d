#pragma once
// The glyphs of one text-showing operator, placed: for every decoded code
// the glyph, its device origin, where its advance ends and its box, with
// character spacing, word spacing, horizontal scaling, rise, TJ
// adjustments and vertical writing applied. The painter draws a run, and
// clipping render modes keep its records for the text clip.
//
// Positions are mapped into device space in 64 bits and saturated to the
// 16.16 range, so huge font sizes or matrices never wrap a glyph back onto
// the page; glyphs far outside are dropped later, when they are drawn.
#include <cstdint>
#include <span>

#include "content/TextArrayElement.h"
#include "raster/PathEdges.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/FontBase.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace content {
class GraphicsState;
}

namespace raster {

using runtime::Matrix;
using runtime::Rect;

// One placed glyph, ten words: the glyph, four device points and a flag
// word whose first byte marks the first glyph of a segment.
struct GlyphRecord {
  static constexpr uint8_t kSegmentStart = 1;

  uint32_t glyph = 0;
  FixedPoint origin;      // where the glyph is drawn
  FixedPoint end;         // origin plus the advance: where the next glyph starts
  FixedPoint boxLow;      // the glyph box's (x0, y0) corner
  FixedPoint boxHigh;     // the glyph box's (x1, y1) corner
  uint32_t flags = 0;

  uint8_t FlagByte() const { return static_cast<uint8_t>(flags & 0xff); }
};
static_assert(sizeof(GlyphRecord) == 40);

// The text state a run reads (from the graphics state).
struct TextState {
  Fixed charSpacing = 0;
  Fixed wordSpacing = 0;
  Fixed horizontalScale = runtime::kFixedOne;
  Fixed fontSize = 0;
  Fixed rise = 0;
  uint8_t renderMode = 0;
  runtime::FontBase* font = nullptr;

  // The text state of `state`; (runtime, 2) when no font is selected or
  // the font has no glyphs to paint.
  static TextState FromGraphicsState(const content::GraphicsState& state);
  // [Tfs × Th, 0, 0, Tfs, 0, rise] × text matrix.
  Matrix RenderingMatrix(const Matrix& textMatrix) const;
};

// Maps a point by a matrix in 64 bits, saturating to the 16.16 range.
FixedPoint MapPointSaturated(const Matrix& m, Fixed x, Fixed y);

class GlyphRun {
 public:
  // Work units one placed glyph costs against the thread's budget.
  static constexpr int32_t kGlyphWork = 100;

  // `textMatrix` maps text space into user space, `deviceMatrix` user space
  // into device pixels. (runtime, 2) when the text state has no font.
  GlyphRun(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const TextState& text,
           const Matrix& textMatrix, const Matrix& deviceMatrix);

  // Places the glyphs of one string from the current point; returns the
  // new current point (user space).
  FixedPoint ShowString(const uint8_t* bytes, uint32_t length);
  // A TJ array: strings are shown, numbers move the current point back by
  // a thousandth of a text-space unit each (along the writing direction).
  // (runtime, 2) for any other element.
  FixedPoint ShowArray(const content::TextArrayElement* elements, uint32_t count);

  // The device bounding box of the glyphs' boxes; {0x7fffffff, 0x7fffffff,
  // 0x80000001, 0x80000001} for a run with no glyphs.
  Rect BoundingBox() const;
  // Appends every glyph's outline, in device space, to `path` (StoredPath
  // points); glyphs without an outline add nothing.
  void AppendOutlines(runtime::ArenaVector<FixedPoint>& path) const;
  // The closed quadrilateral start + a, end + a, end + b, start + b, a and
  // b the run's box vectors scaled by `factor` (kept as they are at 1.0).
  void AddRunBox(StoredPath& path, FixedPoint start, FixedPoint end, Fixed factor) const;
  // One such box per segment: a segment starts at glyph 0 and at every
  // record flagged as a segment start, and runs from its first glyph's
  // origin to its last glyph's end.
  void AddSegmentBoxes(StoredPath& path, Fixed factor) const;

  std::span<const GlyphRecord> Records() const { return {records_.begin(), records_.Size()}; }
  std::span<GlyphRecord> Records() { return {records_.begin(), records_.Size()}; }
  // The adjustment sums of a TJ array, one per string shown so far plus
  // the one after the last (in thousandths, as 16.16).
  std::span<const Fixed> Adjustments() const { return {adjustments_.begin(), adjustments_.Size()}; }
  FixedPoint CurrentPoint() const { return current_; }
  // True once a glyph other than a word space was placed.
  bool HasNonSpace() const { return nonSpace_; }
  bool Vertical() const { return vertical_; }
  runtime::FontBase& Font() const { return *text_.font; }
  const TextState& Text() const { return text_; }
  // Text space (font size 1) to device pixels, translation zero.
  const Matrix& GlyphMatrix() const { return glyphMatrix_; }
  const Matrix& RenderingMatrix() const { return rendering_; }
  const Matrix& DeviceMatrix() const { return device_; }
  runtime::LibraryContext* Context() const { return context_; }

 private:
  void PlaceString(const uint8_t* bytes, uint32_t length);
  void ReserveFor(uint64_t glyphs);

  runtime::LibraryContext* context_;
  TextState text_;
  Matrix textMatrix_;
  Matrix device_;
  Matrix rendering_;
  Matrix glyphMatrix_;
  bool vertical_;
  FixedPoint current_;
  bool nonSpace_ = false;
  // The run's box vectors: device offsets from the baseline to the lowest
  // and highest glyph box edge seen (text space y, mapped).
  Fixed boxBottom_ = 0;
  Fixed boxTop_ = 0;
  runtime::ArenaVector<GlyphRecord> records_;
  runtime::ArenaVector<Fixed> adjustments_;
};

}  // namespace raster
