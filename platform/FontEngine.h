#pragma once
// Device fonts: a logical font is matched to an installed font through
// fontconfig and its glyphs are rendered, anti-aliased, with FreeType.
// Characters the chosen font lacks come from another installed font that
// has them.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Gdi.h"

namespace platform {

struct GlyphImage {
  int left = 0;  // from the pen position to the first column
  int top = 0;   // from the baseline up to the first row
  int width = 0;
  int height = 0;
  int advance = 0;
  std::vector<uint8_t> coverage;  // width x height, 255 = solid
};

class SizedFont {
 public:
  ~SizedFont();
  SizedFont(const SizedFont&) = delete;
  SizedFont& operator=(const SizedFont&) = delete;

  int ascent() const { return ascent_; }
  int descent() const { return descent_; }
  int emSize() const { return emSize_; }
  int averageWidth() const { return averageWidth_; }
  int maxWidth() const { return maxWidth_; }
  bool bold() const { return bold_; }
  const std::string& file() const { return file_; }
  // The glyph of a character (from a fallback font when this one lacks it).
  const GlyphImage& Glyph(char32_t character);
  // A glyph of this font by its index (shaped text).
  const GlyphImage& GlyphAt(uint32_t index);
  // This font when it has the character, else a fallback font that has it
  // (this one when none does).
  SizedFont& FontFor(char32_t character);
  bool HasGlyph(char32_t character) const;
  // The font as the text shaper sees it (a HarfBuzz font over this face).
  void* ShapingFont();

 private:
  friend class FontEngine;
  SizedFont() = default;

  void* face_ = nullptr;  // FT_Face
  void* shapingFont_ = nullptr;  // hb_font_t
  std::string file_;
  int emSize_ = 0;
  int ascent_ = 0;
  int descent_ = 0;
  int averageWidth_ = 0;
  int maxWidth_ = 0;
  bool bold_ = false;
  bool emboldenGlyphs_ = false;
  std::map<char32_t, GlyphImage> glyphs_;
  std::map<uint32_t, GlyphImage> indexedGlyphs_;
};

class FontEngine {
 public:
  static FontEngine& Get();
  // The font for a logical font on a screen of the given density; null when
  // no font at all is installed.
  std::shared_ptr<SizedFont> Open(const LOGFONTW& font, int dpi);
  // A font that has the character, at the given em size.
  std::shared_ptr<SizedFont> Fallback(char32_t character, int emSize, bool bold);

 private:
  FontEngine();
  std::shared_ptr<SizedFont> Load(const std::string& file, int index, int emSize, int cellHeight, bool bold,
                                  bool emboldenGlyphs);

  void* library_ = nullptr;  // FT_Library
  std::map<std::string, std::shared_ptr<SizedFont>> cache_;
};

}  // namespace platform
