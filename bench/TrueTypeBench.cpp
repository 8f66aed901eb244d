// Every glyph of DejaVuSans.ttf (fonts-dejavu-core) loaded, hinted and
// rendered as a coverage record at 16 pixels per em, and the same through
// FreeType with its classic (version 35) interpreter, in the same run.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/GlyphBenchSupport.h"
#include "fonts/TrueTypeFont.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace {

constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

void BM_TrueTypeRender(benchmark::State& state) {
  const std::vector<uint8_t> bytes = benchsupport::ReadFontFile(kDejaVuSans);
  if (bytes.empty()) {
    state.SkipWithError("DejaVuSans.ttf missing");
    return;
  }
  const bool hinted = state.range(0) != 0;
  benchsupport::RenderEveryGlyphAt16Px(state, 1, [&](runtime::LibraryContext* context) {
    auto* font = runtime::NewObject<fonts::TrueTypeFont>(context, context, std::span<const uint8_t>(bytes));
    font->SetHinting(hinted);
    return font;
  });
}

void BM_FreeTypeTrueTypeRender(benchmark::State& state) {
  const std::vector<uint8_t> bytes = benchsupport::ReadFontFile(kDejaVuSans);
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_UInt version = TT_INTERPRETER_VERSION_35;
  FT_Property_Set(library, "truetype", "interpreter-version", &version);
  FT_Face face;
  if (bytes.empty() || FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0) {
    state.SkipWithError("DejaVuSans.ttf missing");
    FT_Done_FreeType(library);
    return;
  }
  const FT_Int32 flags = state.range(0) != 0 ? FT_LOAD_DEFAULT : FT_LOAD_NO_HINTING;
  FT_Set_Pixel_Sizes(face, 0, 16);
  for (auto _ : state) {
    for (FT_Long g = 1; g < face->num_glyphs; ++g) {
      FT_Load_Glyph(face, static_cast<FT_UInt>(g), flags);
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
  state.counters["glyphs"] = static_cast<double>(face->num_glyphs);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

// Argument: 1 hinted, 0 unhinted.
BENCHMARK(BM_TrueTypeRender)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreeTypeTrueTypeRender)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
