// Every glyph of NimbusSans-Regular (.otf and .t1, fonts-urw-base35) at 16
// pixels per em, hinted, as a coverage record through RenderGlyph, and the
// same through FreeType (FT_Load_Glyph + FT_Render_Glyph) in the same run.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/GlyphBenchSupport.h"
#include "fonts/FontProgramFile.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace {

const char* FontPath(int64_t which) {
  return which == 0 ? "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf"
                    : "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1";
}

void BM_RenderGlyph(benchmark::State& state) {
  const std::vector<uint8_t> bytes = benchsupport::ReadFontFile(FontPath(state.range(0)));
  if (bytes.empty()) {
    state.SkipWithError("font file missing");
    return;
  }
  benchsupport::RenderEveryGlyphAt16Px(state, 0, [&](runtime::LibraryContext* context) {
    return fonts::OpenFontProgram(context, bytes);
  });
}

void BM_FreeTypeRender(benchmark::State& state) {
  const std::vector<uint8_t> bytes = benchsupport::ReadFontFile(FontPath(state.range(0)));
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face face;
  if (bytes.empty() || FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0) {
    state.SkipWithError("font file missing");
    FT_Done_FreeType(library);
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, 16);
  for (auto _ : state) {
    for (FT_Long g = 0; g < face->num_glyphs; ++g) {
      FT_Load_Glyph(face, static_cast<FT_UInt>(g), FT_LOAD_DEFAULT);
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
  state.counters["glyphs"] = static_cast<double>(face->num_glyphs);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

}  // namespace

BENCHMARK(BM_RenderGlyph)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreeTypeRender)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
