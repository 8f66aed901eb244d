#include "fonts/GlyphCache.h"

#include "fonts/FontProgram.h"
#include "fonts/SizedGlyphSource.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

GlyphCache::GlyphCache(runtime::LibraryContext* context, runtime::CostCache::CostFunction cost)
    : sources_(context, cost) {}

GlyphCache::~GlyphCache() { sources_.Cache().Destroy(); }

GlyphCache::Ref GlyphCache::Get(FontProgram& font, const runtime::Matrix& matrix) {
  const GlyphCacheKey key{matrix.a, matrix.b, matrix.c, matrix.d};
  runtime::LibraryContext* context = font.Context();
  return sources_.Get(key, [&] {
    SizedGlyphSource* source = runtime::NewObject<SizedGlyphSource>(context, font, matrix);
    return Sources::Built{Ref::Adopt(context, source), source->ByteSize()};
  });
}

}  // namespace fonts
