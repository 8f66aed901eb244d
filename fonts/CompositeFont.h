#pragma once
// Fonts of the dictionary Subtype "Type0": multi-byte codes decoded through
// the two-byte identity, a predefined CMap or an embedded one into CIDs,
// drawn with the descendant CIDFont's embedded program (CID-keyed or plain
// CFF, TrueType through its CIDToGIDMap), with the descendant's widths and
// vertical metrics.
#include <cstdint>

#include "fonts/CharacterCollection.h"
#include "fonts/CidCodeDecoder.h"
#include "fonts/CodeGlyphTable.h"
#include "fonts/DeviceFont.h"
#include "fonts/ProgramFont.h"
#include "fonts/ResourceFiles.h"

namespace pdf {
class Document;
}

namespace fonts {

// The code-mapping object of a composite font: the show-string decoder and
// the descendant's character collection.
class CidEncoding final : public FontEncoding {
 public:
  explicit CidEncoding(CidCodeDecoderRef decoder) : decoder_(std::move(decoder)) {}
  bool IsVertical() const override { return decoder_->GetWMode() == 1; }
  uint32_t ByteSize() const override { return decoder_->Size(); }
  CidCodeDecoder& Decoder() const { return *decoder_; }

  // The descendant's CIDSystemInfo strings (cut to 63 bytes).
  char registry[64] = {};
  char ordering[64] = {};

 private:
  CidCodeDecoderRef decoder_;
};

class CompositeFont final : public ProgramFont {
 public:
  using ProgramFont::ProgramFont;
  ~CompositeFont() override;

  // Reads the font and its descendant: the embedded program, the character
  // collection, the encoding, the metrics and the CIDToGIDMap. Missing or
  // mistyped required entries raise (runtime, 2); an unknown CMap name or
  // a font without a program is left unusable. Without an embedded
  // program: an external CID font file of the descendant's name, a device
  // font of the collection, or the collection's standard external file
  // (files through `external`; none when it is null).
  void LoadFromDict(pdf::Document& document, ExternalCidFonts* external = nullptr);

  bool WritesVertically() const override { return encoding_ != nullptr && encoding_->IsVertical(); }
  // Device fonts' glyphs are UTF-16 units (their collection's Unicode of
  // the CID).
  const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t* end, runtime::GlyphInfo& out) override;
  bool DrawnByDevice() const override { return deviceFont_; }
  // Device fonts only: the glyph drawn by the device, made in `arena`
  // whatever `cached` asks (the device keeps no glyph cache). Null for
  // fonts drawn from their outlines.
  const runtime::GlyphBitmapRecord* GlyphBitmap(uint32_t glyph, const runtime::Matrix& glyphMatrix, uint32_t phase,
                                                const runtime::IntRect& clip, bool cached,
                                                runtime::ArenaAllocator& arena) override;

  Collection CharacterCollectionOf() const { return collection_; }
  int32_t Supplement() const { return supplement_; }
  bool UsesIdentityEncoding() const { return identity_; }
  // The descendant's Subtype is "CIDFontType2".
  bool IsTrueTypeDescendant() const { return trueTypeDescendant_; }
  bool UsesDeviceFont() const { return deviceFont_; }
  // The standard external CJK font files of a collection and face, in the
  // order they are looked for (null: none).
  static const char* StandardExternalFont(Collection collection, bool sans, bool alternative);
  // The decoder, or null for a font left without an encoding.
  CidCodeDecoder* Decoder() const;

 private:
  // Installs the device font of the collection with its UCS2 map (the
  // font is left unusable when the collection has none).
  void UseDeviceFont(std::string_view registry, std::string_view ordering, bool sans, bool vertical);

  Collection collection_ = Collection::kNone;
  int32_t supplement_ = 0;
  bool identity_ = false;
  bool trueTypeDescendant_ = false;
  // The program numbers its glyphs by CID through its charset.
  bool cidKeyedProgram_ = false;
  bool deviceFont_ = false;
  // Device fonts: the collection's CID-to-Unicode map, and the rasterizer
  // of the last glyph matrix.
  CMapRef unicode_;
  DeviceGlyphRasterizer* rasterizer_ = nullptr;
  runtime::Matrix rasterizerMatrix_{};
};

}  // namespace fonts
