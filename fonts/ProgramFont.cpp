#include "fonts/ProgramFont.h"

#include <algorithm>
#include <utility>

#include "raster/PathEdges.h"

#include "runtime/TransientBlocks.h"

namespace fonts {

ProgramFont::ProgramFont(runtime::LibraryContext* context, runtime::ObjectHandle dict)
    : context_(context), dict_(std::move(dict)) {}

ProgramFont::~ProgramFont() {
  DropSizedSource();
  program_.Release();
  SetEncoding(nullptr);
}

void ProgramFont::SetEncoding(FontEncoding* encoding) {
  if (encoding_ != nullptr) runtime::DestroyAndFree(context_, encoding_);
  encoding_ = encoding;
  table_ = dynamic_cast<CodeGlyphTable*>(encoding);
}

CodeGlyphTable& ProgramFont::InstallCodeTable() {
  CodeGlyphTable* table = runtime::NewObject<CodeGlyphTable>(context_);
  SetEncoding(table);
  return *table;
}

uint32_t ProgramFont::MemorySize() const {
  uint32_t size = kOwnSize;
  if (program_.Get() != nullptr && !programIsShared) size += program_->ByteSize();
  if (encoding_ != nullptr) size += encoding_->ByteSize();
  return size;
}

runtime::Rect ProgramFont::GetFontBBox() const {
  return program_.Get() != nullptr ? program_->FontBBox() : runtime::Rect{0, 0, 0, 0};
}

void ProgramFont::GetExtentLine(runtime::FixedPoint* top, runtime::FixedPoint* bottom,
                                const runtime::Matrix& matrix) const {
  if (encoding_ != nullptr && encoding_->IsVertical()) {
    *top = runtime::FixedPoint{runtime::kFixedOne / 2, 0};
    *bottom = runtime::FixedPoint{-runtime::kFixedOne / 2, 0};
    runtime::Matrix::TransformPointInPlace(matrix, top->x, top->y);
    runtime::Matrix::TransformPointInPlace(matrix, bottom->x, bottom->y);
    return;
  }
  FontBase::GetExtentLine(top, bottom, matrix);
}

const uint8_t* ProgramFont::NextGlyph(const uint8_t* cursor, const uint8_t* end,
                                      runtime::GlyphInfo& out) {
  if (table_ == nullptr) return FontBase::NextGlyph(cursor, end, out);
  const uint8_t code = *cursor;
  out = runtime::GlyphInfo{};
  out.code = code;
  out.glyph = table_->glyphs[code];
  out.advance = table_->widths[code];
  out.wordSpace = code == 32;
  return cursor + 1;
}

void ProgramFont::DropSizedSource() {
  if (sized_ != nullptr && --sized_->refCount == 0) runtime::DestroyAndFree(context_, sized_);
  sized_ = nullptr;
}

runtime::Rect ProgramFont::GlyphBox(uint32_t) {
  runtime::Rect box = GetFontBBox();
  // A font without a usable box: an em square with room below the baseline.
  if (box.IsEmpty()) box = {-runtime::kFixedOne / 4, -runtime::kFixedOne / 4, runtime::kFixedOne, runtime::kFixedOne};
  return box;
}

bool ProgramFont::GlyphOutline(uint32_t glyph, const runtime::Matrix& matrix,
                               runtime::ArenaVector<runtime::FixedPoint>& out) {
  FontProgram* program = program_.Get();
  if (program == nullptr || !isUsable) return false;
  const runtime::Matrix linear{matrix.a, matrix.b, matrix.c, matrix.d, 0, 0};
  runtime::ArenaAllocator work(context_, 8192, 4096);
  runtime::ArenaVector<runtime::FixedPoint> points(work, 64);
  runtime::Matrix orientation;
  program->Glyph(glyph, program->GlyphSpaceMatrix(linear), points, work, orientation);
  if (points.Size() == 0) return false;
  orientation.e = matrix.e;
  orientation.f = matrix.f;
  for (uint32_t i = 0; i < points.Size(); ++i) {
    const int kind = raster::StoredPath::KindOf(points[i]);
    runtime::FixedPoint p = raster::StoredPath::Coordinates(points[i]);
    runtime::Matrix::TransformPointInPlace(orientation, p.x, p.y);
    out.PushBack({(p.x & ~1) | (kind & 1), (p.y & ~1) | (kind >> 1)});
  }
  return true;
}

const runtime::GlyphBitmapRecord* ProgramFont::GlyphBitmap(uint32_t glyph, const runtime::Matrix& glyphMatrix,
                                                           uint32_t phase, const runtime::IntRect& clip, bool cached,
                                                           runtime::ArenaAllocator& arena) {
  FontProgram* program = program_.Get();
  if (program == nullptr || !isUsable) return nullptr;
  const runtime::Matrix linear{glyphMatrix.a, glyphMatrix.b, glyphMatrix.c, glyphMatrix.d, 0, 0};
  if (sized_ == nullptr || !(sizedMatrix_ == linear)) {
    GlyphCache::Ref source = program->Glyphs().Get(*program, linear);
    DropSizedSource();
    sized_ = source.Get();
    if (sized_ != nullptr) ++sized_->refCount;
    sizedMatrix_ = linear;
  }
  if (sized_ == nullptr) return nullptr;
  // The phase comes in 1/256 pixel; the source keeps as many phases per
  // pixel as the program oversamples. The phase goes to the nearest step:
  // a cut would move every glyph left (up to a whole pixel with one step),
  // and the step past the last is the next pixel's first.
  const OversamplingFactors steps = GlyphPhaseSteps(*program, linear);
  const uint32_t x = ((phase & 0xFF) * static_cast<uint32_t>(std::max(steps.x, 1)) + 0x80) >> 8;
  const uint32_t y = (((phase >> 8) & 0xFF) * static_cast<uint32_t>(std::max(steps.y, 1)) + 0x80) >> 8;
  return sized_->RenderGlyphMask(glyph, x | (y << 8), cached ? nullptr : &clip, arena);
}

}  // namespace fonts
