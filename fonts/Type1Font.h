#pragma once
// A Type 1 font program (the clear text followed by the eexec-encrypted
// part, as a PDF FontFile or a .pfa/.pfb file), read with a small
// tokenizer and a table of the keywords that matter. It fills the records
// of the CFF class with charstring kind 1 and keeps the decrypted
// CharStrings and Subrs for the shared glyph method. A program outside the
// supported subset is marked unsupported, and the loader substitutes.
#include <cstdint>
#include <span>

#include "fonts/CffFont.h"
#include "fonts/PsTokenizer.h"

namespace fonts {

class Type1Font final : public CffFont {
 public:
  Type1Font(runtime::LibraryContext* context, std::span<const uint8_t> data);

  uint32_t GlyphCount() const override { return glyphs_->Size(); }
  uint32_t IndexCount() const override { return glyphs_->Size(); }
  const char* const* GlyphNames() override;
  const char* const* BuiltinEncoding() override;
  bool IsSupported() const override { return supported_; }
  uint32_t ByteSize() const override { return 652 + arena_.totalBytes; }
  GlyphKeyKind KeyKind() const override { return GlyphKeyKind::kNames; }

  CffBytes CharstringOf(uint32_t glyph) override;
  CffBytes GlobalSubr(uint32_t n) override;
  uint32_t GlobalSubrCount() const override { return 0; }
  CffBytes LocalSubr(const PrivateRecord& record, uint32_t n) override;
  uint32_t LocalSubrCount(const PrivateRecord&) const override { return subrCount_; }
  uint32_t StandardCodeToGlyph(int32_t code) override;

  int32_t LenIV() const { return lenIV_; }

 private:
  struct GlyphEntry {
    const char* name;
    const uint8_t* data;
    uint32_t length;
  };

  // One top-level token; false at the end of the data.
  bool Step(PsTokenizer& tokens);
  void Keyword(PsTokenizer& tokens);
  void ReadCharStrings(PsTokenizer& tokens);
  void ReadEncoding(PsTokenizer& tokens);
  void ReadSubrs(PsTokenizer& tokens);
  // The charstring after a length token, decrypted; (runtime, 2) when the
  // length or the RD name is wrong.
  CffBytes ReadCharstring(PsTokenizer& tokens);
  const char* CopyText(const char* text);
  void ReadBlueArray(PsTokenizer& tokens, Fixed* out, uint32_t& count, uint32_t max);
  static std::span<const uint8_t> JoinPfbSegments(std::span<const uint8_t> data,
                                                  runtime::ArenaAllocator& arena);

  bool standardEncoding_ = false;
  bool done_ = false;
  bool supported_ = true;
  int32_t lenIV_ = 4;
  const char* ownEncoding_[256];
  CffBytes* subrs_ = nullptr;
  uint32_t subrCount_ = 0;
  runtime::ArenaVector<GlyphEntry>* glyphs_ = nullptr;
  size_t dataSize_ = 0;
};

}  // namespace fonts
