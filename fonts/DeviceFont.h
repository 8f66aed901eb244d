#pragma once
// Device fonts for CJK text that is neither embedded nor available as a
// font file: the platform's fonts of the collection's character set, asked
// for through GDI font requests. A DeviceGlyphRasterizer made for one
// glyph matrix draws single characters into a DIB and hands their coverage
// on as glyph bitmaps.
//
//   fonts::DeviceFont* font = fonts::DeviceFont::Create(context, Collection::kJapan1, true, false);
//   fonts::DeviceGlyphRasterizer glyphs(*font, glyphMatrix);
//   const runtime::GlyphBitmapRecord* record = glyphs.DrawGlyph(u'\u3042', arena);
#include <cstdint>

#include "fonts/CharacterCollection.h"
#include "fonts/FontProgram.h"
#include "platform/Gdi.h"
#include "runtime/FontBase.h"

namespace fonts {

class DeviceFontFace {
 public:
  // The lfCharSet of a collection (1, the default set, for none).
  static uint8_t CharSetOf(Collection collection);
  // The request of a collection's face: height -1 (set per size), its
  // character set and face name; vertical requests turn the text a
  // quarter (escapement 2700) and name the "@" face.
  static platform::LOGFONTW Build(Collection collection, bool sans, bool vertical);
  // Whether the device has a font of the collection's character set.
  static bool Choose(platform::HDC dc, Collection collection, bool sans);
};

// The glyph source of a device font: its glyphs are UTF-16 units, drawn
// by DeviceGlyphRasterizer; it has no outlines.
class DeviceFont final : public FontProgram {
 public:
  static DeviceFont* Create(runtime::LibraryContext* context, Collection collection, bool sans, bool vertical);
  DeviceFont(runtime::LibraryContext* context, Collection collection, bool sans, bool vertical);

  // Whether a unit has a vertical form in the collection's fonts (only
  // such units are drawn with the vertical font in vertical writing).
  static bool UsesVerticalForm(Collection collection, uint16_t unit);

  void Glyph(uint32_t, const Matrix&, runtime::ArenaVector<FixedPoint>&, runtime::ArenaAllocator&,
             Matrix& orientation) override {
    orientation = Matrix{};
  }
  runtime::Rect FontBBox() const override;
  uint32_t GlyphCount() const override { return 0x10000; }
  Matrix FontMatrix() const override { return Matrix{}; }
  GlyphKeyKind KeyKind() const override { return GlyphKeyKind::kCids; }
  const char* const* GlyphNames() override { return nullptr; }
  const char* const* BuiltinEncoding() override { return nullptr; }
  bool IsUsable() const override { return true; }
  uint32_t ByteSize() const override { return sizeof(DeviceFont); }

  Collection CollectionOf() const { return collection_; }
  bool Vertical() const { return vertical_; }
  // Whether the request asked for a sans-serif face.
  bool Sans() const { return sans_; }
  const platform::LOGFONTW& HorizontalRequest() const { return horizontal_; }
  const platform::LOGFONTW& VerticalRequest() const { return verticalRequest_; }

 private:
  Collection collection_;
  bool sans_;
  bool vertical_;
  platform::LOGFONTW horizontal_{};
  platform::LOGFONTW verticalRequest_{};
};

class DeviceGlyphRasterizer {
 public:
  // The largest font size asked of the device; larger text is drawn at
  // this size and scaled through the glyph transform, so that one glyph's
  // DIB stays small.
  static constexpr uint32_t kMaxPixelSize = 256;

  // Set up for `matrix` (text space for a font size of 1 to device
  // pixels): the pixel size, whether a transform is needed, the fonts.
  DeviceGlyphRasterizer(const DeviceFont& font, const Matrix& matrix);
  ~DeviceGlyphRasterizer();
  DeviceGlyphRasterizer(const DeviceGlyphRasterizer&) = delete;
  DeviceGlyphRasterizer& operator=(const DeviceGlyphRasterizer&) = delete;

  // The largest of |a|, |b|, |c|, |d| in whole pixels (rounded), at least 1.
  static uint32_t PixelSizeOf(const Matrix& matrix);

  uint32_t PixelSize() const { return pixelSize_; }
  bool NeedsTransform() const { return needsTransform_; }
  // Device pixels of the drawn glyph (y down, pixel size em) to the
  // device: the matrix scaled by 1 / pixel size, y turned down.
  const Matrix& Transform() const { return transform_; }

  // The coverage of one UTF-16 unit, drawn white on a transparent
  // background and made in `arena`: the box relative to the glyph origin
  // (y down). An empty record when the device cannot draw it.
  // Only the part inside `clip` (relative to the glyph origin) is kept
  // when one is given.
  const runtime::GlyphBitmapRecord* DrawGlyph(uint16_t unit, runtime::ArenaAllocator& arena,
                                              const runtime::IntRect* clip = nullptr);

 private:
  // The drawn glyph (its box, the DIB's pixels) mapped through the
  // transform.
  const runtime::GlyphBitmapRecord* Resample(const runtime::GlyphBitmapRecord& box, const uint8_t* pixels,
                                             size_t stride, runtime::ArenaAllocator& arena,
                                             const runtime::IntRect* clip) const;

  const DeviceFont& font_;
  uint32_t pixelSize_ = 1;
  bool needsTransform_ = false;
  Matrix transform_{};
  platform::HFONT horizontal_ = nullptr;
  platform::HFONT vertical_ = nullptr;
  platform::HDC dc_ = nullptr;
};

}  // namespace fonts
