#include "color/ExponentialFunction.h"

#include "color/FixedPow.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {

using runtime::Array;
using runtime::ObjectHandle;

ExponentialFunction::ExponentialFunction(runtime::LibraryContext* context, const ObjectHandle& domain,
                                         const ObjectHandle& range, const ObjectHandle& c0,
                                         const ObjectHandle& c1, Fixed exponent)
    : PdfFunction(context, kExponential, 4096, 1024), exponent_(exponent) {
  ReadDomainAndRange(domain, range, false);
  if (inputs_ != 1) runtime::ThrowRuntime(runtime::kMalformed);
  // The output count comes from C0, not from Range.
  rangePairs_ = outputs_;
  const uint32_t n = c0.IsNull() ? 1 : Array::Count(c0);
  if (n == 0 || n > kMaxArity) runtime::ThrowRuntime(runtime::kMalformed);
  outputs_ = n;
  if (c0.IsNull()) {
    c0_ = AllocateFixed(1);
    c0_[0] = 0;
  } else {
    c0_ = ReadNumbers(c0, n);
  }
  difference_ = AllocateFixed(n);
  if (!c1.IsNull()) {
    if (Array::Count(c1) != n) runtime::ThrowRuntime(runtime::kMalformed);
    for (uint32_t j = 0; j < n; ++j) {
      difference_[j] = SaturateFixed(int64_t{Array::Get(c1, j)->AsNumber()} - c0_[j]);
    }
  } else {
    if (n != 1) runtime::ThrowRuntime(runtime::kMalformed);
    difference_[0] = SaturateFixed(int64_t{runtime::kFixedOne} - c0_[0]);
  }
}

void ExponentialFunction::EvaluateFixed(const Fixed* inputs, Fixed* outputs) const {
  const Fixed x = ClipToPair(inputs[0], domain_[0], domain_[1]);
  const Fixed t = FixedPow(x, exponent_);
  for (uint32_t j = 0; j < outputs_; ++j) {
    Fixed y = SaturateFixed(int64_t{c0_[j]} + ((static_cast<int64_t>(t) * difference_[j]) >> 16));
    if (j < rangePairs_) y = ClipToPair(y, range_[2 * j], range_[2 * j + 1]);
    outputs[j] = y;
  }
}

}  // namespace color
