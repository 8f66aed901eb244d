#include "fonts/Type3FontProgram.h"

#include <algorithm>
#include <cstring>

#include "fonts/CoverageRecord.h"
#include "fonts/GlyphBitmapCache.h"
#include "fonts/GlyphProcedurePainter.h"
#include "fonts/Type3Font.h"
#include "runtime/FreshThreadCall.h"

namespace fonts {

Type3FontProgram::Type3FontProgram(runtime::LibraryContext* context, Type3Font& font)
    : FontProgram(context), font_(font), box_(font.GetFontBBox()) {}

void Type3FontProgram::Glyph(uint32_t, const Matrix&, runtime::ArenaVector<FixedPoint>&, runtime::ArenaAllocator&,
                             Matrix& orientation) {
  orientation = Matrix{};
}

Matrix Type3FontProgram::GlyphSpaceMatrix(const Matrix& textToDevice) const {
  return font_.GlyphToSpace(textToDevice);
}

uint32_t Type3FontProgram::GlyphCount() const { return font_.ProcedureCount() + 1; }

Matrix Type3FontProgram::FontMatrix() const { return font_.FontMatrix(); }

const char* const* Type3FontProgram::GlyphNames() { return font_.GlyphNames(); }

// The kept coverage is charged by the glyph cache's own entries.
uint32_t Type3FontProgram::ByteSize() const { return kOwnSize; }

CoverageRecord* Type3FontProgram::RenderCoverage(uint32_t glyph, const Matrix& placement,
                                                 const runtime::IntRect& clip, runtime::ArenaAllocator& records) {
  runtime::IntRect box{0, 0, 0, 0};
  const runtime::Rect glyphBox = font_.ProcedureBox(glyph);
  if (glyph != 0 && glyph <= font_.ProcedureCount() && Matrix::CanTransformRect(placement, glyphBox)) {
    const runtime::IntRect pixels = runtime::Rect::ToPixelBounds(Matrix::TransformRectBounds(glyphBox, placement));
    // A pixel of room: anti-aliased edges on the box reach into it.
    box = {std::max(pixels.x0 - 1, clip.x0), std::max(pixels.y0 - 1, clip.y0), std::min(pixels.x1 + 1, clip.x1),
           std::min(pixels.y1 + 1, clip.y1)};
  }
  if (box.IsEmpty()) {
    auto* empty = static_cast<CoverageRecord*>(records.Alloc(sizeof(CoverageRecord)));
    *empty = CoverageRecord{};
    return empty;
  }
  const uint64_t bytes = uint64_t(box.x1 - box.x0) * uint64_t(box.y1 - box.y0);
  if (bytes > GlyphBitmapCache::kMaxRecordBytes) return nullptr;
  auto* record = static_cast<CoverageRecord*>(records.Alloc(sizeof(CoverageRecord) + ((bytes + 7) & ~uint64_t{7})));
  *record = CoverageRecord{};
  record->x0 = box.x0;
  record->y0 = box.y0;
  record->x1 = box.x1;
  record->y1 = box.y1;
  std::memset(record->Coverage(), 0, static_cast<size_t>(bytes));
  GlyphProcedurePainter* painter = GlyphProcedurePainter::Installed();
  if (painter == nullptr) return record;
  Type3Font::Drawing drawing(font_);
  auto paint = [&] { painter->PaintCoverage(font_, glyph, placement, box, record->Coverage()); };
  // A glyph inside a glyph inside a form can run out of stack: it is
  // drawn on a fresh one then.
  runtime::RunWithStack(context_, paint);
  return record;
}

}  // namespace fonts
