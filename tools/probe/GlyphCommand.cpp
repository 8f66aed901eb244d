#include "tools/probe/GlyphCommand.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fonts/FontProgramFile.h"
#include "fonts/SniffFontProgram.h"
#include "fonts/TrueTypeFont.h"
#include "fonts/GlyphBitmapCache.h"
#include "fonts/GlyphOutline.h"
#include "platform/Screen.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace probe {

namespace {

const char* GlyphPointKindName(fonts::PointKind kind) {
  switch (kind) {
    case fonts::PointKind::kMove: return "move";
    case fonts::PointKind::kLine: return "line";
    case fonts::PointKind::kCurve: return "curve";
    case fonts::PointKind::kClose: return "close";
  }
  return "?";
}

}  // namespace

int GlyphCommand(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: probe glyph FONTFILE NAME|INDEX [--px N] [--unhinted] [--png OUT]\n");
    return 2;
  }
  int px = 16;
  bool hinted = true;
  const char* png = nullptr;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--px") == 0 && i + 1 < argc) {
      px = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--unhinted") == 0) {
      hinted = false;
    } else if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
      png = argv[++i];
    } else {
      std::fprintf(stderr, "unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (px < 1 || px > 2000) {
    std::fprintf(stderr, "--px must be 1..2000\n");
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot open %s\n", argv[2]);
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  runtime::LibraryContext context;
  int status = 0;
  runtime::ErrorTrap trap(&context);
  const bool ok = trap.Run([&] {
    fonts::FontProgram* font = fonts::OpenSniffedFontProgram(&context, bytes);
    struct Release {
      runtime::LibraryContext* context;
      fonts::FontProgram* font;
      ~Release() { runtime::DestroyAndFree(context, font); }
    } release{&context, font};
    auto* cff = dynamic_cast<fonts::CffFont*>(font);
    auto* trueType = dynamic_cast<fonts::TrueTypeFont*>(font);
    if (cff != nullptr) cff->SetHinting(hinted);
    if (trueType != nullptr) trueType->SetHinting(hinted);
    const uint32_t glyphCount = cff != nullptr ? cff->IndexCount() : font->GlyphCount();
    const char* const* names = font->GlyphNames();
    char* end = nullptr;
    long index = std::strtol(argv[3], &end, 10);
    if (end == argv[3] || *end != '\0') {
      index = -1;
      if (cff != nullptr) {
        index = cff->FindGlyph(argv[3]);
      } else if (names != nullptr) {
        for (uint32_t g = 0; g < glyphCount && index < 0; ++g) {
          if (std::strcmp(names[g], argv[3]) == 0) index = g;
        }
      }
    }
    if (index < 0 || static_cast<uint32_t>(index) >= glyphCount) {
      std::fprintf(stderr, "no glyph %s\n", argv[3]);
      status = 1;
      return;
    }
    const char* kind = trueType != nullptr ? "TrueType" : (cff->CharstringKind() == 1 ? "Type 1" : "CFF");
    std::printf("font: %s, %u glyphs, glyph %ld%s%s\n", kind, glyphCount, index, names != nullptr ? " " : "",
                names != nullptr ? names[index] : "");
    const runtime::Fixed scale = px * 65536;
    fonts::GlyphBitmapCache cache(*font, fonts::Matrix{scale, 0, 0, -scale, 0, 0}, 1, 1, {}, nullptr);
    runtime::ArenaAllocator arena(&context, 16384, 4096);
    runtime::ArenaVector<fonts::FixedPoint> points(arena, 64);
    fonts::Matrix orientation;
    if (cff != nullptr) {
      cff->GlyphByIndex(static_cast<uint32_t>(index), cache.GlyphMatrix(), points, arena, orientation);
    } else {
      // TrueType points come at the hinting size: print them in pixels.
      font->Glyph(static_cast<uint32_t>(index), cache.GlyphMatrix(), points, arena, orientation);
    }
    const double back = trueType != nullptr ? orientation.a / 65536.0 : 1.0;
    for (const fonts::FixedPoint& p : points) {
      const fonts::PointKind kind = fonts::GlyphOutline::KindOf(p);
      if (kind == fonts::PointKind::kClose) {
        std::printf("  close\n");
      } else {
        std::printf("  %-5s %.4f %.4f\n", GlyphPointKindName(kind), (p.x & ~1) / 65536.0 * back,
                    (p.y & ~1) / 65536.0 * back);
      }
    }
    const fonts::CoverageRecord* record = cache.RenderGlyph(static_cast<uint32_t>(index), 0, nullptr, arena);
    if (record == nullptr) {
      std::printf("coverage: too large\n");
      return;
    }
    std::printf("coverage box: %d %d %d %d\n", record->x0, record->y0, record->x1, record->y1);
    static const char kShades[] = " .:-=+*#%@";
    if (record->Width() <= 120) {
      for (int32_t y = record->y0; y < record->y1; ++y) {
        std::string row;
        for (int32_t x = record->x0; x < record->x1; ++x) row += kShades[record->At(x, y) * 9 / 255];
        std::printf("  |%s|\n", row.c_str());
      }
    }
    if (png != nullptr && record->Width() > 0) {
      std::vector<uint8_t> rgb;
      for (int32_t y = record->y0; y < record->y1; ++y) {
        for (int32_t x = record->x0; x < record->x1; ++x) {
          const uint8_t v = static_cast<uint8_t>(255 - record->At(x, y));
          rgb.insert(rgb.end(), {v, v, v});
        }
      }
      if (!platform::WritePng(png, record->Width(), record->Height(), rgb)) status = 1;
    }
  });
  if (!ok) {
    trap.SetHandled();
    std::fprintf(stderr, "error: %s %u\n", trap.Held().domain, trap.Held().code);
    trap.Close();
    return 1;
  }
  return status;
}

}  // namespace probe
