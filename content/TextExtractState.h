#pragma once
// The line state of text extraction: each shown string is measured
// (StringTextInfo) and compared with the line gathered so far, which gives
// its relation to it (Classify), and then joins the state (Update).
#include <cstdint>

#include "content/OrientedBox.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/TextPosition.h"

#include "runtime/FontResource.h"

namespace content {

class TextRun;

// Calls `visit` with each code point of a decoded character: its single
// code point, or its UTF-16 units with surrogate pairs combined (any other
// unit stands for itself). A code without Unicode gives none.
template <class Visit>
void ForEachCodePoint(const runtime::DecodedChar& decoded, Visit&& visit) {
  if (!decoded.HasUnits()) {
    if (decoded.codePoint != 0) visit(decoded.codePoint);
    return;
  }
  for (const char16_t* unit = decoded.unitsBegin; unit < decoded.unitsEnd; ++unit) {
    const uint32_t high = *unit;
    if (high >= 0xD800 && high <= 0xDBFF && unit + 1 < decoded.unitsEnd && unit[1] >= 0xDC00 &&
        unit[1] <= 0xDFFF) {
      const uint32_t low = *++unit;
      visit((((high & 0x3FF) << 10) | (low & 0x3FF)) + 0x10000);
    } else {
      visit(high);
    }
  }
}

// Relations of a string to the line before it.
enum TextRelation : uint32_t {
  kFirstText = 0,
  kNewBlock = 1,
  kSameWord = 2,
  kNextWord = 3,
  kWideGap = 4,
  kInPlace = 5,
  kRuby = 6,
};

struct StringTextInfo {
  static constexpr uint8_t kCjk = 1;
  static constexpr uint8_t kHiragana = 2;
  static constexpr uint8_t kKatakana = 4;

  uint32_t leadingBlank = 0;
  uint32_t inner = 0;  // glyphs from the first to the last non-blank glyph
  uint32_t trailingBlank = 0;
  uint32_t controls = 0;  // control characters among the non-blank glyphs
  uint32_t glyphCount = 0;
  uint32_t firstChar = 0x61;
  uint32_t lastChar = 0x61;
  bool hasUnicode = false;
  bool endsWithBullet = false;
  uint8_t scripts = 0;
  OrientedBox box;
  runtime::Rect rect;
  // The linear part of the text matrix the string was shown with.
  runtime::Fixed matrix[4] = {runtime::kFixedOne, 0, 0, runtime::kFixedOne};

  // Measures the `glyphCount` glyphs of [begin, end), which are the run's
  // glyphs from `firstGlyph` on. With `repeatOrInvisible` the string has
  // no geometry.
  static StringTextInfo Build(const uint8_t* begin, const uint8_t* end, uint32_t glyphCount,
                              uint32_t firstGlyph, runtime::FontResource& font, const TextRun& run,
                              bool repeatOrInvisible);
  bool HasNonBlank() const { return inner != 0; }
  // What the string adds to the line's glyph count.
  uint32_t CountedGlyphs() const;
};

// The string against the line, both in one frame: the line's average
// advance, the two heights, the height they span together and the gap
// from the line's end to the string's start.
struct LineGap {
  int64_t average = 0;
  int64_t lineHeight = 0;
  int64_t stringHeight = 0;
  int64_t span = 0;
  int64_t gap = 0;
};

struct TextExtractState {
  bool firstText = true;
  OrientedBox lineBox;
  OrientedBox wordBox;
  OrientedBox charBox;
  runtime::Rect lineRect{runtime::kFixedMax, runtime::kFixedMax, runtime::kFixedMin, runtime::kFixedMin};
  runtime::TextPosition lineStart;
  runtime::TextPosition lastStringStart;
  uint32_t lastGlyphIndex = 0;
  uint32_t glyphCount = 0;
  uint32_t firstChar = 0;
  uint32_t lastChar = 0;
  bool lastEndsWithBullet = false;
  bool hasUnicode = false;
  bool lineHasNonBlank = false;
  uint8_t scripts = 0;
  runtime::Fixed matrix[4] = {runtime::kFixedOne, 0, 0, runtime::kFixedOne};

  // Back to the first-text state: empty boxes, identity matrix, cleared
  // counters.
  void Reset() { *this = TextExtractState(); }
  // The relation of the string to the line (a TextRelation).
  uint32_t Classify(const StringTextInfo& info, const runtime::TextPosition& position, bool rubyAllowed) const;
  uint32_t ClassifyGap(const StringTextInfo& info, bool rubyTest) const;
  LineGap MeasureGap(const StringTextInfo& info) const;
  void Update(const StringTextInfo& info, const runtime::TextPosition& position, uint32_t relation);
  // The line's length along its direction per glyph; 0 for an empty line.
  runtime::Fixed AverageAdvance() const;
  bool HoldsText() const { return !firstText; }
};

}  // namespace content
