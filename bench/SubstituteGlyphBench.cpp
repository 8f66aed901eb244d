// The 52 letters of the Helvetica and Times-Roman substitutes (the
// multiple-master instances of the built-in standard descriptors) at 16
// pixels per em, as coverage records through RenderGlyph, and the same
// letters of NimbusSans-Regular and NimbusRoman-Regular (fonts-urw-base35)
// through FreeType in the same run.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>

#include "fonts/GlyphBitmapCache.h"
#include "fonts/MultipleMasterFont.h"
#include "fonts/StandardSubstitute.h"
#include "resources/StandardFontTables.h"
#include "runtime/LibraryContext.h"

namespace {

// Standard glyph indices of A-Z and a-z.
void SubstituteLetters(uint32_t (&glyphs)[52]) {
  uint32_t n = 0;
  for (uint32_t g = 0; g < resources::kStandardGlyphCount && n < 52; ++g) {
    const char* name = resources::kStandardGlyphNames[g];
    if (std::strlen(name) == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
      glyphs[n++] = g;
    }
  }
}

// range(0): 4 Helvetica, 8 Times-Roman.
void BM_SubstituteLetters(benchmark::State& state) {
  runtime::LibraryContext context;
  runtime::CountedRef<fonts::FontProgram> program =
      fonts::StandardSubstitute::ForIndex(&context, static_cast<int>(state.range(0)));
  uint32_t letters[52];
  SubstituteLetters(letters);
  const runtime::Fixed s = 16 * 65536;
  fonts::GlyphBitmapCache cache(*program, fonts::Matrix{s, 0, 0, -s, 0, 0}, 1, 1, {}, nullptr);
  runtime::ArenaAllocator arena(&context, 65536, 16384);
  for (auto _ : state) {
    for (uint32_t g : letters) {
      benchmark::DoNotOptimize(cache.RenderGlyph(g, 0, nullptr, arena));
      arena.Reset();
    }
  }
  state.counters["glyphs"] = 52;
}

void BM_FreeTypeLetters(benchmark::State& state) {
  const char* path = state.range(0) == 4 ? "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1"
                                         : "/usr/share/fonts/type1/urw-base35/NimbusRoman-Regular.t1";
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face face;
  if (FT_New_Face(library, path, 0, &face) != 0) {
    state.SkipWithError("font file missing");
    FT_Done_FreeType(library);
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, 16);
  FT_UInt glyphs[52];
  for (int i = 0; i < 52; ++i) {
    const char name[2] = {static_cast<char>(i < 26 ? 'A' + i : 'a' + i - 26), 0};
    glyphs[i] = FT_Get_Name_Index(face, name);
  }
  for (auto _ : state) {
    for (FT_UInt g : glyphs) {
      FT_Load_Glyph(face, g, FT_LOAD_DEFAULT);
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
  state.counters["glyphs"] = 52;
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

}  // namespace

BENCHMARK(BM_SubstituteLetters)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FreeTypeLetters)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);
