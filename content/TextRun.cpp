#include "content/TextRun.h"

#include <algorithm>
#include <cmath>

#include "content/GraphicsState.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace content {

namespace {

double ToDouble(runtime::Fixed v) { return runtime::FixedToDouble(v); }

}  // namespace

TextRun::TextRun(runtime::ArenaAllocator& arena, const GraphicsState& state, const runtime::Matrix& textMatrix)
    : font_(&state.RequireFont()),
      fontSize_(ToDouble(state.fontSize)),
      charSpacing_(ToDouble(state.charSpacing)),
      wordSpacing_(ToDouble(state.wordSpacing)),
      horizontalScale_(ToDouble(state.horizontalScale)),
      rise_(ToDouble(state.rise)),
      vertical_(font_->WritesVertically()),
      textMatrix_(textMatrix),
      startMatrix_(textMatrix),
      ctm_(state.ctm),
      glyphs_(arena, 16),
      stringCounts_(arena, 4) {
  const runtime::Matrix& t = textMatrix;
  const runtime::Matrix& c = state.ctm;
  const double ta = ToDouble(t.a), tb = ToDouble(t.b), tc = ToDouble(t.c), td = ToDouble(t.d);
  const double te = ToDouble(t.e), tf = ToDouble(t.f);
  const double ca = ToDouble(c.a), cb = ToDouble(c.b), cc = ToDouble(c.c), cd = ToDouble(c.d);
  const double ce = ToDouble(c.e), cf = ToDouble(c.f);
  m_[0] = ta * ca + tb * cc;
  m_[1] = ta * cb + tb * cd;
  m_[2] = tc * ca + td * cc;
  m_[3] = tc * cb + td * cd;
  m_[4] = te * ca + tf * cc + ce;
  m_[5] = te * cb + tf * cd + cf;
  // The cell across the baseline: the font's ascent and descent at the
  // font size (horizontal text; vertical text keeps its cell centred).
  const double up = ToDouble(font_->ascent) * fontSize_;
  const double down = ToDouble(font_->descent) * fontSize_;
  if (vertical_) {
    ascent_ = {runtime::FixedFromFloat(m_[0] * fontSize_ / 2), runtime::FixedFromFloat(m_[1] * fontSize_ / 2)};
    descent_ = {runtime::FixedFromFloat(-m_[0] * fontSize_ / 2), runtime::FixedFromFloat(-m_[1] * fontSize_ / 2)};
  } else {
    ascent_ = {runtime::FixedFromFloat(m_[2] * up), runtime::FixedFromFloat(m_[3] * up)};
    descent_ = {runtime::FixedFromFloat(m_[2] * down), runtime::FixedFromFloat(m_[3] * down)};
  }
}

runtime::FixedPoint TextRun::ToPage(double x, double y) const {
  return {runtime::FixedFromFloat(x * m_[0] + y * m_[2] + m_[4]),
          runtime::FixedFromFloat(x * m_[1] + y * m_[3] + m_[5])};
}

void TextRun::PlaceString(const uint8_t* bytes, uint32_t length) {
  const uint8_t* end = bytes + length;
  uint32_t placed = 0;
  for (const uint8_t* at = bytes; at < end;) {
    runtime::GlyphInfo info;
    const uint8_t* next = font_->NextGlyph(at, end, info);
    // A decoder that stalls or reads past the string is a broken font.
    if (next <= at || next > end) runtime::ThrowRuntime(runtime::kMalformed);
    const bool wordSpace = info.wordSpace || (next - at == 1 && *at == 0x20);
    const double spacing = charSpacing_ + (wordSpace ? wordSpacing_ : 0.0);
    const double advance = ToDouble(info.advance) * fontSize_;
    PlacedGlyph glyph;
    glyph.code = info.code;
    if (vertical_) {
      glyph.start = ToPage(x_, y_);
      glyph.advanceEnd = ToPage(x_, y_ + advance);
      y_ += advance - spacing;
      glyph.end = ToPage(x_, y_);
    } else {
      glyph.start = ToPage(x_, y_ + rise_);
      glyph.advanceEnd = ToPage(x_ + advance * horizontalScale_, y_ + rise_);
      x_ += (advance + spacing) * horizontalScale_;
      glyph.end = ToPage(x_, y_ + rise_);
    }
    if (glyphs_.Size() < kMaxGlyphs) {
      glyphs_.PushBack(glyph);
      ++placed;
    }
    at = next;
  }
  stringCounts_.PushBack(placed);
}

void TextRun::ShowString(const uint8_t* bytes, uint32_t length) {
  PlaceString(bytes, length);
  textMatrix_ = runtime::Matrix::Concat(
      runtime::Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, runtime::FixedFromFloat(x_),
                      runtime::FixedFromFloat(y_)},
      startMatrix_);
}

void TextRun::ShowArray(const TextArrayElement* elements, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const TextArrayElement& element = elements[i];
    if (element.IsString()) {
      PlaceString(element.payload.string->Bytes(), element.payload.string->length);
    } else if (element.tag == static_cast<uint32_t>(runtime::ObjectTag::kInteger) ||
               element.tag == TextArrayElement::kAdjustment) {
      const double shift = ToDouble(element.payload.adjustment) / 1000.0 * fontSize_;
      if (vertical_) {
        y_ -= shift;
      } else {
        x_ -= shift * horizontalScale_;
      }
    } else {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
  }
  textMatrix_ = runtime::Matrix::Concat(
      runtime::Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, runtime::FixedFromFloat(x_),
                      runtime::FixedFromFloat(y_)},
      startMatrix_);
}

runtime::Fixed TextRun::SpacingBefore(uint32_t i) const {
  if (i == 0 || i >= glyphs_.Size()) return 0;
  const PlacedGlyph& before = glyphs_[i - 1];
  const double dx = ToDouble(before.advanceEnd.x) - ToDouble(before.start.x);
  const double dy = ToDouble(before.advanceEnd.y) - ToDouble(before.start.y);
  const double length = std::sqrt(dx * dx + dy * dy);
  if (!(length > 0)) return 0;
  const double gx = ToDouble(glyphs_[i].start.x) - ToDouble(before.advanceEnd.x);
  const double gy = ToDouble(glyphs_[i].start.y) - ToDouble(before.advanceEnd.y);
  return runtime::FixedFromFloat((gx * dx + gy * dy) / length);
}

void TextRun::GlyphCorners(uint32_t i, runtime::FixedPoint (&corners)[4]) const {
  const PlacedGlyph& glyph = glyphs_[i];
  auto offset = [](runtime::FixedPoint p, runtime::FixedPoint by) {
    return runtime::FixedPoint{runtime::FixedAddSat(p.x, by.x), runtime::FixedAddSat(p.y, by.y)};
  };
  corners[0] = offset(glyph.start, descent_);
  corners[1] = offset(glyph.end, descent_);
  corners[2] = offset(glyph.end, ascent_);
  corners[3] = offset(glyph.start, ascent_);
}

runtime::Rect TextRun::GlyphRect(uint32_t i) const {
  runtime::FixedPoint corners[4];
  GlyphCorners(i, corners);
  runtime::Rect box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
  for (const runtime::FixedPoint& p : corners) {
    box.x0 = std::min(box.x0, p.x);
    box.y0 = std::min(box.y0, p.y);
    box.x1 = std::max(box.x1, p.x);
    box.y1 = std::max(box.y1, p.y);
  }
  return box;
}

runtime::Rect TextRun::BoundingBox() const {
  runtime::Rect box{runtime::kFixedMax, runtime::kFixedMax, runtime::kFixedMin, runtime::kFixedMin};
  for (uint32_t i = 0; i < glyphs_.Size(); ++i) {
    const runtime::Rect cell = GlyphRect(i);
    box.x0 = std::min(box.x0, cell.x0);
    box.y0 = std::min(box.y0, cell.y0);
    box.x1 = std::max(box.x1, cell.x1);
    box.y1 = std::max(box.y1, cell.y1);
  }
  return box;
}

}  // namespace content
