#pragma once
// What the glyph benchmarks share: reading a font file and rendering every
// glyph of a program as a coverage record at 16 pixels per em.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fonts/FontProgram.h"
#include "fonts/GlyphBitmapCache.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

namespace benchsupport {

inline std::vector<uint8_t> ReadFontFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Renders glyphs [first, GlyphCount()) of the program `open(context)` gives
// on every iteration; a program the library refuses skips the benchmark.
template <class Open>
void RenderEveryGlyphAt16Px(benchmark::State& state, uint32_t first, Open open) {
  runtime::LibraryContext context;
  runtime::ErrorTrap trap(&context);
  const bool ok = trap.Run([&] {
    fonts::FontProgram* font = open(&context);
    const runtime::Fixed s = 16 * 65536;
    fonts::GlyphBitmapCache cache(*font, fonts::Matrix{s, 0, 0, -s, 0, 0}, 1, 1, {}, nullptr);
    runtime::ArenaAllocator arena(&context, 65536, 16384);
    const uint32_t count = font->GlyphCount();
    for (auto _ : state) {
      for (uint32_t g = first; g < count; ++g) {
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

}  // namespace benchsupport
