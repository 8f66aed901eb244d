#include "color/CieColorSpace.h"

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

using runtime::kFixedOne;

// `count` numbers of an array entry; false when the entry is absent.
bool ReadNumbers(const runtime::ObjectHandle& parameters, const char* key, Fixed* out, uint32_t count,
                 bool required) {
  runtime::ObjectHandle array = required ? runtime::Dictionary::GetArray(parameters, key)
                                         : runtime::Dictionary::GetOptionalArray(parameters, key);
  if (array.IsNull()) return false;
  if (runtime::Array::Count(array) < count) runtime::ThrowRuntime(runtime::kMalformed);
  for (uint32_t i = 0; i < count; ++i) {
    runtime::ObjectHandle element = runtime::Array::Get(array, i);
    if (!element->IsNumber()) runtime::ThrowRuntime(runtime::kMalformed);
    out[i] = element->AsNumber();
  }
  return true;
}

}  // namespace

IccProfileRef CieColorSpace::Parse(const runtime::ObjectHandle& parameters, int32_t family, bool sixteenBit) {
  runtime::LibraryContext* context = parameters.Context();
  Fixed white[3];
  ReadNumbers(parameters, "WhitePoint", white, 3, true);
  Fixed blackValues[3];
  const Fixed* black = ReadNumbers(parameters, "BlackPoint", blackValues, 3, false) ? blackValues : nullptr;

  if (family == kCalGray) {
    const Fixed gamma = runtime::Dictionary::GetNumberOr(parameters, "Gamma", kFixedOne);
    return IccProfile::SynthesiseGray(context, white, black, gamma);
  }
  if (family == kCalRgb) {
    Fixed gamma[3] = {kFixedOne, kFixedOne, kFixedOne};
    ReadNumbers(parameters, "Gamma", gamma, 3, false);
    Fixed matrix[9] = {kFixedOne, 0, 0, 0, kFixedOne, 0, 0, 0, kFixedOne};
    ReadNumbers(parameters, "Matrix", matrix, 9, false);
    return IccProfile::SynthesiseRgb(context, white, black, matrix, matrix + 3, matrix + 6, gamma, true);
  }
  Fixed ranges[6] = {0, 100 * kFixedOne, -128 * kFixedOne, 127 * kFixedOne, -128 * kFixedOne, 127 * kFixedOne};
  ReadNumbers(parameters, "Range", ranges + 2, 4, false);
  if (sixteenBit) {
    for (int i = 2; i < 6; ++i) ranges[i] /= 2;
  }
  return IccProfile::SynthesiseLab(context, white, black, ranges);
}

}  // namespace color
