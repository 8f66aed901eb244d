#pragma once
// The current font as text extraction sees it: it turns the bytes of a
// shown string into character codes and those into Unicode. The font layer
// implements it; the text handlers call it.
#include <cstdint>

namespace runtime {

// One decoded character: a single code point, or (for a code that maps to
// several) a run of UTF-16 units. A code without Unicode gives neither.
struct DecodedChar {
  uint32_t codePoint = 0;
  const char16_t* unitsBegin = nullptr;
  const char16_t* unitsEnd = nullptr;

  bool HasUnits() const { return unitsBegin != unitsEnd; }
};

// The character a string's codes fall back to when asking about Unicode.
inline constexpr uint32_t kDefaultTestChar = 0x61;

class FontBase;

class FontResource {
 public:
  virtual ~FontResource() = default;

  // Decodes the code at `cursor` (one or more bytes, by the font's encoding
  // or CMap), never reading at or past `end`, and returns where the next
  // code starts (always after `cursor` while bytes remain).
  virtual const uint8_t* NextChar(DecodedChar* out, const uint8_t* cursor,
                                  const uint8_t* end) = 0;
  // True when the font maps the codes of [begin, end) to Unicode.
  virtual bool HasUnicode(const uint8_t* begin, const uint8_t* end,
                          uint32_t defaultChar = kDefaultTestChar) = 0;
  // The same font's glyphs, for painting; null when it has none.
  virtual FontBase* GlyphFont() { return nullptr; }
};

}  // namespace runtime
