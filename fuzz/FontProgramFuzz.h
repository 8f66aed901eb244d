#pragma once
// The body of the font-program fuzz targets: parse the bytes, then draw
// every glyph (at most 64) hinted at two sizes and as a coverage record.
// Refusals are (runtime, 2) or unsupported; anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fonts/FontProgramFile.h"
#include "fonts/GlyphBitmapCache.h"
#include "fonts/Type1Font.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace fuzzfonts {

inline void FuzzFontProgram(const uint8_t* data, size_t size, bool type1) {
  static runtime::LibraryContext context;
  context.memory.SetBudget(64u << 20);
  const std::span<const uint8_t> bytes(data, size);
  runtime::ErrorTrap trap(&context);
  fonts::CffFont* font = nullptr;
  if (!trap.Run([&] {
        font = type1 ? runtime::NewObject<fonts::Type1Font>(&context, &context, bytes)
                     : runtime::NewObject<fonts::CffFont>(&context, &context, bytes);
        runtime::ArenaAllocator arena(&context, 16384, 4096);
        for (const int px : {9, 40}) {
          const runtime::Fixed s = px * 65536;
          fonts::GlyphBitmapCache cache(*font, fonts::Matrix{s, 0, 0, -s, 0, 0}, 4, 1,
                                        {-256, -256, 256, 256}, nullptr);
          const uint32_t count = font->GlyphCount() < 64 ? font->GlyphCount() : 64;
          for (uint32_t g = 0; g < count; ++g) {
            runtime::ErrorTrap glyphTrap(&context);
            if (!glyphTrap.Run([&] { cache.RenderGlyph(g, 0, nullptr, arena); })) {
              glyphTrap.SetHandled();
              if (!glyphTrap.Held().IsRuntime(runtime::kMalformed)) std::abort();
              glyphTrap.Close();
            }
            arena.Reset();
          }
        }
        font->GlyphNames();
        font->BuiltinEncoding();
      })) {
    trap.SetHandled();
    const runtime::ErrorRecord& held = trap.Held();
    if (!held.IsRuntime(runtime::kMalformed) && !held.IsRuntime(runtime::kOutOfMemory)) std::abort();
    trap.Close();
  }
  runtime::DestroyAndFree(&context, font);
}

}  // namespace fuzzfonts
