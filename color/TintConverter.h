#pragma once
// Converters of Separation and DeviceN spaces: the "All" converters, which
// paint the tint into every component of the target, and the tint
// transform converters, which evaluate the tint function and hand its
// result to the alternate space's converter.
#include <cstdint>

#include "color/ColorConverter.h"
#include "color/FunctionEvaluator.h"

namespace color {

class ColorSpace;

// "All" into an 8-bit target: the tint itself on a subtractive target
// (more ink), 255 - tint on an additive one.
class AllSeparationConverter8 final : public ColorConverter {
 public:
  AllSeparationConverter8(runtime::LibraryContext* context, const ColorSpace& target);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  uint32_t count_;
  bool subtractive_;
};

// "All" into a 16.16 target: the tint (or 1.0 - tint) clamped to [0, 1.0].
class AllSeparationConverterFixed final : public ColorConverter {
 public:
  AllSeparationConverterFixed(runtime::LibraryContext* context, const ColorSpace& target);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  uint32_t count_;
  bool subtractive_;
};

// The tint function, then the alternate's converter; the encode and decode
// operations are the alternate converter's.
class TintTransformConverter8 final : public ColorConverter {
 public:
  TintTransformConverter8(runtime::LibraryContext* context, const PdfFunctionRef& function,
                          ColorConverterPtr alternate);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  FunctionEvaluator evaluator_;
  ColorConverterPtr alternate_;
  uint8_t scratch_[PdfFunction::kMaxArity];
};

class TintTransformConverterFixed final : public ColorConverter {
 public:
  TintTransformConverterFixed(runtime::LibraryContext* context, const PdfFunctionRef& function,
                              ColorConverterPtr alternate);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  FunctionEvaluator evaluator_;
  ColorConverterPtr alternate_;
  Fixed scratch_[PdfFunction::kMaxArity];
};

}  // namespace color
