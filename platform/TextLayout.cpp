#include "platform/TextLayout.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace platform {
namespace {

// Scripts that are written right to left or whose letters change shape:
// Hebrew, Arabic, Syriac, Thaana, N'Ko and their presentation forms, and the
// Indic and South-East Asian blocks.
bool IsComplexCharacter(char32_t c) {
  return (c >= 0x0590 && c <= 0x08FF) || (c >= 0x0900 && c <= 0x0DFF) || (c >= 0x0E00 && c <= 0x0EFF) ||
         (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
         (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF) ||
         (c >= 0x1E800 && c <= 0x1EFFF);
}

std::u32string Decode(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(c);
  }
  return out;
}

// A stretch of characters with one embedding level, drawn with one font.
struct LayoutRun {
  size_t start = 0;
  size_t length = 0;
  FriBidiLevel level = 0;
  SizedFont* font = nullptr;
};

TextLine LayoutPlain(SizedFont& font, const std::u32string& characters) {
  TextLine line;
  line.glyphs.reserve(characters.size());
  for (char32_t c : characters) {
    const GlyphImage& image = font.Glyph(c);
    line.glyphs.push_back(PlacedGlyph{&font, 0, &image, line.width, 0});
    line.width += image.advance;
  }
  return line;
}

// The runs of the line in display order: from the highest level down to the
// lowest odd one, every sequence of runs at that level or above is reversed.
void ReorderRuns(std::vector<LayoutRun>& runs) {
  // Levels are signed chars: the "no odd level yet" mark must lie above
  // every level, which 255 in a signed char does not.
  int highest = 0, lowestOdd = INT_MAX;
  for (const auto& run : runs) {
    highest = std::max<int>(highest, run.level);
    if (run.level % 2 == 1) lowestOdd = std::min<int>(lowestOdd, run.level);
  }
  for (int level = highest; level >= lowestOdd && level > 0; --level) {
    for (size_t i = 0; i < runs.size();) {
      if (runs[i].level < level) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < runs.size() && runs[end].level >= level) ++end;
      std::reverse(runs.begin() + static_cast<std::ptrdiff_t>(i), runs.begin() + static_cast<std::ptrdiff_t>(end));
      i = end;
    }
  }
}

}  // namespace

bool NeedsShaping(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
    if (c >= 0x0590 && IsComplexCharacter(c)) return true;
  }
  return false;
}

TextLine LayoutText(SizedFont& font, std::u16string_view text) {
  const std::u32string characters = Decode(text);
  if (!NeedsShaping(text) || characters.size() > 0xFFFF) return LayoutPlain(font, characters);
  const auto count = static_cast<FriBidiStrIndex>(characters.size());
  std::vector<FriBidiCharType> types(characters.size());
  std::vector<FriBidiBracketType> brackets(characters.size());
  std::vector<FriBidiLevel> levels(characters.size());
  const auto* unicode = reinterpret_cast<const FriBidiChar*>(characters.data());
  fribidi_get_bidi_types(unicode, count, types.data());
  fribidi_get_bracket_types(unicode, count, types.data(), brackets.data());
  // The paragraph's direction follows its first strong character.
  FriBidiParType direction = FRIBIDI_PAR_ON;
  if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), count, &direction, levels.data()) == 0) {
    return LayoutPlain(font, characters);
  }

  // Runs of one level and one font. Characters that every font has (blanks,
  // digits, punctuation) stay with the run they are in, so words keep
  // joining across them.
  std::vector<LayoutRun> runs;
  for (size_t i = 0; i < characters.size(); ++i) {
    SizedFont* chosen = &font.FontFor(characters[i]);
    const bool neutral = !FRIBIDI_IS_LETTER(types[i]);
    if (!runs.empty() && runs.back().level == levels[i] && (runs.back().font == chosen || neutral)) {
      ++runs.back().length;
      continue;
    }
    runs.push_back(LayoutRun{i, 1, levels[i], chosen});
  }
  ReorderRuns(runs);

  TextLine line;
  line.shaped = true;
  hb_buffer_t* buffer = hb_buffer_create();
  int64_t pen = 0;  // 26.6
  for (const auto& run : runs) {
    hb_buffer_clear_contents(buffer);
    // The whole line is the context, so letters join across run boundaries.
    hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(characters.data()), count,
                        static_cast<unsigned>(run.start), static_cast<int>(run.length));
    hb_buffer_set_direction(buffer, run.level % 2 == 1 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(static_cast<hb_font_t*>(run.font->ShapingFont()), buffer, nullptr, 0);
    unsigned glyphCount = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &glyphCount);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &glyphCount);
    // A right-to-left run comes out already in display order.
    for (unsigned g = 0; g < glyphCount; ++g) {
      const GlyphImage& image = run.font->GlyphAt(infos[g].codepoint);
      const int x = static_cast<int>(std::lround(static_cast<double>(pen + positions[g].x_offset) / 64.0));
      const int y = static_cast<int>(std::lround(positions[g].y_offset / 64.0));
      line.glyphs.push_back(PlacedGlyph{run.font, infos[g].codepoint, &image, x, y});
      pen += positions[g].x_advance;
    }
  }
  hb_buffer_destroy(buffer);
  line.width = static_cast<int>(std::lround(static_cast<double>(pen) / 64.0));
  return line;
}

}  // namespace platform
