#include "fonts/ProgramFont.h"

#include <utility>

#include "runtime/TransientBlocks.h"

namespace fonts {

ProgramFont::ProgramFont(runtime::LibraryContext* context, runtime::ObjectHandle dict)
    : context_(context), dict_(std::move(dict)) {}

ProgramFont::~ProgramFont() {
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

}  // namespace fonts
