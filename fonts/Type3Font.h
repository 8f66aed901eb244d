#pragma once
// Fonts of Subtype "Type3": every glyph is a content stream (a glyph
// procedure of "CharProcs") drawn in glyph space, mapped into text space by
// "FontMatrix", with the font's "Resources".
//
// When every procedure declares its box with "d1" and each runs once
// without error (the trial at load), the glyphs are drawn as coverage and
// kept per size by the font's program (Type3FontProgram), like the glyphs
// of any other font. Otherwise DrawsByProcedure is set and the painter runs
// a glyph's procedure each time it is shown, colours and all.
//
// Glyph numbering: 0 stands for no glyph; glyph n >= 1 is the n-th entry of
// CharProcs in the dictionary's own order.
#include <cstdint>

#include "content/ContentMachine.h"
#include "content/FormCache.h"
#include "fonts/ProgramFont.h"
#include "runtime/ArenaAllocator.h"

namespace pdf {
class Document;
}

namespace fonts {

class Type3Font final : public ProgramFont {
 public:
  // The accounting figure of the font object itself.
  static constexpr uint32_t kOwnSize = 196;
  // The larger side of the trial's scratch device, in pixels: the trial
  // only looks for errors, so a font box of any size is drawn this small.
  static constexpr int32_t kTrialPixels = 32;

  Type3Font(runtime::LibraryContext* context, runtime::ObjectHandle dict);
  ~Type3Font() override;

  // Reads "CharProcs", "FontMatrix", "Encoding" and the widths, measures
  // the glyph boxes and, when every procedure starts with "d1", runs the
  // trial. (runtime, 2) when a required entry is missing or malformed, or
  // when FontMatrix cannot be inverted (nothing of the font could be
  // placed); a cancellation during the trial passes on.
  void LoadFromDict(pdf::Document& document);

  // Reads the "wx wy llx lly urx ury d1" that must open a glyph procedure
  // for its glyph to be drawn as coverage: the box in glyph space,
  // normalised, and the width; false when the procedure does not start so.
  static bool ReadGlyphBox(pdf::Document& document, const runtime::ObjectHandle& procedure, double& wx,
                           double (&box)[4]);

  // ---- FontBase ----
  bool IsType3() const override { return true; }
  uint32_t MemorySize() const override;
  runtime::Rect GetFontBBox() const override { return fontBox_; }
  void GetExtentLine(runtime::FixedPoint* top, runtime::FixedPoint* bottom,
                     const runtime::Matrix& matrix) const override;
  // The glyph's own "d1" box in text space when it has one, else the font
  // box.
  runtime::Rect GlyphBox(uint32_t glyph) override;

  // ---- What the painter and the program read ----
  bool DrawsByProcedure() const { return drawsByProcedure_; }
  uint32_t ProcedureCount() const { return glyphCount_; }
  const runtime::Matrix& FontMatrix() const { return fontMatrix_; }
  // FontMatrix followed by `m`, computed in doubles (FontMatrix entries are
  // often far below the 16.16 resolution) and saturated.
  runtime::Matrix GlyphToSpace(const runtime::Matrix& m) const;
  // The union of the glyph boxes in glyph space; (0, 0, 1/s, 1/s) for a
  // font drawn by procedure, s the FontMatrix scale.
  const runtime::Rect& GlyphSpaceBox() const { return glyphBox_; }
  // Glyph `glyph`'s "d1" box in glyph space; the union box when it has
  // none.
  runtime::Rect ProcedureBox(uint32_t glyph) const;
  // The glyph names the encoding maps codes to: "" for glyph 0, then the
  // CharProcs keys in order.
  const char* const* GlyphNames() const { return names_; }
  // The font's "Resources"; null when it has none.
  const runtime::ObjectHandle* Resources() const { return resources_.IsNull() ? nullptr : &resources_; }
  pdf::Document& Document() const { return *document_; }
  // The parsed program of glyph `glyph`'s procedure, kept by the font's
  // own form cache and held by `out`; null for glyph 0 or an entry that is
  // no stream. `enclosing`: the resources of the scope that shows the
  // glyph, used when the font has none.
  content::ContentMachine* Procedure(content::FormCache::Ref& out, uint32_t glyph,
                                     const runtime::ObjectHandle* enclosing);

  // Marks a glyph of the font as being drawn while it lives. A glyph shown
  // while another glyph of the same font is drawn (a procedure that shows
  // its own font, directly or through another font) would never end: it
  // raises (runtime, 4) instead.
  class Drawing {
   public:
    explicit Drawing(Type3Font& font);
    ~Drawing() { --font_.drawing_; }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

   private:
    Type3Font& font_;
  };

 private:
  void MeasureGlyphs();
  void RunTrial();

  pdf::Document* document_ = nullptr;
  runtime::ObjectHandle charProcs_;
  runtime::ObjectHandle resources_;
  uint32_t glyphCount_ = 0;
  runtime::Matrix fontMatrix_;
  double fontMatrixValues_[6] = {0.001, 0, 0, 0.001, 0, 0};
  bool drawsByProcedure_ = false;
  runtime::Rect glyphBox_{};
  runtime::Rect fontBox_{};
  // Names and per-glyph boxes live in the font's own arena.
  runtime::ArenaAllocator arena_;
  const char** names_ = nullptr;
  runtime::Rect* boxes_ = nullptr;
  content::FormCache procedures_;
  uint32_t drawing_ = 0;
};

}  // namespace fonts
