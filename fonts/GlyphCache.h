#pragma once
// The sized glyph sources of one font program, by the 2 x 2 part of their
// text-to-device matrix, in a cost cache: a source is kept while the page
// shows text at that size and evicted by the context's purge, cheapest to
// rebuild first, when no one else holds it.
#include <cstdint>

#include "fonts/GlyphCacheKey.h"
#include "runtime/CostCache.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectCache.h"

namespace fonts {

class FontProgram;
class SizedGlyphSource;

struct GlyphCacheKeyOrder {
  static int Compare(const GlyphCacheKey& p, const GlyphCacheKey& q) { return GlyphCacheKey::Compare(p, q); }
};

class GlyphCache {
 public:
  using Sources = runtime::ObjectCache<SizedGlyphSource, GlyphCacheKey, runtime::MemberCount<SizedGlyphSource>,
                                       GlyphCacheKeyOrder>;
  using Ref = Sources::Ref;

  // `cost`: the score of an entry, or null for the cache's default.
  GlyphCache(runtime::LibraryContext* context, runtime::CostCache::CostFunction cost = nullptr);
  ~GlyphCache();
  GlyphCache(const GlyphCache&) = delete;
  GlyphCache& operator=(const GlyphCache&) = delete;

  // The source of `font` for `matrix` (text space to device), made on a
  // miss. (runtime, 0) without memory.
  Ref Get(FontProgram& font, const runtime::Matrix& matrix);
  uint32_t Count() const { return sources_.Cache().Count(); }
  runtime::CostCache& Cache() { return sources_.Cache(); }

 private:
  Sources sources_;
};

}  // namespace fonts
