#include "fonts/GlyphBitmapCache.h"

#include <algorithm>
#include <cstring>

#include "fonts/GlyphOutline.h"
#include "fonts/GlyphCoverageRaster.h"

namespace fonts {

namespace {

constexpr runtime::IntRect kUnboundedGlyphClip{-0x4000000, -0x4000000, 0x4000000, 0x4000000};

// Device bounds of the placed points (curve control points included, so
// the box holds the curves).
bool PlacedBounds(const runtime::ArenaVector<FixedPoint>& points, const Matrix& m,
                  runtime::IntRect& out) {
  int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
  for (const FixedPoint& p : points) {
    if (GlyphOutline::KindOf(p) == PointKind::kClose) continue;
    const int64_t x = p.x & ~1, y = p.y & ~1;
    const int64_t dx = ((x * m.a + y * m.c) >> 16) + m.e;
    const int64_t dy = ((x * m.b + y * m.d) >> 16) + m.f;
    x0 = std::min(x0, dx);
    y0 = std::min(y0, dy);
    x1 = std::max(x1, dx);
    y1 = std::max(y1, dy);
  }
  if (x0 > x1) return false;
  auto clampPixel = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -0x4000000, 0x4000000)); };
  out = {clampPixel(x0 >> 16), clampPixel(y0 >> 16), clampPixel((x1 + 0xFFFF) >> 16) + 1,
         clampPixel((y1 + 0xFFFF) >> 16) + 1};
  return true;
}

}  // namespace

GlyphBitmapCache::GlyphBitmapCache(FontProgram& font, const Matrix& matrix, int xSteps, int ySteps,
                                   const runtime::IntRect& defaultClip,
                                   runtime::ArenaAllocator* ownArena)
    : font_(font),
      matrix_(matrix),
      xSteps_(std::max(xSteps, 1)),
      ySteps_(std::max(ySteps, 1)),
      defaultClip_(defaultClip),
      ownArena_(ownArena),
      scratch_(font.Context(), 16384, 4096) {
  glyphMatrix_ = font.GlyphSpaceMatrix(matrix);
}

CoverageRecord* GlyphBitmapCache::Rasterise(runtime::LibraryContext* context,
                                            const runtime::ArenaVector<FixedPoint>& points,
                                            const Matrix& placement, const runtime::IntRect& clip,
                                            runtime::ArenaAllocator& scratch,
                                            runtime::ArenaAllocator& recordArena) {
  runtime::IntRect box{};
  const bool any = PlacedBounds(points, placement, box);
  if (any) {
    box = {std::max(box.x0, clip.x0), std::max(box.y0, clip.y0), std::min(box.x1, clip.x1),
           std::min(box.y1, clip.y1)};
  }
  if (!any || box.IsEmpty()) {
    CoverageRecord* empty = static_cast<CoverageRecord*>(recordArena.Alloc(sizeof(CoverageRecord)));
    *empty = CoverageRecord{};
    return empty;
  }
  const uint64_t bytes = uint64_t(box.x1 - box.x0) * uint64_t(box.y1 - box.y0);
  if (bytes > kMaxRecordBytes) return nullptr;
  CoverageRecord* record = static_cast<CoverageRecord*>(
      recordArena.Alloc(sizeof(CoverageRecord) + ((bytes + 7) & ~uint64_t{7})));
  *record = CoverageRecord{};
  record->x0 = box.x0;
  record->y0 = box.y0;
  record->x1 = box.x1;
  record->y1 = box.y1;
  GlyphCoverageRaster::Fill(context, points, placement, box, record->Coverage(), scratch);
  return record;
}

CoverageRecord* GlyphBitmapCache::RenderGlyph(uint32_t glyph, uint32_t phase,
                                              const runtime::IntRect* clip,
                                              runtime::ArenaAllocator& transient) {
  // Sub-pixel phase: a fraction of a pixel added to the origin.
  const Fixed xOffset = runtime::FixedDiv(runtime::FixedFromInt(static_cast<int32_t>(phase & 0xFF)),
                                          runtime::FixedFromInt(xSteps_));
  const Fixed yOffset = runtime::FixedDiv(
      runtime::FixedFromInt(static_cast<int32_t>((phase >> 8) & 0xFF)), runtime::FixedFromInt(ySteps_));
  if (font_.DrawsCoverage()) {
    Matrix placed = glyphMatrix_;
    placed.e = xOffset;
    placed.f = yOffset;
    const runtime::IntRect bounds = clip != nullptr ? *clip : defaultClip_;
    return font_.RenderCoverage(glyph, placed, bounds.IsEmpty() ? kUnboundedGlyphClip : bounds,
                                ownArena_ != nullptr ? *ownArena_ : transient);
  }
  scratch_.Reset();
  runtime::ArenaAllocator& scratch = scratch_;
  runtime::ArenaVector<FixedPoint> points(scratch, 64);
  Matrix orientation;
  font_.Glyph(glyph, glyphMatrix_, points, scratch, orientation);
  Matrix placement = orientation;
  placement.e = xOffset;
  placement.f = yOffset;
  runtime::ArenaAllocator& recordArena = ownArena_ != nullptr ? *ownArena_ : transient;
  const runtime::IntRect bounds = clip != nullptr ? *clip : defaultClip_;
  return Rasterise(font_.Context(), points, placement, bounds.IsEmpty() ? kUnboundedGlyphClip : bounds, scratch,
                   recordArena);
}

}  // namespace fonts
