#pragma once
// A font for glyph-run tests: codes of one byte (or two, big-endian),
// glyph = code, every glyph `width` wide with the box (0, 0)-(width,
// height) in text space, a rectangle outline over that box, and 8-bit
// bitmaps of the box's device size filled with one byte per glyph.
// Bitmaps are made once per glyph and kept, as a glyph cache would.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "runtime/FontBase.h"

namespace rastertest {

class StubFont : public runtime::FontBase {
 public:
  using Fixed = runtime::Fixed;

  explicit StubFont(Fixed width = 0x8000, Fixed height = 0xB333, int codeBytes = 1)
      : width_(width), height_(height), codeBytes_(codeBytes) {
    for (int i = 0; i < 65536; ++i) fill_[i] = 0xff;
  }

  bool DrawsAsGraphics() const override { return false; }
  uint32_t MemorySize() const override { return 64; }
  bool WritesVertically() const override { return vertical; }
  bool DrawsNothing() const override { return drawsNothing; }

  const uint8_t* NextGlyph(const uint8_t* cursor, const uint8_t* end, runtime::GlyphInfo& out) override {
    out = runtime::GlyphInfo{};
    uint32_t code = *cursor++;
    if (codeBytes_ == 2 && cursor < end) code = (code << 8) | *cursor++;
    out.glyph = out.code = code;
    out.codeLength = static_cast<uint32_t>(codeBytes_);
    out.advance = vertical ? -runtime::kFixedOne : width_;
    out.verticalOriginX = -width_ / 2;
    out.verticalOriginY = 0xE666;
    out.wordSpace = code == 32;
    return cursor;
  }
  runtime::Rect GlyphBox(uint32_t) override { return {0, 0, width_, height_}; }
  bool GlyphOutline(uint32_t, const runtime::Matrix& m, runtime::ArenaVector<runtime::FixedPoint>& out) override {
    const runtime::FixedPoint corners[4] = {{0, 0}, {width_, 0}, {width_, height_}, {0, height_}};
    for (int i = 0; i < 4; ++i) {
      runtime::Fixed x = corners[i].x, y = corners[i].y;
      runtime::Matrix::TransformPointInPlace(m, x, y);
      out.PushBack({(x & ~1) | (i == 0 ? 0 : 1), y & ~1});
    }
    out.PushBack({out[out.Size() - 1].x | 1, out[out.Size() - 1].y | 1});
    ++outlinesBuilt;
    return true;
  }
  const runtime::GlyphBitmapRecord* GlyphBitmap(uint32_t glyph, const runtime::Matrix& m, uint32_t,
                                                const runtime::IntRect&, bool cached,
                                                runtime::ArenaAllocator&) override {
    if (noBitmaps) return nullptr;
    ++bitmapRequests;
    if (!cached) ++uncachedRequests;
    auto found = cache_.find(glyph);
    if (found != cache_.end()) return Record(found->second);
    // The box's device size under the matrix (axis-aligned matrices only);
    // beyond 256 pixels there is no bitmap, as a real cache caps its records.
    const double w0 = runtime::FixedToDouble(width_), h0 = runtime::FixedToDouble(height_);
    const double dw = std::fabs(w0 * runtime::FixedToDouble(m.a) + h0 * runtime::FixedToDouble(m.c));
    const double dh = std::fabs(w0 * runtime::FixedToDouble(m.b) + h0 * runtime::FixedToDouble(m.d));
    if (dw > 256 || dh > 256) return nullptr;
    const int w = std::max(1, static_cast<int>(std::lround(dw)));
    const int h = std::max(1, static_cast<int>(std::lround(dh)));
    std::vector<uint8_t>& bytes = cache_[glyph];
    bytes.resize(sizeof(runtime::GlyphBitmapRecord) + static_cast<size_t>(w * h));
    runtime::GlyphBitmapRecord record;
    record.x0 = 0;
    record.x1 = w;
    // Device y grows downwards when d is negative: the glyph sits above
    // its baseline pixel.
    record.y0 = m.d < 0 ? -h : 0;
    record.y1 = m.d < 0 ? 0 : h;
    std::memcpy(bytes.data(), &record, sizeof(record));
    std::memset(bytes.data() + sizeof(record), fill_[glyph & 0xffff], static_cast<size_t>(w * h));
    return Record(bytes);
  }

  // The coverage byte of glyph `code`'s bitmap.
  void SetFill(uint32_t code, uint8_t value) { fill_[code & 0xffff] = value; }

  bool vertical = false;
  bool drawsNothing = false;
  bool noBitmaps = false;
  int outlinesBuilt = 0;
  int bitmapRequests = 0;
  int uncachedRequests = 0;

 private:
  static const runtime::GlyphBitmapRecord* Record(const std::vector<uint8_t>& bytes) {
    return reinterpret_cast<const runtime::GlyphBitmapRecord*>(bytes.data());
  }

  Fixed width_, height_;
  int codeBytes_;
  uint8_t fill_[65536];
  std::map<uint32_t, std::vector<uint8_t>> cache_;
};

}  // namespace rastertest
