#include "raster/GlyphRun.h"

#include <algorithm>

#include "content/GraphicsState.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace raster {
namespace {

using runtime::FixedMul;

Fixed RunSaturate(int64_t v) {
  return static_cast<Fixed>(std::clamp<int64_t>(v, runtime::kFixedMin, runtime::kFixedMax));
}

FixedPoint RunAddPoints(FixedPoint p, FixedPoint q) {
  return {RunSaturate(int64_t{p.x} + q.x), RunSaturate(int64_t{p.y} + q.y)};
}

// A vector (no translation) mapped by the 2 × 2 part of a matrix.
FixedPoint RunMapVector(const Matrix& m, Fixed x, Fixed y) {
  return {RunSaturate(((int64_t{x} * m.a) >> 16) + ((int64_t{y} * m.c) >> 16)),
          RunSaturate(((int64_t{x} * m.b) >> 16) + ((int64_t{y} * m.d) >> 16))};
}

// A vector scaled by a 16.16 factor.
FixedPoint RunScaleVector(FixedPoint v, Fixed s) {
  return {RunSaturate((int64_t{v.x} * s) >> 16), RunSaturate((int64_t{v.y} * s) >> 16)};
}

// A TJ number in thousandths of a text-space unit: value / 1000, rounded
// to nearest (the quotient of a 32-bit value always fits).
Fixed RunThousandthOf(Fixed value) {
  const int64_t v = value;
  return static_cast<Fixed>(v >= 0 ? (v + 500) / 1000 : (v - 500) / 1000);
}

// m × n as Matrix::Concat computes it, but each entry saturated instead of
// wrapped: font sizes and matrices of hostile files multiply past 16.16.
Matrix RunConcatSaturated(const Matrix& m, const Matrix& n) {
  auto product = [](Fixed p, Fixed q) { return (int64_t{p} * q) >> 16; };
  return {RunSaturate(product(m.a, n.a) + product(m.b, n.c)),
          RunSaturate(product(m.a, n.b) + product(m.b, n.d)),
          RunSaturate(product(m.c, n.a) + product(m.d, n.c)),
          RunSaturate(product(m.c, n.b) + product(m.d, n.d)),
          RunSaturate(product(m.e, n.a) + product(m.f, n.c) + n.e),
          RunSaturate(product(m.e, n.b) + product(m.f, n.d) + n.f)};
}

}  // namespace

FixedPoint MapPointSaturated(const Matrix& m, Fixed x, Fixed y) {
  return {RunSaturate(((int64_t{x} * m.a) >> 16) + ((int64_t{y} * m.c) >> 16) + m.e),
          RunSaturate(((int64_t{x} * m.b) >> 16) + ((int64_t{y} * m.d) >> 16) + m.f)};
}

TextState TextState::FromGraphicsState(const content::GraphicsState& state) {
  // (runtime, 2) when no font is set.
  runtime::FontBase* glyphs = &state.RequireFont();
  TextState text;
  text.charSpacing = state.charSpacing;
  text.wordSpacing = state.wordSpacing;
  text.horizontalScale = state.horizontalScale;
  text.fontSize = state.fontSize;
  text.rise = state.rise;
  text.renderMode = state.renderMode;
  text.font = glyphs;
  return text;
}

Matrix TextState::RenderingMatrix(const Matrix& textMatrix) const {
  const Matrix size{RunSaturate((int64_t{horizontalScale} * fontSize) >> 16), 0, 0, fontSize, 0, rise};
  return RunConcatSaturated(size, textMatrix);
}

GlyphRun::GlyphRun(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const TextState& text,
                   const Matrix& textMatrix, const Matrix& deviceMatrix)
    : context_(context),
      text_(text),
      textMatrix_(textMatrix),
      device_(deviceMatrix),
      vertical_(false),
      current_{textMatrix.e, textMatrix.f},
      records_(arena, 16),
      adjustments_(arena, 4) {
  if (text_.font == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  vertical_ = text_.font->WritesVertically();
  rendering_ = text_.RenderingMatrix(textMatrix);
  glyphMatrix_ = RunConcatSaturated(rendering_, device_);
  glyphMatrix_.e = glyphMatrix_.f = 0;
}

void GlyphRun::ReserveFor(uint64_t glyphs) {
  // Every code takes at least one byte, so a string's byte count bounds its
  // glyphs; beyond a few thousand the records grow as they come, so that a
  // long string of multi-byte codes does not claim twice its memory.
  constexpr uint64_t kReserveStep = 4096;
  const uint64_t wanted = uint64_t{records_.Size()} + std::min(glyphs, kReserveStep);
  if (wanted > records_.Capacity()) records_.Reserve(static_cast<uint32_t>(wanted));
}

void GlyphRun::PlaceString(const uint8_t* bytes, uint32_t length) {
  runtime::FontBase& font = *text_.font;
  // Spacing vectors along the writing direction of the text matrix.
  const Fixed charStep = FixedMul(text_.charSpacing, text_.horizontalScale);
  const Fixed wordStep = FixedMul(text_.wordSpacing, text_.horizontalScale);
  const FixedPoint direction = vertical_ ? FixedPoint{textMatrix_.c, textMatrix_.d}
                                         : FixedPoint{textMatrix_.a, textMatrix_.b};
  const FixedPoint charVector = RunScaleVector(direction, charStep);
  const FixedPoint wordVector = RunScaleVector(direction, wordStep);
  // The rise lifts every glyph off the current point without moving it.
  const FixedPoint lift = {RunSaturate(int64_t{rendering_.e} - textMatrix_.e),
                           RunSaturate(int64_t{rendering_.f} - textMatrix_.f)};

  const uint8_t* cursor = bytes;
  const uint8_t* end = bytes + length;
  while (cursor < end) {
    runtime::GlyphInfo info;
    const uint8_t* next = font.NextGlyph(cursor, end, info);
    // A decoder that does not move on would loop for ever; one that runs
    // past the end would read outside the string.
    if (next <= cursor || next > end) runtime::ThrowRuntime(runtime::kMalformed);
    // Word spacing belongs to the single-byte code 32 only, whatever else a
    // font calls a space, and whether or not its decoder says so.
    const bool singleByteSpace = next - cursor == 1 && *cursor == 32;
    cursor = next;
    runtime::ChargeWork(context_, kGlyphWork);

    FixedPoint origin = RunAddPoints(current_, lift);
    if (vertical_) origin = RunAddPoints(origin, RunMapVector(rendering_, info.verticalOriginX, info.verticalOriginY));
    FixedPoint advance =
        vertical_ ? RunMapVector(rendering_, 0, info.advance) : RunMapVector(rendering_, info.advance, 0);
    advance = RunAddPoints(advance, charVector);
    if (singleByteSpace) {
      advance = RunAddPoints(advance, wordVector);
    } else {
      nonSpace_ = true;
    }

    GlyphRecord record;
    record.glyph = info.glyph;
    record.origin = MapPointSaturated(device_, origin.x, origin.y);
    const FixedPoint after = RunAddPoints(current_, advance);
    const FixedPoint afterLifted = RunAddPoints(after, lift);
    record.end = MapPointSaturated(device_, afterLifted.x, afterLifted.y);
    const Rect box = font.GlyphBox(info.glyph);
    if (!box.IsEmpty()) {
      boxBottom_ = std::min(boxBottom_, box.y0);
      boxTop_ = std::max(boxTop_, box.y1);
    }
    record.boxLow = RunAddPoints(record.origin, RunMapVector(glyphMatrix_, box.x0, box.y0));
    record.boxHigh = RunAddPoints(record.origin, RunMapVector(glyphMatrix_, box.x1, box.y1));
    if (records_.Size() == records_.Capacity()) ReserveFor(uint64_t{records_.Size()} + 16);
    records_.PushBack(record);
    current_ = after;
  }
}

FixedPoint GlyphRun::ShowString(const uint8_t* bytes, uint32_t length) {
  ReserveFor(length);
  PlaceString(bytes, length);
  return current_;
}

FixedPoint GlyphRun::ShowArray(const content::TextArrayElement* elements, uint32_t count) {
  uint64_t bytes = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (elements[i].IsString()) bytes += elements[i].payload.string->length;
  }
  ReserveFor(bytes);
  adjustments_.PushBack(0);
  for (uint32_t i = 0; i < count; ++i) {
    const content::TextArrayElement& element = elements[i];
    if (element.IsString()) {
      PlaceString(element.payload.string->Bytes(), element.payload.string->length);
      adjustments_.PushBack(0);
      continue;
    }
    if (element.tag != content::TextArrayElement::kAdjustment &&
        element.tag != static_cast<uint32_t>(runtime::ObjectTag::kInteger)) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    const Fixed t = RunThousandthOf(element.payload.adjustment);
    const FixedPoint step = vertical_ ? FixedPoint{rendering_.c, rendering_.d} : FixedPoint{rendering_.a, rendering_.b};
    current_ = RunAddPoints(current_, RunScaleVector(step, runtime::NegateSat(t)));
    Fixed& sum = adjustments_[adjustments_.Size() - 1];
    sum = runtime::FixedAddSat(sum, t);
  }
  return current_;
}

Rect GlyphRun::BoundingBox() const {
  Rect bounds = runtime::kEmptyBoundsStart;
  for (const GlyphRecord& record : Records()) {
    const Rect box = text_.font->GlyphBox(record.glyph);
    if (box.IsEmpty()) continue;
    Rect device = Matrix::TransformRectBounds(box, glyphMatrix_);
    device = Rect::OffsetSaturating(device, record.origin.x, record.origin.y);
    bounds = Rect::Bounds(bounds, device);
  }
  return bounds;
}

void GlyphRun::AppendOutlines(runtime::ArenaVector<FixedPoint>& path) const {
  for (const GlyphRecord& record : Records()) {
    Matrix placed = glyphMatrix_;
    placed.e = record.origin.x;
    placed.f = record.origin.y;
    text_.font->GlyphOutline(record.glyph, placed, path);
  }
}

void GlyphRun::AddRunBox(StoredPath& path, FixedPoint start, FixedPoint end, Fixed factor) const {
  FixedPoint a = RunMapVector(glyphMatrix_, 0, boxBottom_);
  FixedPoint b = RunMapVector(glyphMatrix_, 0, boxTop_);
  if (factor != runtime::kFixedOne) {
    a = RunScaleVector(a, factor);
    b = RunScaleVector(b, factor);
  }
  path.MoveTo(RunAddPoints(start, a));
  path.LineTo(RunAddPoints(end, a));
  path.LineTo(RunAddPoints(end, b));
  path.LineTo(RunAddPoints(start, b));
  path.Close();
}

void GlyphRun::AddSegmentBoxes(StoredPath& path, Fixed factor) const {
  const std::span<const GlyphRecord> records = Records();
  if (records.empty()) return;
  FixedPoint start = records[0].origin;
  for (size_t i = 1; i < records.size(); ++i) {
    if ((records[i].FlagByte() & GlyphRecord::kSegmentStart) == 0) continue;
    AddRunBox(path, start, records[i - 1].end, factor);
    start = records[i].origin;
  }
  AddRunBox(path, start, records.back().end, factor);
}

}  // namespace raster
