#include "content/TextExtractState.h"

#include <algorithm>
#include <cmath>

#include "content/CharClass.h"
#include "content/TextRun.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {

using runtime::Fixed;

// Start and end points closer than this (4/65536) give no direction.
constexpr double kMinDirectionLength = 4.0 / 65536.0;

constexpr runtime::Rect kEmptyBounds{runtime::kFixedMax, runtime::kFixedMax, runtime::kFixedMin,
                                     runtime::kFixedMin};

double Length(runtime::FixedPoint v) {
  return std::hypot(runtime::FixedToDouble(v.x), runtime::FixedToDouble(v.y));
}

// `box` in the frame of `target` when it may be turned; unchanged when it
// has a fixed direction.
OrientedBox TurnedInto(const OrientedBox& box, const OrientedBox& target) {
  OrientedBox turned;
  const uint32_t turn = Orientation::RelativeTurn(box, target);
  return Orientation::ApplyTurn(turned, box, turn);
}

bool IdentityMatrix(const Fixed (&m)[4]) {
  return m[0] == runtime::kFixedOne && m[1] == 0 && m[2] == 0 && m[3] == runtime::kFixedOne;
}

runtime::Rect UniteRects(const runtime::Rect& a, const runtime::Rect& b) {
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

}  // namespace

uint32_t StringTextInfo::CountedGlyphs() const {
  const uint32_t total = leadingBlank + inner + trailingBlank;
  return total > controls ? total - controls : 0;
}

StringTextInfo StringTextInfo::Build(const uint8_t* begin, const uint8_t* end, uint32_t glyphCount,
                                     uint32_t firstGlyph, runtime::FontResource& font, const TextRun& run,
                                     bool repeatOrInvisible) {
  StringTextInfo info;
  info.glyphCount = glyphCount;
  info.hasUnicode = font.HasUnicode(begin, end);
  // Without Unicode every glyph counts as printable.
  uint32_t firstNonBlank = 0;
  uint32_t lastNonBlank = glyphCount == 0 ? 0 : glyphCount - 1;
  if (info.hasUnicode) {
    bool seen = false;
    uint32_t glyph = 0;
    uint32_t controlsSoFar = 0;
    for (const uint8_t* at = begin; at < end && glyph < glyphCount; ++glyph) {
      runtime::DecodedChar decoded;
      const uint8_t* next = font.NextChar(&decoded, at, end);
      at = next > at && next <= end ? next : end;
      bool nonBlank = false;
      uint32_t controls = 0;
      ForEachCodePoint(decoded, [&](uint32_t c) {
        if (CharClass::IsNonBlank(c)) {
          if (!seen) info.firstChar = c;
          nonBlank = true;
          seen = true;
          info.lastChar = c;
        }
        if (CharClass::IsControl(c)) ++controls;
        if (CharClass::IsCjk(c)) info.scripts |= kCjk;
        if (CharClass::IsHiragana(c)) info.scripts |= kCjk | kHiragana;
        if (CharClass::IsKatakana(c)) info.scripts |= kCjk | kKatakana;
      });
      if (nonBlank) {
        if (info.inner == 0) firstNonBlank = glyph;
        lastNonBlank = glyph;
        info.inner = glyph - firstNonBlank + 1;
        controlsSoFar += controls;
        info.controls = controlsSoFar;
      }
    }
    if (info.inner == 0) {
      info.leadingBlank = glyph;
      firstNonBlank = 0;
      lastNonBlank = glyph == 0 ? 0 : glyph - 1;
    } else {
      info.leadingBlank = firstNonBlank;
      info.trailingBlank = glyph - 1 - lastNonBlank;
    }
    info.endsWithBullet = CharClass::IsBullet(info.lastChar);
  } else {
    info.inner = glyphCount;
  }
  const runtime::Matrix& m = run.TextMatrixBefore();
  info.matrix[0] = m.a;
  info.matrix[1] = m.b;
  info.matrix[2] = m.c;
  info.matrix[3] = m.d;
  info.rect = kEmptyBounds;
  if (glyphCount == 0 || firstGlyph + glyphCount > run.GlyphCount()) return info;
  for (uint32_t i = firstGlyph; i < firstGlyph + glyphCount; ++i) info.rect = UniteRects(info.rect, run.GlyphRect(i));
  if (repeatOrInvisible) return info;  // no geometry: the box stays empty
  const runtime::FixedPoint start = run.PointAtChar(firstGlyph + firstNonBlank, false);
  const runtime::FixedPoint stop = run.PointAtChar(firstGlyph + lastNonBlank, true);
  const double dx = runtime::FixedToDouble(stop.x) - runtime::FixedToDouble(start.x);
  const double dy = runtime::FixedToDouble(stop.y) - runtime::FixedToDouble(start.y);
  const double length = std::hypot(dx, dy);
  if (length < kMinDirectionLength) return info;
  const double c = dx / length;
  const double s = dy / length;
  const double sx = runtime::FixedToDouble(start.x);
  const double sy = runtime::FixedToDouble(start.y);
  const double baseline = -sx * s + sy * c;
  OrientedBox& box = info.box;
  box.flags = info.inner < 2 ? OrientedBox::kTurnable : 0;
  box.cos = runtime::FixedFromFloat(c);
  box.sin = runtime::FixedFromFloat(s);
  box.uMin = runtime::FixedFromFloat(sx * c + sy * s);
  box.uMax = runtime::FixedFromFloat(sx * c + sy * s + length);
  box.vMin = runtime::FixedFromFloat(baseline - Length(run.DescentVector()));
  box.vMax = runtime::FixedFromFloat(baseline + Length(run.AscentVector()));
  return info;
}

Fixed TextExtractState::AverageAdvance() const {
  if (lineBox.IsEmpty() || glyphCount == 0) return 0;
  return static_cast<Fixed>(lineBox.Length() / static_cast<int64_t>(glyphCount));
}

uint32_t TextExtractState::Classify(const StringTextInfo& info, const runtime::TextPosition& position,
                                    bool rubyAllowed) const {
  if (firstText) return kFirstText;
  if (info.hasUnicode != hasUnicode) return kNewBlock;
  if (info.HasNonBlank() && !lineHasNonBlank) return kNewBlock;
  if (!IdentityMatrix(matrix) && !std::equal(matrix, matrix + 4, info.matrix)) return kNewBlock;
  if (info.box.IsEmpty()) return kInPlace;
  if (TurnedInto(lineBox, info.box).IsEmpty()) return kNewBlock;
  if (!info.hasUnicode && runtime::TextPosition::Equals(position, lastStringStart)) return kInPlace;
  const bool ruby = rubyAllowed && info.hasUnicode &&
                    (info.scripts & (StringTextInfo::kHiragana | StringTextInfo::kKatakana)) != 0;
  const uint32_t gap = ClassifyGap(info, ruby);
  if (gap == kNewBlock) return gap;
  return info.HasNonBlank() ? gap : kInPlace;
}

LineGap TextExtractState::MeasureGap(const StringTextInfo& info) const {
  // Both boxes in one frame: the string's when it has a direction of its
  // own, else the line's.
  OrientedBox line = lineBox;
  OrientedBox added = info.box;
  if (added.IsTurnable() && !line.IsTurnable()) {
    added = TurnedInto(added, line);
  } else {
    line = TurnedInto(line, added);
  }
  LineGap measure;
  measure.average = AverageAdvance();
  measure.lineHeight = line.Height();
  measure.stringHeight = added.Height();
  measure.span = static_cast<int64_t>(std::max(line.vMax, added.vMax)) - std::min(line.vMin, added.vMin);
  measure.gap = static_cast<int64_t>(added.uMin) - line.uMax;
  return measure;
}

uint32_t TextExtractState::ClassifyGap(const StringTextInfo& info, bool rubyTest) const {
  const LineGap m = MeasureGap(info);
  const int64_t average = m.average;
  const int64_t hL = m.lineHeight;
  const int64_t hS = m.stringHeight;
  const int64_t span = m.span;
  const int64_t gap = m.gap;
  if (rubyTest && hL > 8 * hS / 5 && span < hL + 2 * hS) return kRuby;
  if (2 * hL < hS) return kNewBlock;
  if (span > hL + hS + 4) return kNewBlock;
  // More than nine tenths of the two heights apart across the line.
  if (hL + hS > 0 && span * 65536 > 58982 * (hL + hS)) return kNewBlock;
  if (gap < 0 && -gap * 65536 > average * 68812) return kNewBlock;
  const int64_t wide = lastEndsWithBullet ? 10 * average : 3 * average;
  if (gap > wide) return kWideGap;
  if (gap < 4 * average / 10) return kSameWord;
  return kNextWord;
}

void TextExtractState::Update(const StringTextInfo& info, const runtime::TextPosition& position,
                              uint32_t relation) {
  switch (relation) {
    case kFirstText:
      firstText = false;
      lineBox = info.box;
      std::copy(info.matrix, info.matrix + 4, matrix);
      if (lineBox.IsEmpty()) {
        // No usable direction: an upright box from the rectangle.
        lineBox = info.rect.IsEmpty() ? OrientedBox{} : OrientedBox::FromRect(info.rect);
        matrix[0] = runtime::kFixedOne;
        matrix[1] = matrix[2] = 0;
        matrix[3] = runtime::kFixedOne;
      }
      wordBox = charBox = lineBox;
      lineRect = info.rect;
      firstChar = info.firstChar;
      lastChar = info.lastChar;
      lastEndsWithBullet = info.endsWithBullet;
      scripts = info.scripts;
      hasUnicode = info.hasUnicode;
      lineHasNonBlank = info.HasNonBlank();
      glyphCount = info.CountedGlyphs();
      lineStart = position;
      lastStringStart = position;
      lastGlyphIndex = info.glyphCount == 0 ? 0 : info.glyphCount - 1;
      break;
    case kSameWord:
    case kNextWord:
    case kWideGap: {
      if (info.hasUnicode) {
        OrientedBox united;
        OrientedBox::Union(united, lineBox, info.box);
        if (!united.IsEmpty()) lineBox = united;
      }
      wordBox = info.box;
      charBox = info.box;
      glyphCount += info.CountedGlyphs();
      if (info.HasNonBlank()) {
        lastChar = info.lastChar;
        lastEndsWithBullet = info.endsWithBullet;
      }
      lineHasNonBlank = lineHasNonBlank || info.HasNonBlank();
      scripts |= info.scripts;
      if (!info.rect.IsEmpty()) lineRect = UniteRects(lineRect, info.rect);
      lastStringStart = position;
      lastGlyphIndex = info.glyphCount == 0 ? 0 : info.glyphCount - 1;
      break;
    }
    case kRuby: {
      OrientedBox united;
      OrientedBox::Union(united, charBox, info.box);
      if (!united.IsEmpty()) charBox = united;
      break;
    }
    case kInPlace:
    default:
      lastStringStart = position;
      lastGlyphIndex = info.glyphCount == 0 ? 0 : info.glyphCount - 1;
      break;
  }
}

}  // namespace content
