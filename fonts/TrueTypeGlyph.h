#pragma once
// Reads one TrueType glyph from "glyf" into the glyph zone: simple glyphs
// and composite trees (bounded in depth and elements), metrics and
// phantom points, scaling to 26.6, hinting by the glyph programs and the
// placement of components.
#include <cstdint>

#include "fonts/GlyphZone.h"
#include "runtime/ArenaAllocator.h"

namespace fonts {

class TrueTypeFont;

// Scaler error codes (returned, not thrown).
enum TtGlyphError : uint32_t {
  kTtBadGlyphBox = 0x1400,
  kTtBadContourEnds = 0x1401,
  kTtBadContourCount = 0x1403,
  kTtBadContourNumber = 0x1407,
  kTtCompositeTooDeep = 0x140B,
};

class TrueTypeGlyph {
 public:
  // Deepest composite nesting and most elements in one glyph tree,
  // whatever "maxp" claims.
  static constexpr int kMaxDepth = 16;
  static constexpr uint32_t kMaxElements = 4096;

  // Builds `glyph` into `zone` (grown in `work` as needed), scaled for the
  // font's current instance and hinted when `hinting` is set. 0 or a
  // scaler or interpreter error code; malformed data throws (runtime, 2).
  static uint32_t Build(TrueTypeFont& font, uint32_t glyph, bool hinting, GlyphZone& zone,
                        runtime::ArenaAllocator& work);
};

}  // namespace fonts
