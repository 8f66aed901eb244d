#include "color/PdfFunction.h"

#include "color/CalculatorFunction.h"
#include "color/ExponentialFunction.h"
#include "color/SampledFunction.h"
#include "color/StitchingFunction.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {

using runtime::Array;
using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

PdfFunction::PdfFunction(runtime::LibraryContext* context, int32_t type, uint32_t blockSize,
                         uint32_t largeThreshold)
    : CountedObject(context), arena_(context, blockSize, largeThreshold), type_(type) {}

Fixed* PdfFunction::AllocateFixed(uint32_t count) {
  if (count == 0) return nullptr;
  return static_cast<Fixed*>(arena_.Alloc(sizeof(Fixed) * size_t{count}));
}

Fixed* PdfFunction::ReadNumbers(const ObjectHandle& array, uint32_t count) {
  if (Array::Count(array) < count) runtime::ThrowRuntime(runtime::kMalformed);
  Fixed* values = AllocateFixed(count);
  for (uint32_t i = 0; i < count; ++i) values[i] = Array::Get(array, i)->AsNumber();
  return values;
}

void PdfFunction::ReadDomainAndRange(const ObjectHandle& domain, const ObjectHandle& range,
                                     bool rangeRequired) {
  const uint32_t domainLength = Array::Count(domain);
  if (domainLength % 2 != 0 || domainLength / 2 > kMaxArity) runtime::ThrowRuntime(runtime::kMalformed);
  inputs_ = domainLength / 2;
  domain_ = ReadNumbers(domain, domainLength);
  if (range.IsNull()) {
    if (rangeRequired) runtime::ThrowRuntime(runtime::kMalformed);
    outputs_ = 0;
    return;
  }
  const uint32_t rangeLength = Array::Count(range);
  if (rangeLength % 2 != 0 || rangeLength / 2 > kMaxArity) runtime::ThrowRuntime(runtime::kMalformed);
  outputs_ = rangeLength / 2;
  range_ = ReadNumbers(range, rangeLength);
  for (uint32_t j = 0; j < outputs_; ++j) {
    if (range_[2 * j] > range_[2 * j + 1]) runtime::ThrowRuntime(runtime::kMalformed);
  }
}

Fixed InterpolateFixed(Fixed x, Fixed x0, Fixed x1, Fixed a, Fixed b) {
  if (x1 == x0) return a;
  const __int128 product = static_cast<__int128>(int64_t{x} - x0) * (int64_t{b} - a);
  const __int128 value = int64_t{a} + product / (int64_t{x1} - x0);
  if (value > runtime::kFixedMax) return runtime::kFixedMax;
  if (value < runtime::kFixedMin) return runtime::kFixedMin;
  return static_cast<Fixed>(value);
}

Fixed SaturateFixed(int64_t value) {
  if (value > runtime::kFixedMax) return runtime::kFixedMax;
  if (value < runtime::kFixedMin) return runtime::kFixedMin;
  return static_cast<Fixed>(value);
}

Fixed LerpFixed(Fixed v, Fixed a, Fixed b) {
  const __int128 step = static_cast<__int128>(v) * (int64_t{b} - a);
  return SaturateFixed(int64_t{a} + static_cast<int64_t>(step >> 16));
}

PdfFunctionRef Function::Create(runtime::LibraryContext* context, const ObjectHandle& object,
                                streams::StreamOpener* opener, uint32_t depth) {
  if (depth + 1 > kMaxDepth) runtime::ThrowRuntime(runtime::kMalformed);
  const ObjectHandle dictionary = object.Resolved().AsDictionary();
  // A real FunctionType (2.0) is as malformed as a missing one.
  const ObjectHandle type = Dictionary::GetRequired(dictionary, "FunctionType");
  if (!type->Is(ObjectTag::kInteger)) runtime::ThrowRuntime(runtime::kMalformed);
  const ObjectHandle domain = Dictionary::GetArray(dictionary, "Domain");
  const ObjectHandle range = Dictionary::GetOptionalArray(dictionary, "Range");
  switch (type->payload.integer) {
    case PdfFunction::kSampled:
      return streams::MakeRef<SampledFunction>(context, domain, range, dictionary, opener);
    case PdfFunction::kExponential: {
      const Fixed exponent = Dictionary::GetRequired(dictionary, "N")->AsNumber();
      const ObjectHandle c1 = Dictionary::GetOptionalArray(dictionary, "C1");
      const ObjectHandle c0 = Dictionary::GetOptionalArray(dictionary, "C0");
      return streams::MakeRef<ExponentialFunction>(context, domain, range, c0, c1, exponent);
    }
    case PdfFunction::kStitching: {
      const ObjectHandle encode = Dictionary::GetArray(dictionary, "Encode");
      const ObjectHandle bounds = Dictionary::GetArray(dictionary, "Bounds");
      const ObjectHandle functions = Dictionary::GetArray(dictionary, "Functions");
      return streams::MakeRef<StitchingFunction>(context, domain, range, functions, bounds, encode,
                                                 opener, depth + 1);
    }
    case PdfFunction::kCalculator:
      return CalculatorFunction::Create(context, domain, range, dictionary, opener);
    default:
      runtime::ThrowRuntime(runtime::kMalformed);
  }
}

}  // namespace color
