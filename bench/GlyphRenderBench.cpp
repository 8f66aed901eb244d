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

#include "fonts/FontProgramFile.h"
#include "fonts/GlyphBitmapCache.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace {

std::vector<uint8_t> ReadGlyphBenchFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const char* FontPath(int64_t which) {
  return which == 0 ? "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf"
                    : "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1";
}

void BM_RenderGlyph(benchmark::State& state) {
  const std::vector<uint8_t> bytes = ReadGlyphBenchFile(FontPath(state.range(0)));
  if (bytes.empty()) {
    state.SkipWithError("font file missing");
    return;
  }
  runtime::LibraryContext context;
  runtime::ErrorTrap trap(&context);
  const bool ok = trap.Run([&] {
    fonts::CffFont* font = fonts::OpenFontProgram(&context, bytes);
    const runtime::Fixed s = 16 * 65536;
    fonts::GlyphBitmapCache cache(*font, fonts::Matrix{s, 0, 0, -s, 0, 0}, 1, 1, {}, nullptr);
    runtime::ArenaAllocator arena(&context, 65536, 16384);
    const uint32_t count = font->IndexCount();
    for (auto _ : state) {
      for (uint32_t g = 0; g < count; ++g) {
        const fonts::CoverageRecord* record = cache.RenderGlyph(g, 0, nullptr, arena);
        benchmark::DoNotOptimize(record);
        arena.Reset();
      }
    }
    state.counters["glyphs"] = count;
    runtime::DestroyAndFree(&context, font);
  });
  if (!ok) {
    trap.SetHandled();
    trap.Close();
    state.SkipWithError("font refused");
  }
}

void BM_FreeTypeRender(benchmark::State& state) {
  const std::vector<uint8_t> bytes = ReadGlyphBenchFile(FontPath(state.range(0)));
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
