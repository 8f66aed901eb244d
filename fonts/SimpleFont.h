#pragma once
// Fonts of the dictionary Subtypes "Type1", "MMType1" and "TrueType": one
// byte per code, a glyph and an advance per code from the font's code
// table, the glyphs from an embedded program or a substitute.
#include "fonts/ProgramFont.h"

namespace pdf {
class Document;
}

namespace fonts {

class SimpleFont final : public ProgramFont {
 public:
  using ProgramFont::ProgramFont;

  // Reads the dictionary: descriptor flags, the BaseFont's standard index,
  // the program (embedded, built-in or the multiple-master substitute),
  // the encoding and the widths. Malformed required entries raise
  // (runtime, 2); a font nothing can draw is left unusable.
  void LoadFromDict(pdf::Document& document);

  // The standard-font index of the BaseFont (kNotStandard for others).
  int StandardIndex() const { return standardIndex_; }
  // What draws the glyphs, for the probe and the tests.
  enum class Source : int { kNone, kEmbedded, kBuiltin, kMultipleMaster };
  Source DrawnBy() const { return source_; }

 private:
  int standardIndex_ = 14;
  Source source_ = Source::kNone;
};

}  // namespace fonts
