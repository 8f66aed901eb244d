#include "color/StitchingFunction.h"

#include "color/FunctionEvaluator.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {

using runtime::Array;
using runtime::ObjectHandle;

StitchingFunction::SubFunctions::~SubFunctions() {
  for (uint32_t i = 0; i < items.Count(); ++i) {
    if (items[i] != nullptr) items[i]->Release();
  }
}

StitchingFunction::StitchingFunction(runtime::LibraryContext* context, const ObjectHandle& domain,
                                     const ObjectHandle& range, const ObjectHandle& functions,
                                     const ObjectHandle& bounds, const ObjectHandle& encode,
                                     streams::StreamOpener* opener, uint32_t depth)
    : PdfFunction(context, kStitching, 4096, 1024) {
  ReadDomainAndRange(domain, range, false);
  if (inputs_ != 1) runtime::ThrowRuntime(runtime::kMalformed);
  const uint32_t k = Array::Count(functions);
  if (k == 0) runtime::ThrowRuntime(runtime::kMalformed);
  functions_.items.Allocate(context, k);
  for (uint32_t i = 0; i < k; ++i) {
    PdfFunctionRef sub = Function::Create(context, Array::Get(functions, i), opener, depth);
    if (sub->Inputs() != 1) runtime::ThrowRuntime(runtime::kMalformed);
    if (i == 0) {
      outputs_ = sub->Outputs();
    } else if (sub->Outputs() != outputs_) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    functions_.items[i] = sub.Detach();
  }
  if (Array::Count(bounds) != k - 1) runtime::ThrowRuntime(runtime::kMalformed);
  bounds_ = ReadNumbers(bounds, k - 1);
  for (uint32_t i = 0; i + 1 < k; ++i) {
    if (bounds_[i] < (i == 0 ? domain_[0] : bounds_[i - 1])) runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (k > 1 && bounds_[k - 2] > domain_[1]) runtime::ThrowRuntime(runtime::kMalformed);
  if (Array::Count(encode) != 2 * k) runtime::ThrowRuntime(runtime::kMalformed);
  encode_ = ReadNumbers(encode, 2 * k);
}

StitchingFunction::~StitchingFunction() = default;

uint32_t StitchingFunction::ByteSize() const {
  uint32_t size = PdfFunction::ByteSize() + functions_.items.ByteSize();
  for (uint32_t i = 0; i < functions_.items.Count(); ++i) size += functions_.items[i]->ByteSize();
  return size;
}

PdfFunction& StitchingFunction::MapInput(Fixed x, Fixed* mapped) const {
  const Fixed d0 = domain_[0];
  const Fixed d1 = domain_[1];
  x = ClipToPair(x, d0, d1);
  const uint32_t k = functions_.items.Count();
  uint32_t i = 0;
  while (i + 1 < k && bounds_[i] <= x) ++i;
  const Fixed low = i == 0 ? d0 : bounds_[i - 1];
  const Fixed high = i + 1 == k ? d1 : bounds_[i];
  *mapped = high != low ? InterpolateFixed(x, low, high, encode_[2 * i], encode_[2 * i + 1]) : x;
  return *functions_.items[i];
}

void StitchingFunction::EvaluateFixed(const Fixed* inputs, Fixed* outputs) const {
  Fixed mapped = 0;
  PdfFunction& sub = MapInput(inputs[0], &mapped);
  FunctionEvaluator::EvaluateFixed(sub, &mapped, outputs);
}

}  // namespace color
