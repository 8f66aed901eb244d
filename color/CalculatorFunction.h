#pragma once
// FunctionType 4: a program in the PostScript calculator language, parsed
// once into lists of instructions and run on an operand stack of integers,
// reals (16.16) and booleans for each evaluation.
#include <cstdint>

#include "color/PdfFunction.h"
#include "runtime/ObjectValue.h"
#include "streams/DataStream.h"

namespace color {

struct CalcProcedure;

// One operand: an integer, a real (Fixed) or a boolean.
struct CalcValue {
  runtime::ObjectTag tag;
  int32_t value;
};

class CalculatorFunction final : public PdfFunction {
 public:
  // Procedures nest at most this deep; the interpreter recurses once per
  // level, so a crafted program cannot exhaust the stack.
  static constexpr uint32_t kMaxNesting = 64;
  // Operands beyond this many are a stack overflow (runtime, 1).
  static constexpr uint32_t kMaxOperands = 256;

  CalculatorFunction(runtime::LibraryContext* context, const runtime::ObjectHandle& domain,
                     const runtime::ObjectHandle& range);

  // Reads the program from the stream `dictionary` through `opener`.
  // (runtime, 2) for a malformed program or odd Domain or Range lengths;
  // (runtime, 1) for a token outside the outermost braces.
  static PdfFunctionRef Create(runtime::LibraryContext* context, const runtime::ObjectHandle& domain,
                               const runtime::ObjectHandle& range,
                               const runtime::ObjectHandle& dictionary, streams::StreamOpener* opener);
  // Compiles `text` (the stream's bytes); for Create and tests.
  void Compile(streams::DataStream& text);

  // Pushes the inputs as reals, runs the program and pops n results into
  // `outputs`, last output first; an integer result becomes a real. The
  // operand stack starts empty each time.
  void EvaluateFixed(const Fixed* inputs, Fixed* outputs);
  // The byte form's outputs before their conversion to bytes: as
  // EvaluateFixed, then normalised by the Range pairs when a Range leaves
  // [0, 1].
  void EvaluateUnit(const Fixed* inputs, Fixed* outputs);
  // Runs the program on `operands` (pushed in order) and leaves the whole
  // stack in `result` (bottom first, at most `capacity`); returns the
  // stack's depth. For tests of single operators.
  uint32_t Run(const CalcValue* operands, uint32_t count, CalcValue* result, uint32_t capacity);

 private:
  uint32_t SelfSize() const override { return sizeof(*this); }
  void RunProgram(const Fixed* inputs);
  Fixed PopNumberAsFixed();

  const CalcProcedure* program_ = nullptr;
  CalcValue* stack_ = nullptr;
  uint32_t depth_ = 0;
  // (Range minimum, 1 / (maximum - minimum)) per output, or null.
  Fixed* normalisation_ = nullptr;

  friend class CalcInterp;
};

}  // namespace color
