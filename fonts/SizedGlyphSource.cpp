#include "fonts/SizedGlyphSource.h"

#include <algorithm>
#include <cstdint>

#include "fonts/FontProgram.h"
#include "fonts/GlyphCacheKey.h"
#include "runtime/Timer.h"

namespace fonts {

namespace {

// Oversampling steps per axis for the sub-pixel phases of a matrix.
int SizedSourceSteps(const FontProgram& font, const Matrix& m, bool xAxis) {
  const OversamplingFactors f = GlyphPhaseSteps(font, m);
  return xAxis ? f.x : f.y;
}

}  // namespace

SizedGlyphSource::SizedGlyphSource(FontProgram& font, const Matrix& matrix)
    : arena_(font.Context(), 2048, 512),
      font_(font),
      matrix_(matrix),
      bitmaps_(font, matrix, SizedSourceSteps(font, matrix, true), SizedSourceSteps(font, matrix, false), {},
               nullptr) {
  const Matrix m{matrix.a, matrix.b, matrix.c, matrix.d, 0, 0};
  if (Matrix::CanTransformRect(m, font.FontBBox())) {
    deviceBox_ = Matrix::TransformRectBounds(font.FontBBox(), m);
    const int64_t w = int64_t{deviceBox_.x1} - deviceBox_.x0;
    const int64_t h = int64_t{deviceBox_.y1} - deviceBox_.y0;
    smallSize_ = w >= 0 && h >= 0 && std::max(w, h) < kSmallSize;
  }
}

CoverageRecord* SizedGlyphSource::RenderGlyphMask(uint32_t glyph, uint32_t phase, const runtime::IntRect* clip,
                                                  runtime::ArenaAllocator& transient) {
  if (!smallSize_ || clip != nullptr) return bitmaps_.RenderGlyph(glyph, phase, clip, transient);
  KeptRecord*& bucket = buckets_[(glyph * 31 + phase) % kBuckets];
  for (KeptRecord* kept = bucket; kept != nullptr; kept = kept->next) {
    if (kept->glyph == glyph && kept->phase == phase) return kept->record;
  }
  runtime::Timer timer;
  runtime::Timer::StartOnce(timer);
  const uint32_t bytesBefore = arena_.totalBytes;
  CoverageRecord* record = bitmaps_.RenderGlyph(glyph, phase, nullptr, arena_);
  if (record == nullptr) return nullptr;
  KeptRecord* kept = static_cast<KeptRecord*>(arena_.Alloc(sizeof(KeptRecord)));
  *kept = {glyph, phase, record, bucket};
  bucket = kept;
  const uint32_t grown = arena_.totalBytes > bytesBefore ? arena_.totalBytes - bytesBefore : 0;
  const GlyphCacheKey key{matrix_.a, matrix_.b, matrix_.c, matrix_.d};
  font_.Glyphs().Cache().UpdateEntryCost(&key, static_cast<uint64_t>(timer.ElapsedTicks()), grown);
  return record;
}

uint32_t SizedGlyphSource::ByteSize() const { return 184 + 16384 + arena_.totalBytes; }

}  // namespace fonts
