#include "color/FunctionEvaluator.h"

#include "color/CalculatorFunction.h"
#include "color/ExponentialFunction.h"
#include "color/ColorConverter.h"
#include "color/SampledFunction.h"
#include "color/StitchingFunction.h"
#include <type_traits>

#include "runtime/ErrorTrap.h"

namespace color {

namespace {

void EvaluateIdentity(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  for (uint32_t j = 0; j < function.Outputs(); ++j) outputs[j] = inputs[j];
}
void EvaluateSampledFixed(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  static_cast<SampledFunction&>(function).EvaluateFixed(inputs, outputs);
}
void EvaluateSampledUnit(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  static_cast<SampledFunction&>(function).EvaluateUnit(inputs, outputs);
}
void EvaluateExponential(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  static_cast<ExponentialFunction&>(function).EvaluateFixed(inputs, outputs);
}
// Sub-functions of a stitching function run in Fixed in both forms; only
// the final outputs become bytes.
void EvaluateStitching(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  static_cast<StitchingFunction&>(function).EvaluateFixed(inputs, outputs);
}
void EvaluateCalculatorFixed(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  static_cast<CalculatorFunction&>(function).EvaluateFixed(inputs, outputs);
}
void EvaluateCalculatorUnit(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  static_cast<CalculatorFunction&>(function).EvaluateUnit(inputs, outputs);
}

struct FunctionRoutines {
  FunctionEvaluator::Routine fixed;
  FunctionEvaluator::Routine unit;
};

FunctionRoutines RoutinesFor(int32_t type) {
  switch (type) {
    case PdfFunction::kIdentity:
      return {EvaluateIdentity, EvaluateIdentity};
    case PdfFunction::kSampled:
      return {EvaluateSampledFixed, EvaluateSampledUnit};
    case PdfFunction::kExponential:
      return {EvaluateExponential, EvaluateExponential};
    case PdfFunction::kStitching:
      return {EvaluateStitching, EvaluateStitching};
    case PdfFunction::kCalculator:
      return {EvaluateCalculatorFixed, EvaluateCalculatorUnit};
    default:
      runtime::ThrowRuntime(runtime::kMalformed);
  }
}

template <class T>
T* Advanced(T* pointer, ptrdiff_t bytes) {
  using Byte = std::conditional_t<std::is_const_v<T>, const uint8_t, uint8_t>;
  return reinterpret_cast<T*>(reinterpret_cast<Byte*>(pointer) + bytes);
}

}  // namespace

FunctionEvaluator::FunctionEvaluator(PdfFunctionRef function) : function_(std::move(function)) {
  const FunctionRoutines routines = RoutinesFor(function_->TypeCode());
  fixed_ = routines.fixed;
  unit_ = routines.unit;
}

void FunctionEvaluator::EvaluateFixed(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  RoutinesFor(function.TypeCode()).fixed(function, inputs, outputs);
}

void FunctionEvaluator::EvaluateUnit(PdfFunction& function, const Fixed* inputs, Fixed* outputs) {
  RoutinesFor(function.TypeCode()).unit(function, inputs, outputs);
}

void FunctionEvaluator::EvalBytes(uint8_t* out, ptrdiff_t outStride, const uint8_t* in,
                                  ptrdiff_t inStride) const {
  PdfFunction& function = *function_;
  const uint32_t m = function.Inputs();
  const uint32_t n = function.Outputs();
  if (function.TypeCode() == PdfFunction::kIdentity) {
    for (uint32_t j = 0; j < n; ++j) out[j * outStride] = in[j * inStride];
    return;
  }
  Fixed inputs[PdfFunction::kMaxArity];
  Fixed outputs[PdfFunction::kMaxArity];
  for (uint32_t i = 0; i < m; ++i) inputs[i] = ByteToFixed(in[i * inStride]);
  unit_(function, inputs, outputs);
  for (uint32_t j = 0; j < n; ++j) out[j * outStride] = ClampedFixedToByte(outputs[j]);
}

void FunctionEvaluator::EvalFixed(Fixed* out, ptrdiff_t outStride, const Fixed* in,
                                  ptrdiff_t inStride) const {
  PdfFunction& function = *function_;
  Fixed inputs[PdfFunction::kMaxArity];
  Fixed outputs[PdfFunction::kMaxArity];
  for (uint32_t i = 0; i < function.Inputs(); ++i) inputs[i] = *Advanced(in, i * inStride);
  fixed_(function, inputs, outputs);
  for (uint32_t j = 0; j < function.Outputs(); ++j) *Advanced(out, j * outStride) = outputs[j];
}

}  // namespace color
