#include "content/Pattern.h"

#include <algorithm>

#include "pdf/ArrayReaders.h"
#include "pdf/ResourceScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

namespace {
// 0.2 in 16.16.
constexpr runtime::Fixed kHighlightLift = 13107;
}  // namespace

PatternPaint Pattern::SetupPaint(const PatternRequest& request) {
  PatternPaint paint;
  if (!request.patternSpace || !request.hasPatternName || request.resources == nullptr) return paint;
  const runtime::ObjectHandle pattern = pdf::Resources::Lookup(*request.resources, "Pattern", request.name);
  if (pattern.Tag() != runtime::ObjectTag::kDictionary) return paint;
  const int32_t type = runtime::Dictionary::GetInteger(pattern, "PatternType");
  if (type == 1) {
    const int32_t paintType = runtime::Dictionary::GetInteger(pattern, "PaintType");
    if (paintType == 2 && !request.hasUnderlying) runtime::ThrowRuntime(runtime::kMalformed);
    paint.tiling = TilingPattern::Parse(pattern, request.base);
    paint.kind = PatternPaint::Kind::kTiling;
    return paint;
  }
  if (type != 2) runtime::ThrowRuntime(runtime::kMalformed);
  // A shading pattern's "ExtGState" is not applied.
  const runtime::ObjectHandle matrixValue = runtime::Dictionary::GetOptionalArray(pattern, "Matrix");
  const runtime::Matrix m = matrixValue.IsNull() ? runtime::Matrix{} : pdf::ReadMatrixArray(matrixValue);
  int32_t overflow = 0;
  paint.matrix = runtime::Matrix::ConcatChecked(m, request.base, overflow);
  if (overflow != 0) runtime::ThrowRuntime(runtime::kOverflow);
  paint.shading = runtime::Dictionary::GetDict(pattern, "Shading");
  paint.kind = PatternPaint::Kind::kShading;
  return paint;
}

void Pattern::Highlight(runtime::Fixed* components, uint32_t count, bool colourOutput) {
  for (uint32_t i = 0; i < count; ++i) {
    components[i] = colourOutput ? std::min<runtime::Fixed>(runtime::FixedAddSat(components[i], kHighlightLift),
                                                             runtime::kFixedOne)
                                 : components[i] / 2;
  }
}

}  // namespace content
