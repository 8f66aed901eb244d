#include "fonts/Type3Font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "fonts/FontError.h"
#include "fonts/GlyphProcedurePainter.h"
#include "fonts/NamedEncodings.h"
#include "fonts/SimpleFontEncoding.h"
#include "fonts/Type3FontProgram.h"
#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

namespace {

GlyphProcedurePainter* installedProcedurePainter = nullptr;

// The Type 3 fonts being loaded, innermost last: a glyph procedure run by
// the trial may select a Type 3 font, which is loaded then, but never the
// font being loaded itself (that would load it again without end).
constexpr uint32_t kMaxType3Loads = 8;
const void* type3Loading[kMaxType3Loads] = {};
uint32_t type3LoadDepth = 0;

struct Type3LoadLevel {
  explicit Type3LoadLevel(const void* identity) : identity_(identity) {
    for (uint32_t i = 0; i < type3LoadDepth; ++i) {
      if (type3Loading[i] == identity) runtime::ThrowRuntime(runtime::kStackExhausted);
    }
    if (type3LoadDepth >= kMaxType3Loads) runtime::ThrowRuntime(runtime::kStackExhausted);
    type3Loading[type3LoadDepth++] = identity;
  }
  // Loads on different cooperative threads may end in any order: each
  // takes out its own entry.
  ~Type3LoadLevel() {
    for (uint32_t i = type3LoadDepth; i-- > 0;) {
      if (type3Loading[i] != identity_) continue;
      for (uint32_t k = i; k + 1 < type3LoadDepth; ++k) type3Loading[k] = type3Loading[k + 1];
      --type3LoadDepth;
      return;
    }
  }
  Type3LoadLevel(const Type3LoadLevel&) = delete;
  Type3LoadLevel& operator=(const Type3LoadLevel&) = delete;

 private:
  const void* identity_;
};

bool IsProcedureSpace(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0;
}

// Skips white space and comments before the next token.
void SkipProcedureSpace(streams::DataStream& data) {
  while (data.Fill(false)) {
    const uint8_t c = *data.Cursor();
    if (IsProcedureSpace(c)) {
      data.ReadU8();
    } else if (c == '%') {
      while (data.Fill(false) && *data.Cursor() != '\r' && *data.Cursor() != '\n') data.ReadU8();
    } else {
      return;
    }
  }
}

// A number token at the read position: sign, digits, one point, digits.
bool ReadProcedureNumber(streams::DataStream& data, double& out) {
  if (!data.AtNumberStart()) return false;
  double sign = 1.0, value = 0.0, scale = 0.0;
  bool digits = false;
  uint8_t c = *data.Cursor();
  if (c == '+' || c == '-') {
    sign = c == '-' ? -1.0 : 1.0;
    data.ReadU8();
  }
  for (int length = 0; data.Fill(false) && length < 64; ++length) {
    c = *data.Cursor();
    if (c >= '0' && c <= '9') {
      digits = true;
      if (scale == 0.0) {
        value = value * 10.0 + (c - '0');
      } else {
        value += (c - '0') * scale;
        scale /= 10.0;
      }
    } else if (c == '.' && scale == 0.0) {
      scale = 0.1;
    } else {
      break;
    }
    data.ReadU8();
  }
  out = sign * value;
  return digits && std::isfinite(out);
}

// The scale of a matrix: |a| for a uniform scale, else the square root of
// the absolute determinant.
double MatrixScale(const double (&m)[6]) {
  if (std::fabs(m[0]) == std::fabs(m[3]) && m[1] == 0 && m[2] == 0) return std::fabs(m[0]);
  return std::sqrt(std::fabs(m[0] * m[3] - m[1] * m[2]));
}

// True when the procedure's program names a resource (a font, an
// XObject, a parameter set, a shading, a colour space or pattern): read up
// to a bound, operator words only.
bool ProcedureNamesResources(pdf::Document& document, const runtime::ObjectHandle& procedure) {
  constexpr size_t kScanBytes = 65536;
  streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(document, procedure);
  char word[4];
  size_t length = 0;
  bool inWord = false;
  for (size_t n = 0; n < kScanBytes && data->Fill(false); ++n) {
    const uint8_t c = data->ReadU8();
    const bool delimiter = IsProcedureSpace(c) || std::strchr("()<>[]{}/%", c) != nullptr;
    if (!delimiter) {
      if (!inWord) length = 0;
      inWord = true;
      if (length < sizeof(word)) word[length] = static_cast<char>(c);
      ++length;
      continue;
    }
    if (inWord) {
      const std::string_view token(word, std::min(length, sizeof(word)));
      if (length <= 3 && (token == "Tf" || token == "Do" || token == "gs" || token == "sh" || token == "cs" ||
                          token == "CS" || token == "scn" || token == "SCN"))
        return true;
    }
    inWord = false;
  }
  return false;
}

runtime::Fixed SaturatedFixedOf(double v) {
  if (!(v > -32767.0)) return -runtime::kFixedMax;
  if (v > 32767.0) return runtime::kFixedMax;
  return runtime::FixedFromFloatRounded(v);
}

runtime::Rect RectOfDoubles(double x0, double y0, double x1, double y1) {
  return {SaturatedFixedOf(std::min(x0, x1)), SaturatedFixedOf(std::min(y0, y1)), SaturatedFixedOf(std::max(x0, x1)),
          SaturatedFixedOf(std::max(y0, y1))};
}

}  // namespace

void GlyphProcedurePainter::Install(GlyphProcedurePainter* painter) { installedProcedurePainter = painter; }
GlyphProcedurePainter* GlyphProcedurePainter::Installed() { return installedProcedurePainter; }

Type3Font::Drawing::Drawing(Type3Font& font) : font_(font) {
  if (font.drawing_ != 0) runtime::ThrowRuntime(runtime::kStackExhausted);
  ++font.drawing_;
}

Type3Font::Type3Font(runtime::LibraryContext* context, runtime::ObjectHandle dict)
    : ProgramFont(context, std::move(dict)), arena_(context, 4096, 1024), procedures_(context) {
  isSymbolic = 1;
}

Type3Font::~Type3Font() = default;

bool Type3Font::ReadGlyphBox(pdf::Document& document, const runtime::ObjectHandle& procedure, double& wx,
                             double (&box)[4]) {
  if (procedure.Tag() != runtime::ObjectTag::kDictionary || !pdf::StreamObject::IsStream(procedure.Value()))
    return false;
  streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(document, procedure);
  double numbers[6] = {};
  for (double& number : numbers) {
    SkipProcedureSpace(*data);
    if (!ReadProcedureNumber(*data, number)) return false;
  }
  SkipProcedureSpace(*data);
  if (!data->SkipPastString("d1", 2)) return false;
  // The operator must end there ("d1x" is another word).
  if (data->Fill(false) && !IsProcedureSpace(*data->Cursor()) && std::strchr("/[(<%", *data->Cursor()) == nullptr)
    return false;
  wx = numbers[0];
  box[0] = std::min(numbers[2], numbers[4]);
  box[1] = std::min(numbers[3], numbers[5]);
  box[2] = std::max(numbers[2], numbers[4]);
  box[3] = std::max(numbers[3], numbers[5]);
  return true;
}

void Type3Font::LoadFromDict(pdf::Document& document) {
  document_ = &document;
  // The dictionary's storage tells it apart from every other font being
  // loaded, in any document.
  const Type3LoadLevel level(static_cast<const void*>(dict_->AsDictionary().items));
  charProcs_ = runtime::Dictionary::GetDict(dict_, "CharProcs");
  resources_ = runtime::Dictionary::GetOptionalDict(dict_, "Resources");
  const runtime::ObjectHandle matrix = runtime::Dictionary::GetArray(dict_, "FontMatrix");
  if (runtime::Array::Count(matrix) != 6) ThrowMalformedFont();
  for (uint32_t i = 0; i < 6; ++i) {
    const runtime::ObjectHandle element = runtime::Array::Get(matrix, i);
    if (!element->IsNumber()) ThrowMalformedFont();
    fontMatrixValues_[i] = runtime::FixedToDouble(element->AsNumber());
  }
  const double* m = fontMatrixValues_;
  // A matrix that cannot be inverted places every glyph on a line or a
  // point, and its box (0, 0, 1/s, 1/s) would divide by zero.
  const double scale = MatrixScale(fontMatrixValues_);
  if (!(std::fabs(m[0] * m[3] - m[1] * m[2]) > 1e-12) || !(scale > 1e-9)) ThrowMalformedFont();
  fontMatrix_ = {SaturatedFixedOf(m[0]), SaturatedFixedOf(m[1]), SaturatedFixedOf(m[2]),
                 SaturatedFixedOf(m[3]), SaturatedFixedOf(m[4]), SaturatedFixedOf(m[5])};

  // Glyph names: "" for glyph 0, then the CharProcs keys in order.
  uint32_t count = 0;
  for (runtime::DictionaryIterator it(charProcs_); !it.AtEnd(); it.Next()) ++count;
  glyphCount_ = count;
  names_ = static_cast<const char**>(arena_.Alloc(sizeof(const char*) * (size_t{count} + 1)));
  boxes_ = static_cast<runtime::Rect*>(arena_.Alloc(sizeof(runtime::Rect) * (size_t{count} + 1)));
  names_[0] = "";
  boxes_[0] = {};
  uint32_t index = 1;
  for (runtime::DictionaryIterator it(charProcs_); !it.AtEnd(); it.Next(), ++index) {
    if (index % 256 == 0) runtime::ChargeWork(context_, runtime::kWorkCostLight);
    const std::string_view key = it.GetEntry().key;
    char* name = static_cast<char*>(arena_.Alloc(key.size() + 1));
    std::memcpy(name, key.data(), key.size());
    name[key.size()] = '\0';
    names_[index] = name;
    boxes_[index] = {};
  }

  // The encoding: required, a named encoding or a dictionary whose codes
  // start unnamed before its Differences.
  const runtime::ObjectHandle encoding = runtime::Dictionary::Get(dict_, "Encoding");
  if (encoding.Tag() == runtime::ObjectTag::kName) {
    if (!EncodingKindByName(encoding->AsName().View())) ThrowMalformedFont();
  } else if (encoding.Tag() != runtime::ObjectTag::kDictionary) {
    ThrowMalformedFont();
  }
  CodeGlyphTable& table = InstallCodeTable();
  SimpleFontEncoding::ApplyDifferences(table, names_, count + 1, dict_, nullptr, true);
  SimpleFontEncoding::ReadWidths(table, dict_, 0, fontMatrix_.a);
  if (fontMatrix_.a != 65) {
    // Widths scale by FontMatrix a, which may lie below 16.16's resolution.
    // The codes are those ReadWidths accepted: FirstChar to LastChar, as
    // far as the array reaches; entries past LastChar are not widths.
    const runtime::ObjectHandle widths = runtime::Dictionary::GetArray(dict_, "Widths");
    const int64_t first = runtime::Dictionary::GetInteger(dict_, "FirstChar");
    const int64_t last = std::min<int64_t>(runtime::Dictionary::GetInteger(dict_, "LastChar"), 255);
    const uint32_t n = runtime::Array::Count(widths);
    for (uint32_t i = 0; i < n && first + i <= last; ++i) {
      const double w = runtime::FixedToDouble(runtime::Array::Get(widths, i)->AsNumber());
      table.widths[first + i] = SaturatedFixedOf(w * m[0]);
    }
  }

  MeasureGlyphs();
  // Fonts drawn by procedure keep the program too: clipping text takes
  // the glyphs' coverage.
  program_ = runtime::CountedRef<FontProgram>::Adopt(context_,
                                                     runtime::NewObject<Type3FontProgram>(context_, context_, *this));
  if (!drawsByProcedure_) RunTrial();
}

void Type3Font::MeasureGlyphs() {
  const double* m = fontMatrixValues_;
  double box[4] = {0, 0, 0, 0};
  bool first = true;
  uint32_t index = 1;
  for (runtime::DictionaryIterator it(charProcs_); !it.AtEnd(); it.Next(), ++index) {
    runtime::ChargeWork(context_, runtime::kWorkCostLight);
    double wx = 0, glyph[4] = {};
    bool boxed = false;
    {
      // A procedure that cannot even be opened is drawn by procedure too,
      // where its error ends only that glyph.
      runtime::ErrorTrap trap(context_);
      if (!trap.Run([&] { boxed = ReadGlyphBox(*document_, it.GetEntry().value, wx, glyph); })) {
        trap.SetHandled();
        if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
        trap.Close();
      }
    }
    // A font without resources of its own draws with those of the place
    // that shows it, which only drawing by procedure knows.
    if (boxed && resources_.IsNull()) {
      runtime::ErrorTrap trap(context_);
      if (!trap.Run([&] { boxed = !ProcedureNamesResources(*document_, it.GetEntry().value); })) {
        trap.SetHandled();
        if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
        trap.Close();
        boxed = false;
      }
    }
    if (!boxed) {
      drawsByProcedure_ = true;
      break;
    }
    boxes_[index] = RectOfDoubles(glyph[0], glyph[1], glyph[2], glyph[3]);
    if (first) {
      std::copy(glyph, glyph + 4, box);
      first = false;
    } else {
      box[0] = std::min(box[0], glyph[0]);
      box[1] = std::min(box[1], glyph[1]);
      box[2] = std::max(box[2], glyph[2]);
      box[3] = std::max(box[3], glyph[3]);
    }
  }
  if (drawsByProcedure_) {
    const double s = 1.0 / MatrixScale(fontMatrixValues_);
    box[0] = box[1] = 0;
    box[2] = box[3] = s;
  }
  glyphBox_ = RectOfDoubles(box[0], box[1], box[2], box[3]);
  // The box's corners through FontMatrix.
  double xs[4], ys[4];
  const double cx[4] = {box[0], box[2], box[0], box[2]}, cy[4] = {box[1], box[1], box[3], box[3]};
  for (int i = 0; i < 4; ++i) {
    xs[i] = cx[i] * m[0] + cy[i] * m[2] + m[4];
    ys[i] = cx[i] * m[1] + cy[i] * m[3] + m[5];
  }
  fontBox_ = RectOfDoubles(*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                           *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4));
  ascent = fontBox_.y1;
  descent = fontBox_.y0;
}

void Type3Font::RunTrial() {
  GlyphProcedurePainter* painter = GlyphProcedurePainter::Installed();
  if (painter == nullptr || glyphCount_ == 0) return;
  // Text space to a small scratch device (y down): the font box's larger
  // side spans kTrialPixels, however large the font box claims to be.
  const double w = runtime::FixedToDouble(fontBox_.x1) - runtime::FixedToDouble(fontBox_.x0);
  const double h = runtime::FixedToDouble(fontBox_.y1) - runtime::FixedToDouble(fontBox_.y0);
  const double side = std::max({w, h, 1e-6});
  const double s = kTrialPixels / side;
  const runtime::Matrix device{SaturatedFixedOf(s), 0, 0, SaturatedFixedOf(-s),
                               SaturatedFixedOf(-runtime::FixedToDouble(fontBox_.x0) * s),
                               SaturatedFixedOf(runtime::FixedToDouble(fontBox_.y1) * s)};
  const runtime::Matrix placement = GlyphToSpace(device);
  const runtime::IntRect box{-1, -1, kTrialPixels + 1, kTrialPixels + 1};
  runtime::ArenaAllocator scratch(context_, 4096, 1024);
  auto* coverage = static_cast<uint8_t*>(scratch.Alloc(size_t(box.x1 - box.x0) * size_t(box.y1 - box.y0)));
  for (uint32_t glyph = 1; glyph <= glyphCount_ && !drawsByProcedure_; ++glyph) {
    std::memset(coverage, 0, size_t(box.x1 - box.x0) * size_t(box.y1 - box.y0));
    runtime::ErrorTrap trap(context_);
    if (!trap.Run([&] {
          Drawing drawing(*this);
          painter->PaintCoverage(*this, glyph, placement, box, coverage);
        })) {
      trap.SetHandled();
      if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
      trap.Close();
      drawsByProcedure_ = true;
    }
  }
}

uint32_t Type3Font::MemorySize() const {
  return kOwnSize + ProgramFont::MemorySize() - ProgramFont::kOwnSize + static_cast<uint32_t>(arena_.totalBytes);
}

void Type3Font::GetExtentLine(runtime::FixedPoint* top, runtime::FixedPoint* bottom,
                              const runtime::Matrix& matrix) const {
  const runtime::Matrix m = GlyphToSpace(matrix);
  *top = {0, glyphBox_.y1};
  *bottom = {0, glyphBox_.y0};
  runtime::Matrix::TransformPointInPlace(m, top->x, top->y);
  runtime::Matrix::TransformPointInPlace(m, bottom->x, bottom->y);
}

runtime::Rect Type3Font::ProcedureBox(uint32_t glyph) const {
  if (drawsByProcedure_) {
    // The box of a font without "d1" boxes is an em square; glyphs reach
    // below the baseline and past their advance, so half an em more on
    // every side.
    const runtime::Fixed half = (glyphBox_.x1 - glyphBox_.x0) / 2;
    return runtime::Rect::InsetSaturated(glyphBox_, -half, -half);
  }
  if (glyph == 0 || glyph > glyphCount_ || boxes_ == nullptr) return glyphBox_;
  return boxes_[glyph];
}

runtime::Rect Type3Font::GlyphBox(uint32_t glyph) {
  if (glyph == 0 || glyph > glyphCount_ || drawsByProcedure_ || boxes_ == nullptr) return fontBox_;
  const runtime::Rect& b = boxes_[glyph];
  const double* m = fontMatrixValues_;
  const double x0 = runtime::FixedToDouble(b.x0), y0 = runtime::FixedToDouble(b.y0);
  const double x1 = runtime::FixedToDouble(b.x1), y1 = runtime::FixedToDouble(b.y1);
  const double cx[4] = {x0, x1, x0, x1}, cy[4] = {y0, y0, y1, y1};
  double xs[4], ys[4];
  for (int i = 0; i < 4; ++i) {
    xs[i] = cx[i] * m[0] + cy[i] * m[2] + m[4];
    ys[i] = cx[i] * m[1] + cy[i] * m[3] + m[5];
  }
  return RectOfDoubles(*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4), *std::max_element(xs, xs + 4),
                       *std::max_element(ys, ys + 4));
}

runtime::Matrix Type3Font::GlyphToSpace(const runtime::Matrix& t) const {
  const double* f = fontMatrixValues_;
  const double a = runtime::FixedToDouble(t.a), b = runtime::FixedToDouble(t.b);
  const double c = runtime::FixedToDouble(t.c), d = runtime::FixedToDouble(t.d);
  const double e = runtime::FixedToDouble(t.e), g = runtime::FixedToDouble(t.f);
  return {SaturatedFixedOf(f[0] * a + f[1] * c), SaturatedFixedOf(f[0] * b + f[1] * d),
          SaturatedFixedOf(f[2] * a + f[3] * c), SaturatedFixedOf(f[2] * b + f[3] * d),
          SaturatedFixedOf(f[4] * a + f[5] * c + e), SaturatedFixedOf(f[4] * b + f[5] * d + g)};
}

content::ContentMachine* Type3Font::Procedure(content::FormCache::Ref& out, uint32_t glyph,
                                              const runtime::ObjectHandle* enclosing) {
  if (glyph == 0 || glyph > glyphCount_) return nullptr;
  const runtime::ObjectHandle procedure = runtime::Dictionary::GetEntryAt(charProcs_, glyph - 1).value;
  if (procedure.Tag() != runtime::ObjectTag::kDictionary || !pdf::StreamObject::IsStream(procedure.Value()))
    return nullptr;
  const runtime::ObjectHandle* scope = Resources() != nullptr ? Resources() : enclosing;
  out = procedures_.Get(*document_, procedure, scope);
  if (!out) runtime::ThrowRuntime(runtime::kOutOfMemory);
  return out->machine;
}

}  // namespace fonts
