#pragma once
// Converters of Separation and DeviceN spaces: the "All" converters, which
// paint the tint into every component of the target, and the tint
// transform converters, which evaluate the tint function and hand its
// result to the alternate space's converter. Each has an 8-bit and a 16.16
// form.
#include <cstdint>

#include "color/ColorConverter.h"
#include "color/FunctionEvaluator.h"

namespace color {

class ColorSpace;

// "All": the tint itself on a subtractive target (more ink), full
// intensity less the tint on an additive one; a 16.16 tint is clamped to
// [0, 1.0] first.
template <class Component>
class AllSeparationConverterOf final : public ColorConverter {
 public:
  AllSeparationConverterOf(runtime::LibraryContext* context, const ColorSpace& target);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  uint32_t count_;
  bool subtractive_;
};

// The tint function, then the alternate's converter.
template <class Component>
class TintTransformConverterOf final : public WrappingConverter {
 public:
  TintTransformConverterOf(runtime::LibraryContext* context, const PdfFunctionRef& function,
                           ColorConverterPtr alternate);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  FunctionEvaluator evaluator_;
  Component scratch_[PdfFunction::kMaxArity];
};

using AllSeparationConverter8 = AllSeparationConverterOf<uint8_t>;
using AllSeparationConverterFixed = AllSeparationConverterOf<Fixed>;
using TintTransformConverter8 = TintTransformConverterOf<uint8_t>;
using TintTransformConverterFixed = TintTransformConverterOf<Fixed>;

extern template class AllSeparationConverterOf<uint8_t>;
extern template class AllSeparationConverterOf<Fixed>;
extern template class TintTransformConverterOf<uint8_t>;
extern template class TintTransformConverterOf<Fixed>;

}  // namespace color
