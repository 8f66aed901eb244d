#pragma once
// Glyph names to Unicode: the published glyph list, searched in place, and
// the "uniXXXX" and "uXXXX" names that spell their value; a suffix after a
// period (a variant of the character) does not count.
#include <cstdint>
#include <string_view>

namespace fonts {

// The Unicode value of a glyph name; 0 for a name the list does not know.
uint16_t GlyphNameUnicode(std::string_view name);

}  // namespace fonts
