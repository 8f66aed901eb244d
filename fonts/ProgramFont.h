#pragma once
// A font whose glyphs come from a glyph source (an embedded or built-in
// font program). It keeps the font dictionary, the code-mapping object and
// a counted reference to the program.
#include <cstdint>

#include "fonts/CodeGlyphTable.h"
#include "fonts/FontProgram.h"
#include "fonts/SizedGlyphSource.h"
#include "runtime/CountedRef.h"
#include "runtime/FontBase.h"
#include "runtime/ObjectHandle.h"

namespace fonts {

class ProgramFont : public runtime::FontBase {
 public:
  // The byte size of the font object itself, an accounting figure.
  static constexpr uint32_t kOwnSize = 104;

  ProgramFont(runtime::LibraryContext* context, runtime::ObjectHandle dict);
  ~ProgramFont() override;

  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override;
  runtime::Rect GetFontBBox() const override;
  void GetExtentLine(runtime::FixedPoint* top, runtime::FixedPoint* bottom,
                     const runtime::Matrix& matrix) const override;
  const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t* end,
                           runtime::GlyphInfo& out) override;
  // Glyph shapes for painting, from the program: the font box stands for
  // every glyph's box; bitmaps come from the program's glyph cache.
  runtime::Rect GlyphBox(uint32_t glyph) override;
  bool GlyphOutline(uint32_t glyph, const runtime::Matrix& matrix,
                    runtime::ArenaVector<runtime::FixedPoint>& out) override;
  const runtime::GlyphBitmapRecord* GlyphBitmap(uint32_t glyph, const runtime::Matrix& glyphMatrix, uint32_t phase,
                                                const runtime::IntRect& clip, bool cached,
                                                runtime::ArenaAllocator& arena) override;

  runtime::CountedRef<FontProgram>& Program() { return program_; }
  FontProgram* ProgramOrNull() const { return program_.Get(); }
  const runtime::ObjectHandle& Dict() const { return dict_; }
  runtime::LibraryContext* Context() const { return context_; }
  // The code-mapping object; the font owns it.
  FontEncoding* Encoding() const { return encoding_; }
  void SetEncoding(FontEncoding* encoding);
  // The table of a simple font, or null.
  CodeGlyphTable* Table() const { return table_; }
  // Installs a fresh, zeroed code table as the encoding and returns it.
  CodeGlyphTable& InstallCodeTable();

  // Set for an external CID font program shared through a resource cache:
  // it is not counted in this font's size.
  bool programIsShared = false;

 protected:
  runtime::LibraryContext* context_;
  runtime::ObjectHandle dict_;
  runtime::CountedRef<FontProgram> program_;
  FontEncoding* encoding_ = nullptr;
  CodeGlyphTable* table_ = nullptr;

 private:
  // The sized source of the last matrix bitmaps were asked for, held (one
  // count) so that its kept records stay while a paint reads them.
  SizedGlyphSource* sized_ = nullptr;
  runtime::Matrix sizedMatrix_;
  void DropSizedSource();
};

}  // namespace fonts
