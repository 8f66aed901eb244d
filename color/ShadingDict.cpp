#include "color/ShadingDict.h"

#include "color/ColorContext.h"
#include "color/FunctionEvaluator.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {
namespace {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

// An optional array entry: null when absent; (runtime, 2) when present as
// anything but an array of at least `count` elements.
ObjectHandle OptionalArrayOf(const ObjectHandle& dictionary, const char* key, uint32_t count) {
  const ObjectHandle array = Dictionary::GetOptionalArray(dictionary, key);
  if (!array.IsNull() && runtime::Array::Count(array) < count) runtime::ThrowRuntime(runtime::kMalformed);
  return array;
}

Fixed NumberAt(const ObjectHandle& array, uint32_t index) { return runtime::Array::Get(array, index)->AsNumber(); }

// A coordinate keeps an integer's whole value, where a 16.16 number would
// clamp it at 32767; a real comes as the parser stored it.
double CoordinateAt(const ObjectHandle& array, uint32_t index) {
  const ObjectHandle value = runtime::Array::Get(array, index);
  if (value->Is(ObjectTag::kInteger)) return value->AsInteger();
  return runtime::FixedToDouble(value->AsNumber());
}

bool BooleanAt(const ObjectHandle& array, uint32_t index) {
  const ObjectHandle value = runtime::Array::Get(array, index);
  if (!value->Is(ObjectTag::kBoolean)) runtime::ThrowRuntime(runtime::kMalformed);
  return value->AsBoolean();
}

void ReadDomainAndExtend(const ObjectHandle& shading, Fixed& t0, Fixed& t1, bool& extend0, bool& extend1) {
  const ObjectHandle domain = OptionalArrayOf(shading, "Domain", 2);
  if (!domain.IsNull()) {
    t0 = NumberAt(domain, 0);
    t1 = NumberAt(domain, 1);
  }
  const ObjectHandle extend = OptionalArrayOf(shading, "Extend", 2);
  if (!extend.IsNull()) {
    extend0 = BooleanAt(extend, 0);
    extend1 = BooleanAt(extend, 1);
  }
}

}  // namespace

// ---- ShadingFunctions ----

void ShadingFunctions::Parse(runtime::LibraryContext* context, const ObjectHandle& value,
                             streams::StreamOpener* opener) {
  const ObjectHandle resolved = value.Resolved();
  if (resolved->Is(ObjectTag::kDictionary)) {
    functions_[count_++] = Function::Create(context, resolved, opener);
    return;
  }
  if (!resolved->Is(ObjectTag::kArray)) runtime::ThrowRuntime(runtime::kMalformed);
  const uint32_t count = runtime::Array::Count(resolved);
  if (count == 0 || count > PdfFunction::kMaxArity) runtime::ThrowRuntime(runtime::kMalformed);
  for (uint32_t i = 0; i < count; ++i) {
    const ObjectHandle element = runtime::Array::Get(resolved, i);
    if (!element->Is(ObjectTag::kDictionary)) runtime::ThrowRuntime(runtime::kMalformed);
    functions_[count_++] = Function::Create(context, element, opener);
  }
}

void ShadingFunctions::CheckArity(int32_t components, uint32_t inputs) const {
  if (count_ == 0 || components < 1) runtime::ThrowRuntime(runtime::kMalformed);
  const bool single = count_ == 1 && functions_[0]->Outputs() == static_cast<uint32_t>(components);
  bool perComponent = count_ == static_cast<uint32_t>(components);
  for (uint32_t i = 0; i < count_; ++i) {
    if (functions_[i]->Inputs() != inputs) runtime::ThrowRuntime(runtime::kMalformed);
    perComponent = perComponent && functions_[i]->Outputs() == 1;
  }
  if (!single && !perComponent) runtime::ThrowRuntime(runtime::kMalformed);
}

void ShadingFunctions::Evaluate(Fixed* outputs, const Fixed* inputs) const {
  if (count_ == 1) {
    FunctionEvaluator::EvaluateFixed(*functions_[0], inputs, outputs);
    return;
  }
  for (uint32_t i = 0; i < count_; ++i) FunctionEvaluator::EvaluateFixed(*functions_[i], inputs, outputs + i);
}

// ---- ShadingReader ----

void ShadingReader::ParseDict(ShadingDict& dict, ColorContext& colors, bool ignoreBackground,
                              const ObjectHandle& resources, const ObjectHandle& shading) {
  const ObjectHandle space = Dictionary::Get(shading, "ColorSpace");
  if (space.IsNull()) runtime::ThrowRuntime(runtime::kMalformed);
  dict.space = ColorSpace::FromObject(colors, space, resources);
  const int32_t n = dict.Components();
  if (dict.space && (n < 1 || static_cast<uint32_t>(n) > ShadingDict::kMaxComponents))
    runtime::ThrowRuntime(runtime::kMalformed);
  if (!ignoreBackground && dict.space) {
    const ObjectHandle background = Dictionary::GetOptionalArray(shading, "Background");
    if (!background.IsNull()) {
      for (int32_t c = 0; c < n; ++c) dict.background[c] = NumberAt(background, static_cast<uint32_t>(c));
      dict.hasBackground = true;
    }
  }
  const ObjectHandle bbox = Dictionary::GetOptionalArray(shading, "BBox");
  if (!bbox.IsNull()) {
    dict.bbox = {NumberAt(bbox, 0), NumberAt(bbox, 1), NumberAt(bbox, 2), NumberAt(bbox, 3)};
    dict.hasBBox = true;
  }
  dict.antiAlias = Dictionary::GetBooleanOr(shading, "AntiAlias", false);
  const ObjectHandle function = Dictionary::Get(shading, "Function");
  if (!function.IsNull()) dict.functions.Parse(colors.Context(), function, colors.Document());
}

FunctionBasedParams ShadingReader::ReadFunctionBased(const ObjectHandle& shading) {
  FunctionBasedParams params;
  const ObjectHandle domain = OptionalArrayOf(shading, "Domain", 4);
  if (!domain.IsNull()) {
    params.x0 = NumberAt(domain, 0);
    params.x1 = NumberAt(domain, 1);
    params.y0 = NumberAt(domain, 2);
    params.y1 = NumberAt(domain, 3);
  }
  const ObjectHandle matrix = OptionalArrayOf(shading, "Matrix", 6);
  if (!matrix.IsNull()) {
    params.matrix = {NumberAt(matrix, 0), NumberAt(matrix, 1), NumberAt(matrix, 2),
                     NumberAt(matrix, 3), NumberAt(matrix, 4), NumberAt(matrix, 5)};
  }
  return params;
}

AxialParams ShadingReader::ReadAxial(const ObjectHandle& shading) {
  AxialParams params;
  const ObjectHandle coords = Dictionary::GetArray(shading, "Coords");
  params.x0 = CoordinateAt(coords, 0);
  params.y0 = CoordinateAt(coords, 1);
  params.x1 = CoordinateAt(coords, 2);
  params.y1 = CoordinateAt(coords, 3);
  ReadDomainAndExtend(shading, params.t0, params.t1, params.extend0, params.extend1);
  return params;
}

RadialParams ShadingReader::ReadRadial(const ObjectHandle& shading) {
  RadialParams params;
  const ObjectHandle coords = Dictionary::GetArray(shading, "Coords");
  params.x0 = CoordinateAt(coords, 0);
  params.y0 = CoordinateAt(coords, 1);
  params.r0 = CoordinateAt(coords, 2);
  params.x1 = CoordinateAt(coords, 3);
  params.y1 = CoordinateAt(coords, 4);
  params.r1 = CoordinateAt(coords, 5);
  ReadDomainAndExtend(shading, params.t0, params.t1, params.extend0, params.extend1);
  return params;
}

}  // namespace color
