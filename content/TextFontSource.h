#pragma once
// Where the text handlers get the Unicode side of a font: the page's cache
// of font resources, which the font layer fills. Without a source (or for
// a font it does not know) the handlers read codes through the font's
// glyph decoding and report no Unicode.
#include "runtime/FontBase.h"
#include "runtime/FontResource.h"

namespace content {

class TextFontSource {
 public:
  virtual ~TextFontSource() = default;
  // The resource of `font`, valid while the source lives; null when the
  // font has none.
  virtual runtime::FontResource* ResourceFor(runtime::FontBase& font) = 0;
};

// A resource over a font's glyph decoding alone: codes but no Unicode.
class GlyphCodeResource final : public runtime::FontResource {
 public:
  explicit GlyphCodeResource(runtime::FontBase& font) : font_(font) {}
  const uint8_t* NextChar(runtime::DecodedChar* out, const uint8_t* cursor, const uint8_t* end) override {
    runtime::GlyphInfo info;
    const uint8_t* next = font_.NextGlyph(cursor, end, info);
    *out = runtime::DecodedChar{};
    return next > cursor ? next : cursor + 1;
  }
  bool HasUnicode(const uint8_t*, const uint8_t*, uint32_t) override { return false; }
  runtime::FontBase* GlyphFont() override { return &font_; }

 private:
  runtime::FontBase& font_;
};

}  // namespace content
