#pragma once
// What a shading dictionary holds: the entries common to every shading
// type (ShadingDict, with its functions in ShadingFunctions) and the
// parameter records of the function-based, axial and radial types, read
// from the PDF objects. Every malformed entry is (runtime, 2).
#include <cstdint>

#include "color/ColorSpace.h"
#include "color/PdfFunction.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace streams {
class StreamOpener;
}

namespace color {

class ColorContext;

// The shading's "Function": one function giving every colour component,
// or one function per component (each with one output).
class ShadingFunctions {
 public:
  // The value of "Function": a dictionary or stream, or an array of them.
  // (runtime, 2) for any other value, an empty array or more functions than
  // a colour has components.
  void Parse(runtime::LibraryContext* context, const runtime::ObjectHandle& value, streams::StreamOpener* opener);
  // Functions, inputs and outputs must fit the shading: one function with
  // `components` outputs or `components` functions of one output, each
  // taking `inputs` values. (runtime, 2) otherwise.
  void CheckArity(int32_t components, uint32_t inputs) const;

  bool IsPresent() const { return count_ != 0; }
  uint32_t Count() const { return count_; }
  // Every output from the inputs: the one function fills them all, or
  // function i writes output i.
  void Evaluate(Fixed* outputs, const Fixed* inputs) const;
  // The first function's Domain (the range of t for meshes).
  const PdfFunction& First() const { return *functions_[0]; }

 private:
  PdfFunctionRef functions_[PdfFunction::kMaxArity];
  uint32_t count_ = 0;
};

struct ShadingDict {
  static constexpr uint32_t kMaxComponents = PdfFunction::kMaxArity;

  ColorSpaceRef space;  // empty: the shading has no colour space
  bool hasBackground = false;
  Fixed background[kMaxComponents] = {};
  bool hasBBox = false;
  runtime::Rect bbox;  // elements 0..3 as written
  bool antiAlias = false;  // axial and radial colours mix neighbouring table entries
  ShadingFunctions functions;

  int32_t Components() const { return space ? space->ComponentCount() : 0; }
};

struct FunctionBasedParams {
  Fixed x0 = 0, x1 = runtime::kFixedOne, y0 = 0, y1 = runtime::kFixedOne;
  runtime::Matrix matrix;
};

// Coordinates are doubles: shadings laid out in fine units (a few million
// across) under a scaling matrix do not fit 16.16.
struct AxialParams {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Fixed t0 = 0, t1 = runtime::kFixedOne;
  bool extend0 = false, extend1 = false;
};

struct RadialParams {
  double x0 = 0, y0 = 0, r0 = 0, x1 = 0, y1 = 0, r1 = 0;
  Fixed t0 = 0, t1 = runtime::kFixedOne;
  bool extend0 = false, extend1 = false;
};

struct ShadingReader {
  // The common entries. "ColorSpace" is required: a missing or mistyped
  // entry is (runtime, 2); a space that resolves to nothing (a Pattern)
  // leaves `space` empty. "Background" is read unless `ignoreBackground`.
  static void ParseDict(ShadingDict& dict, ColorContext& colors, bool ignoreBackground,
                        const runtime::ObjectHandle& resources, const runtime::ObjectHandle& shading);
  static FunctionBasedParams ReadFunctionBased(const runtime::ObjectHandle& shading);
  static AxialParams ReadAxial(const runtime::ObjectHandle& shading);
  static RadialParams ReadRadial(const runtime::ObjectHandle& shading);
};

}  // namespace color
