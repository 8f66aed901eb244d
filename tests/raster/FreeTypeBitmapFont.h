#pragma once
// A font whose glyphs are FreeType's bitmaps of a font file's printable
// ASCII characters at one pixel size, made once and handed out as cached
// glyph bitmaps (box and bytes), each also kept as plain rows for the
// references to draw. Advances are FreeType's, in text space for size 1.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/FontBase.h"

namespace rastertest {

// Bitmaps from FreeType, handed out as a font's cached glyph bitmaps.
class FreeTypeBitmapFont final : public runtime::FontBase {
 public:
  struct Glyph {
    std::vector<uint64_t> record;
    int left = 0, top = 0, width = 0, rows = 0;
    std::vector<uint8_t> bytes;
    runtime::Fixed advance = 0;
  };
  FreeTypeBitmapFont(const char* file, int pixels) {
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) return;
    if (FT_New_Face(library, file, 0, &face) == 0) {
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
      for (int c = 32; c < 127; ++c) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) continue;
        const FT_Bitmap& b = face->glyph->bitmap;
        Glyph& g = glyphs[c];
        g.left = face->glyph->bitmap_left;
        g.top = face->glyph->bitmap_top;
        g.width = static_cast<int>(b.width);
        g.rows = static_cast<int>(b.rows);
        g.advance = static_cast<runtime::Fixed>((int64_t{face->glyph->advance.x} << 10) / pixels);
        g.record.assign((sizeof(runtime::GlyphBitmapRecord) + static_cast<size_t>(g.width * g.rows) + 7) / 8, 0);
        auto* record = reinterpret_cast<runtime::GlyphBitmapRecord*>(g.record.data());
        *record = runtime::GlyphBitmapRecord{g.left, -g.top, 0, 0, g.width, g.rows};
        for (int y = 0; y < g.rows; ++y) {
          std::memcpy(record->Coverage() + y * g.width, b.buffer + y * b.pitch, static_cast<size_t>(g.width));
          g.bytes.insert(g.bytes.end(), b.buffer + y * b.pitch, b.buffer + y * b.pitch + g.width);
        }
      }
      FT_Done_Face(face);
      loaded = true;
    }
    FT_Done_FreeType(library);
  }
  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override { return 0; }
  const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t*, runtime::GlyphInfo& out) override {
    out = runtime::GlyphInfo{};
    out.glyph = out.code = *cursor & 0x7f;
    out.advance = glyphs[out.glyph].advance;
    out.wordSpace = *cursor == 32;
    return cursor + 1;
  }
  const runtime::GlyphBitmapRecord* GlyphBitmap(uint32_t glyph, const runtime::Matrix&, uint32_t,
                                                const runtime::IntRect&, bool, runtime::ArenaAllocator&) override {
    const Glyph& g = glyphs[glyph & 0x7f];
    return g.record.empty() ? nullptr : reinterpret_cast<const runtime::GlyphBitmapRecord*>(g.record.data());
  }

  Glyph glyphs[128];
  bool loaded = false;
};

}  // namespace rastertest
