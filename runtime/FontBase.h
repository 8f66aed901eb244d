#pragma once
// What the layers below the fonts need of a font object. Fonts are counted
// library objects kept in the document's caches; the font layer derives
// every font kind from this base and implements its queries.
//
// The text-showing queries have defaults that describe a font with no
// glyphs (every code one byte, no advance, no outline, no bitmap), so a
// font kind that cannot show text yet still decodes its strings safely.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"

namespace runtime {

// One decoded character code of a shown string.
struct GlyphInfo {
  uint32_t glyph = 0;
  uint32_t code = 0;
  uint32_t codeLength = 1;  // bytes the code took
  // The advance in text space for a font size of 1 (a width of 500/1000
  // glyph units is 0.5): along x for horizontal writing, along y (usually
  // negative) for vertical writing.
  Fixed advance = 0;
  // Vertical writing: the glyph's origin relative to the current point, in
  // the same units: minus the position vector, usually (-w0 / 2, -vy) with
  // vy near the font's ascent.
  Fixed verticalOriginX = 0;
  Fixed verticalOriginY = 0;
  // The font counts the character as a word space (for text extraction;
  // painting applies word spacing to the single-byte code 32 alone).
  bool wordSpace = false;
};

// A glyph's coverage as a font's glyph-bitmap cache keeps it: the offset of
// the box's reference point from the glyph origin's whole pixel, the box
// relative to it (device pixels), then one byte per pixel, row by row from
// y0, x1 - x0 bytes a row.
struct GlyphBitmapRecord {
  int32_t originX = 0, originY = 0;
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

  int32_t Width() const { return x1 - x0; }
  int32_t Height() const { return y1 - y0; }
  const uint8_t* Coverage() const { return reinterpret_cast<const uint8_t*>(this + 1); }
  uint8_t* Coverage() { return reinterpret_cast<uint8_t*>(this + 1); }
};

class FontBase {
 public:
  virtual ~FontBase() = default;

  // True when the font's text is laid out as fixed graphics rather than as
  // characters (reflow keeps such strings as they are).
  virtual bool DrawsAsGraphics() const = 0;
  // Bytes the font holds, charged to its cache entry.
  virtual uint32_t MemorySize() const = 0;

  // ---- Text showing ----
  // True when nothing the font shows can mark the page.
  virtual bool DrawsNothing() const { return false; }
  // True for fonts the device draws itself: their glyphs are not added to
  // the pending text clip by the painter's bounds test.
  virtual bool DrawnByDevice() const { return false; }
  // True when the painter should remember where shown text ends.
  virtual bool TracksTextEnd() const { return false; }
  virtual bool WritesVertically() const { return false; }
  // Decodes the code at `cursor`, never reading at or past `end`, and
  // returns where the next code starts (always after `cursor` while bytes
  // remain).
  virtual const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t* end, GlyphInfo& out) {
    out = GlyphInfo{};
    out.glyph = out.code = *cursor;
    (void)end;
    return cursor + 1;
  }
  // The glyph's box in text space for a font size of 1; empty when unknown.
  virtual Rect GlyphBox(uint32_t /*glyph*/) { return {}; }
  // Appends the glyph's outline, mapped by `matrix` (text space for a font
  // size of 1 to the caller's space), as points whose two low bits carry
  // the kind (0 move, 1 line, 2 curve point, 3 close); false when the
  // glyph has none.
  virtual bool GlyphOutline(uint32_t /*glyph*/, const Matrix& /*matrix*/, ArenaVector<FixedPoint>& /*out*/) {
    return false;
  }
  // The glyph's coverage under `glyphMatrix` (text space for a font size
  // of 1 to device pixels, translation ignored) at the sub-pixel `phase`
  // (x in bits 0-7, y in bits 8-15, in 1/256 pixel), cut to `clip` given
  // relative to the glyph origin's whole pixel. With `cached` the record
  // comes from and stays in the font's glyph-bitmap cache; otherwise it is
  // made in `arena` for one paint. Null when the font has no bitmap for it
  // (the caller paints the outline).
  virtual const GlyphBitmapRecord* GlyphBitmap(uint32_t /*glyph*/, const Matrix& /*glyphMatrix*/,
                                               uint32_t /*phase*/, const IntRect& /*clip*/, bool /*cached*/,
                                               ArenaAllocator& /*arena*/) {
    return nullptr;
  }

  // ---- The font object of a font dictionary ----
  virtual bool IsType3() const { return false; }
  // The font box in text space.
  virtual Rect GetFontBBox() const { return Rect{0, 0, 0, 0}; }
  // Two points spanning the glyph cell across the writing direction,
  // mapped by `matrix`: (0, ascent) and (0, descent) for horizontal text.
  virtual void GetExtentLine(FixedPoint* top, FixedPoint* bottom, const Matrix& matrix) const;

  // 0 when no glyph of the font can be drawn (no usable program and no
  // substitute).
  uint8_t isUsable = 1;
  // An embedded program existed but could not be used.
  uint8_t programRejected = 0;
  // The descriptor's flags lack the Nonsymbolic bit.
  uint8_t isSymbolic = 0;
  // Set together with programRejected; the composite loader reads it.
  uint8_t programRejectedCopy = 0;
  Fixed ascent = 0xD999;                           // 0.85
  Fixed descent = static_cast<Fixed>(0xFFFFB334);  // -0.3

  // Holders count fonts through CountedRef.
  uint32_t refCount = 1;
};

// A counted reference to a font inside records that are copied as values
// (the graphics state, whose copies live in an arena). It holds a count
// like CountedRef but registers no cleanup node: its owner releases it
// explicitly (Reset) or through its destructor, so a copy that is dropped
// with its arena must be Reset first.
class FontHold {
 public:
  FontHold() = default;
  // Shares `font` (counted up).
  FontHold(LibraryContext* context, FontBase* font) : context_(context), font_(font) {
    if (font_ != nullptr) ++font_->refCount;
  }
  FontHold(const FontHold& other) : FontHold(other.context_, other.font_) {}
  FontHold& operator=(const FontHold& other) {
    // Up before down: assigning a hold of the same font never frees it.
    if (other.font_ != nullptr) ++other.font_->refCount;
    FontBase* old = font_;
    LibraryContext* oldContext = context_;
    font_ = other.font_;
    context_ = other.context_;
    Drop(oldContext, old);
    return *this;
  }
  ~FontHold() { Reset(); }

  void Reset() {
    FontBase* old = font_;
    font_ = nullptr;
    Drop(context_, old);
  }
  FontBase* Get() const { return font_; }
  FontBase* operator->() const { return font_; }

 private:
  static void Drop(LibraryContext* context, FontBase* font);

  LibraryContext* context_ = nullptr;
  FontBase* font_ = nullptr;
};

}  // namespace runtime
