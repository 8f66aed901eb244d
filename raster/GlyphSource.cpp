#include "raster/GlyphSource.h"

#include <cstdlib>

#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/GlyphMaskSource.h"
#include "raster/PaintObject.h"

namespace raster {

bool GlyphSource::WithinSizeLimit(const Matrix& glyphMatrix, int32_t sizeLimit) {
  if (sizeLimit <= 0) return false;
  const int64_t limit = int64_t{sizeLimit} << 16;
  const int64_t b = std::llabs(glyphMatrix.b), c = std::llabs(glyphMatrix.c);
  if (b >= limit || c >= limit) return false;
  // In 16.16 products, computed in 64 bits so large skews cannot wrap.
  return ((b * b) >> 16) + ((c * c) >> 16) < ((limit * limit) >> 16);
}

std::span<const FixedPoint> GlyphSource::Outlines(runtime::ArenaAllocator& arena, runtime::FontBase& font,
                                                  const Matrix& glyphMatrix, std::span<const GlyphRecord> records) {
  auto* points = runtime::NewInArena<runtime::ArenaVector<FixedPoint>>(arena, arena, 64);
  for (const GlyphRecord& record : records) {
    Matrix placed = glyphMatrix;
    placed.e = record.origin.x;
    placed.f = record.origin.y;
    font.GlyphOutline(record.glyph, placed, *points);
  }
  return {points->begin(), points->Size()};
}

PipelineNode* GlyphSource::Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                  const IntRect& area, GlyphDrawing drawing, runtime::FontBase& font,
                                  const Matrix& glyphMatrix, std::span<const GlyphRecord> records, int32_t sizeLimit,
                                  bool useOutline, const GlyphRun* run) {
  if (drawing == GlyphDrawing::kBoxes && run != nullptr) {
    // Half coverage under a box per segment of the run.
    StoredPath boxes(arena, 16);
    run->AddSegmentBoxes(boxes, kBoxFactor);
    const PixelTriple scratch =
        PixelTriple::CreateCoverageScratch(context, arena, area);
    return PipelineStage::CreateForPath(context, arena, scratch, area, boxes.Points(), Matrix{}, false,
                                        ShapeSource::FromFixed(arena, runtime::kFixedHalf));
  }
  if (!useOutline) {
    // Bitmaps from the cache for glyphs of ordinary size and skew, made for
    // this paint otherwise.
    const bool cached = WithinSizeLimit(glyphMatrix, sizeLimit);
    auto* mask = runtime::NewInArena<GlyphMaskSource>(arena, context, arena, area, font, glyphMatrix, records, cached);
    if (mask->MissingCount() == 0) return mask;
  }
  // Outlines, non-zero, for fonts (or glyphs) without bitmaps.
  return PaintObject::Create(context, arena, area, Outlines(arena, font, glyphMatrix, records), Matrix{}, false);
}

}  // namespace raster
