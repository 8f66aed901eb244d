#include "platform/FontEngine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/WideText.h"

#ifdef FOLVANE_SANITIZE
// fontconfig keeps a few internal allocations it never frees; they are not
// ours to fix and would fail every leak check that draws text.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace platform {
namespace {

std::mutex g_lock;

// The language fontconfig should cover for a character set, so that a CJK
// face name or charset finds a CJK font.
const char* LanguageOf(BYTE charset) {
  switch (charset) {
    case SHIFTJIS_CHARSET: return "ja";
    case HANGUL_CHARSET: return "ko";
    case GB2312_CHARSET: return "zh-cn";
    case CHINESEBIG5_CHARSET: return "zh-tw";
    default: return nullptr;
  }
}

const char* GenericFamily(BYTE pitchAndFamily) {
  switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN: return "serif";
    case FF_MODERN: return "monospace";
    default: return "sans-serif";
  }
}

// Runs a fontconfig match; gives the file and face index.
bool Match(FcPattern* pattern, std::string& file, int& index, bool& bold) {
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match == nullptr) return false;
  FcChar8* path = nullptr;
  int faceIndex = 0;
  int weight = FC_WEIGHT_REGULAR;
  const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr;
  if (found) file = reinterpret_cast<const char*>(path);
  FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex);
  FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
  index = faceIndex;
  bold = weight >= FC_WEIGHT_DEMIBOLD;
  FcPatternDestroy(match);
  return found;
}

int Ceil26(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

// Renders one glyph of a face, emboldened when the font asks for it.
GlyphImage RenderFaceGlyph(FT_Face face, FT_UInt index, bool embolden, int emSize) {
  GlyphImage image;
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) return image;
  if (embolden && face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Outline_Embolden(&face->glyph->outline, std::max<FT_Pos>(32, emSize * 2));
  }
  if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    image.left = face->glyph->bitmap_left;
    image.top = face->glyph->bitmap_top;
    image.width = static_cast<int>(bitmap.width);
    image.height = static_cast<int>(bitmap.rows);
    image.coverage.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    for (int row = 0; row < image.height && bitmap.buffer != nullptr; ++row) {
      const unsigned char* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
      std::copy_n(source, image.width, image.coverage.begin() + static_cast<ptrdiff_t>(row) * image.width);
    }
  }
  image.advance = static_cast<int>(std::lround(face->glyph->advance.x / 64.0));
  return image;
}

}  // namespace

SizedFont::~SizedFont() {
  if (shapingFont_ != nullptr) hb_font_destroy(static_cast<hb_font_t*>(shapingFont_));
  if (face_ != nullptr) FT_Done_Face(static_cast<FT_Face>(face_));
}

bool SizedFont::HasGlyph(char32_t character) const {
  return FT_Get_Char_Index(static_cast<FT_Face>(face_), character) != 0;
}

const GlyphImage& SizedFont::Glyph(char32_t character) {
  std::lock_guard guard(g_lock);
  if (const auto it = glyphs_.find(character); it != glyphs_.end()) return it->second;
  auto face = static_cast<FT_Face>(face_);
  FT_UInt index = FT_Get_Char_Index(face, character);
  std::shared_ptr<SizedFont> fallback;
  if (index == 0 && character >= 0x20) {
    g_lock.unlock();
    fallback = FontEngine::Get().Fallback(character, emSize_, bold_);
    g_lock.lock();
    if (fallback != nullptr && fallback.get() != this && fallback->HasGlyph(character)) {
      face = static_cast<FT_Face>(fallback->face_);
      index = FT_Get_Char_Index(face, character);
    }
  }
  return glyphs_.emplace(character, RenderFaceGlyph(face, index, emboldenGlyphs_, emSize_)).first->second;
}

const GlyphImage& SizedFont::GlyphAt(uint32_t index) {
  std::lock_guard guard(g_lock);
  if (const auto it = indexedGlyphs_.find(index); it != indexedGlyphs_.end()) return it->second;
  return indexedGlyphs_
      .emplace(index, RenderFaceGlyph(static_cast<FT_Face>(face_), index, emboldenGlyphs_, emSize_))
      .first->second;
}

SizedFont& SizedFont::FontFor(char32_t character) {
  if (HasGlyph(character) || character < 0x20) return *this;
  // The engine keeps every font it made, so the reference stays valid.
  const std::shared_ptr<SizedFont> fallback = FontEngine::Get().Fallback(character, emSize_, bold_);
  return fallback != nullptr && fallback->HasGlyph(character) ? *fallback : *this;
}

void* SizedFont::ShapingFont() {
  std::lock_guard guard(g_lock);
  if (shapingFont_ == nullptr) {
    hb_font_t* font = hb_ft_font_create_referenced(static_cast<FT_Face>(face_));
    hb_ft_font_set_load_flags(font, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL);
    shapingFont_ = font;
  }
  return shapingFont_;
}

FontEngine& FontEngine::Get() {
  static FontEngine* engine = new FontEngine();  // lives to the end of the process
  return *engine;
}

FontEngine::FontEngine() {
  FcInit();
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) library_ = library;
}

std::shared_ptr<SizedFont> FontEngine::Load(const std::string& file, int index, int emSize, int cellHeight,
                                            bool bold, bool emboldenGlyphs) {
  const std::string key = file + "#" + std::to_string(index) + "@" + std::to_string(emSize) + "/" +
                          std::to_string(cellHeight) + (emboldenGlyphs ? "b" : "");
  std::lock_guard guard(g_lock);
  if (const auto it = cache_.find(key); it != cache_.end()) return it->second;
  if (library_ == nullptr) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(static_cast<FT_Library>(library_), file.c_str(), index, &face) != 0) return nullptr;
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  std::shared_ptr<SizedFont> font(new SizedFont());
  font->face_ = face;
  font->file_ = file;
  int size = emSize;
  if (cellHeight > 0 && FT_IS_SCALABLE(face) && face->ascender - face->descender > 0) {
    // A cell height covers ascent and descent; the em is smaller.
    size = std::max(1, static_cast<int>(std::lround(static_cast<double>(cellHeight) * face->units_per_EM /
                                                    (face->ascender - face->descender))));
  }
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::clamp(size, 1, 2000))) != 0 && face->num_fixed_sizes > 0) {
    FT_Select_Size(face, 0);
  }
  const FT_Size_Metrics& metrics = face->size->metrics;
  font->emSize_ = size;
  font->ascent_ = Ceil26(metrics.ascender);
  font->descent_ = Ceil26(-metrics.descender);
  font->maxWidth_ = Ceil26(metrics.max_advance);
  font->bold_ = bold || emboldenGlyphs;
  font->emboldenGlyphs_ = emboldenGlyphs;
  if (FT_Load_Char(face, 'x', FT_LOAD_DEFAULT) == 0) {
    font->averageWidth_ = static_cast<int>(std::lround(face->glyph->advance.x / 64.0));
  }
  if (font->averageWidth_ <= 0) font->averageWidth_ = std::max(1, size / 2);
  cache_.emplace(key, font);
  return font;
}

std::shared_ptr<SizedFont> FontEngine::Open(const LOGFONTW& font, int dpi) {
  FcPattern* pattern = FcPatternCreate();
  const std::string face = Utf8FromWide(std::u16string_view(font.lfFaceName, WideLength(font.lfFaceName) < LF_FACESIZE
                                                                                 ? WideLength(font.lfFaceName)
                                                                                 : LF_FACESIZE));
  if (!face.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(GenericFamily(font.lfPitchAndFamily)));
  const bool wantBold = font.lfWeight >= 600;
  FcPatternAddInteger(pattern, FC_WEIGHT, wantBold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, font.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (const char* language = LanguageOf(font.lfCharSet); language != nullptr) {
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
  }
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  std::string file;
  int index = 0;
  bool bold = false;
  const bool found = Match(pattern, file, index, bold);
  FcPatternDestroy(pattern);
  if (!found) return nullptr;
  const int defaultSize = std::max(1, 13 * dpi / 96);
  const int height = std::clamp<LONG>(font.lfHeight, -2000, 2000);
  const int emSize = height < 0 ? -height : (height == 0 ? defaultSize : 0);
  return Load(file, index, emSize, height > 0 ? height : 0, bold, wantBold && !bold);
}

std::shared_ptr<SizedFont> FontEngine::Fallback(char32_t character, int emSize, bool bold) {
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* characters = FcCharSetCreate();
  FcCharSetAddChar(characters, character);
  FcPatternAddCharSet(pattern, FC_CHARSET, characters);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  std::string file;
  int index = 0;
  bool isBold = false;
  const bool found = Match(pattern, file, index, isBold);
  FcCharSetDestroy(characters);
  FcPatternDestroy(pattern);
  if (!found) return nullptr;
  return Load(file, index, emSize, 0, isBold || bold, false);
}

}  // namespace platform
