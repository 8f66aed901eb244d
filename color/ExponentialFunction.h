#pragma once
// FunctionType 2: y_j = C0_j + x^N (C1_j - C0_j) of one input.
#include "color/PdfFunction.h"

namespace color {

class ExponentialFunction final : public PdfFunction {
 public:
  // (runtime, 2) for more or fewer than one input, or C1 of another length
  // than C0 (than 1 without C0).
  ExponentialFunction(runtime::LibraryContext* context, const runtime::ObjectHandle& domain,
                      const runtime::ObjectHandle& range, const runtime::ObjectHandle& c0,
                      const runtime::ObjectHandle& c1, Fixed exponent);

  // The input is clipped to the Domain like every other function type's;
  // each output is clipped to its Range pair when it has one.
  void EvaluateFixed(const Fixed* inputs, Fixed* outputs) const;

 private:
  uint32_t SelfSize() const override { return sizeof(*this); }

  Fixed* c0_ = nullptr;
  Fixed* difference_ = nullptr;  // C1 - C0
  Fixed exponent_;
  // Range pairs present for the outputs (Range may list fewer pairs).
  uint32_t rangePairs_ = 0;
};

}  // namespace color
