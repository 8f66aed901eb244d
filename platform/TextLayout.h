#pragma once
// One line of UI text laid out for drawing: characters become glyphs in
// their shaped forms (Arabic letters join) and in display order (right-to-
// left scripts read from the right, numbers and Latin words inside them
// keep their own order). Text without such scripts is laid out character
// by character.
#include <string_view>
#include <vector>

#include "platform/FontEngine.h"

namespace platform {

struct PlacedGlyph {
  SizedFont* font = nullptr;  // the font the glyph comes from
  uint32_t index = 0;         // its glyph index, when shaped
  const GlyphImage* image = nullptr;
  int x = 0;  // pen position from the start of the line
  int y = 0;  // offset above the baseline
};

struct TextLine {
  std::vector<PlacedGlyph> glyphs;  // left to right as shown
  int width = 0;
  bool shaped = false;
};

// True when the text holds characters that need shaping or reordering.
bool NeedsShaping(std::u16string_view text);
TextLine LayoutText(SizedFont& font, std::u16string_view text);

}  // namespace platform
