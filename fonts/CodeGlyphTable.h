#pragma once
// The code-mapping object of a font: for simple and Type 3 fonts the
// 256-entry table of glyph indices and advance widths; CID encodings of
// Type 0 fonts derive from the same base.
#include <cstdint>

#include "runtime/Fixed.h"

namespace fonts {

class FontEncoding {
 public:
  virtual ~FontEncoding() = default;
  // Vertical writing mode.
  virtual bool IsVertical() const { return false; }
  virtual uint32_t ByteSize() const = 0;
};

class CodeGlyphTable final : public FontEncoding {
 public:
  static constexpr uint32_t kSize = 2052;
  uint32_t ByteSize() const override { return kSize; }

  // Per code 0-255: an index into the glyph source's glyph list, and the
  // advance in text-space units.
  uint32_t glyphs[256] = {};
  runtime::Fixed widths[256] = {};
};

}  // namespace fonts
