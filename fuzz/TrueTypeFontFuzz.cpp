// libFuzzer entry: a TrueType program from arbitrary bytes. The tables,
// names and code tables are read, then up to 64 glyphs are built hinted
// at two sizes (running "fpgm", "prep" and the glyph programs), unhinted,
// and under a rotating transform. Refusals are (runtime, 2) or no memory;
// anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fonts/GlyphBitmapCache.h"
#include "fonts/TrueTypeFont.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace {

void ExpectRefusal(runtime::ErrorTrap& trap) {
  trap.SetHandled();
  const runtime::ErrorRecord& held = trap.Held();
  if (!held.IsRuntime(runtime::kMalformed) && !held.IsRuntime(runtime::kOutOfMemory)) std::abort();
  trap.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static runtime::LibraryContext context;
  context.memory.SetBudget(64u << 20);
  const std::span<const uint8_t> bytes(data, size);
  fonts::TrueTypeFont* font = nullptr;
  runtime::ErrorTrap trap(&context);
  if (!trap.Run([&] {
        font = runtime::NewObject<fonts::TrueTypeFont>(&context, &context, bytes);
        runtime::ErrorTrap tablesTrap(&context);
        if (!tablesTrap.Run([&] {
              font->GlyphNames();
              uint16_t table[256];
              font->CodeToGlyphTable(fonts::TtEncodingHint::kWinAnsi, false, table);
              font->CodeToGlyphTable(fonts::TtEncodingHint::kMacRoman, true, table);
            })) {
          ExpectRefusal(tablesTrap);
        }
        runtime::ArenaAllocator arena(&context, 16384, 4096);
        const fonts::Matrix matrices[] = {{9 << 16, 0, 0, -(9 << 16), 0, 0},
                                          {150 << 16, 0, 0, 150 << 16, 0, 0},
                                          {20 << 16, 7 << 16, -(7 << 16), 20 << 16, 0, 0}};
        for (int pass = 0; pass < 4; ++pass) {
          font->SetHinting(pass != 3);
          fonts::GlyphBitmapCache cache(*font, matrices[pass % 3], 4, 1, {-256, -256, 256, 256}, nullptr);
          const uint32_t count = font->GlyphCount() < 64 ? font->GlyphCount() : 64;
          for (uint32_t g = 0; g < count; ++g) {
            runtime::ErrorTrap glyphTrap(&context);
            if (!glyphTrap.Run([&] { cache.RenderGlyph(g, 0, nullptr, arena); })) ExpectRefusal(glyphTrap);
            arena.Reset();
          }
        }
      })) {
    ExpectRefusal(trap);
  }
  runtime::DestroyAndFree(&context, font);
  return 0;
}
