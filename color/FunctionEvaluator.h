#pragma once
// Runs one function on 8-bit or 16.16 values at any stride. The routine
// for the function's type is chosen once, when the evaluator is built, so
// a converter that evaluates a tint transform per pixel makes no choice
// per pixel.
#include <cstddef>
#include <cstdint>

#include "color/PdfFunction.h"

namespace color {

class FunctionEvaluator {
 public:
  using Routine = void (*)(PdfFunction& function, const Fixed* inputs, Fixed* outputs);

  // (runtime, 2) for a function of a type no evaluator knows.
  explicit FunctionEvaluator(PdfFunctionRef function);

  // m input bytes `inStride` apart to n output bytes `outStride` apart.
  // Every output is clamped to 0..255, never wrapped.
  void EvalBytes(uint8_t* out, ptrdiff_t outStride, const uint8_t* in, ptrdiff_t inStride) const;
  // The same on 16.16 values; the strides count bytes.
  void EvalFixed(Fixed* out, ptrdiff_t outStride, const Fixed* in, ptrdiff_t inStride) const;

  const PdfFunction& Function() const { return *function_; }

  // Contiguous forms of any function, by its type: the Fixed result, and
  // the values the byte form converts (the sampled function's unit range
  // in place of Decode, the calculator's Range normalisation).
  static void EvaluateFixed(PdfFunction& function, const Fixed* inputs, Fixed* outputs);
  static void EvaluateUnit(PdfFunction& function, const Fixed* inputs, Fixed* outputs);

 private:
  PdfFunctionRef function_;
  Routine fixed_;
  Routine unit_;
};

}  // namespace color
