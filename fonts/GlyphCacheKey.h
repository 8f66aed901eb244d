#pragma once
// The key of a font program's glyph cache: the 2 x 2 part of the text-to-
// device matrix, four signed words ordered lexicographically.
#include <cstdint>

namespace fonts {

struct GlyphCacheKey {
  int32_t a = 0, b = 0, c = 0, d = 0;

  static bool Less(const GlyphCacheKey& p, const GlyphCacheKey& q) {
    if (p.a != q.a) return p.a < q.a;
    if (p.b != q.b) return p.b < q.b;
    if (p.c != q.c) return p.c < q.c;
    return p.d < q.d;
  }
  friend bool operator<(const GlyphCacheKey& p, const GlyphCacheKey& q) { return Less(p, q); }
  // Three-way, by Less both ways.
  static int Compare(const GlyphCacheKey& p, const GlyphCacheKey& q) {
    return Less(p, q) ? -1 : (Less(q, p) ? 1 : 0);
  }
};

}  // namespace fonts
