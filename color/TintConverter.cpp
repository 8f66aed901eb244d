#include "color/TintConverter.h"

#include "color/ColorSpace.h"
#include "color/GammaConversion.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

uint32_t AllTargetComponents(const ColorSpace& target) {
  const int32_t count = target.ComponentCount();
  if (count <= 0 || static_cast<uint32_t>(count) > PdfFunction::kMaxArity) runtime::ThrowRuntime(runtime::kMalformed);
  return static_cast<uint32_t>(count);
}

// The tint function on one pixel into contiguous outputs.
void EvaluateTint(const FunctionEvaluator& evaluator, uint8_t* outputs, const uint8_t* source, int32_t sourceStep) {
  evaluator.EvalBytes(outputs, 1, source, sourceStep);
}
void EvaluateTint(const FunctionEvaluator& evaluator, Fixed* outputs, const Fixed* source, int32_t sourceStep) {
  evaluator.EvalFixed(outputs, sizeof(Fixed), source,
                      static_cast<ptrdiff_t>(sourceStep) * static_cast<ptrdiff_t>(sizeof(Fixed)));
}

}  // namespace

template <class Component>
AllSeparationConverterOf<Component>::AllSeparationConverterOf(runtime::LibraryContext* context,
                                                              const ColorSpace& target)
    : ColorConverter(context, ComponentTraits<Component>::kType),
      count_(AllTargetComponents(target)),
      subtractive_(target.IsSubtractive()) {}

template <class Component>
void AllSeparationConverterOf<Component>::ConvertPixel(void* destination, int32_t destinationStep,
                                                       const void* source, int32_t) {
  using Traits = ComponentTraits<Component>;
  const Component tint = Traits::Clamp(*static_cast<const Component*>(source));
  const Component value = subtractive_ ? tint : static_cast<Component>(Traits::kOne - tint);
  auto* out = static_cast<Component*>(destination);
  for (uint32_t c = 0; c < count_; ++c) ComponentAt(out, c, destinationStep) = value;
}

// The "All" converters wrap no converter to forward the display gamma to:
// they apply it over the target's components themselves.
template <class Component>
void AllSeparationConverterOf<Component>::EncodePixel(void* destination, int32_t destinationStep,
                                                      const void* source, int32_t sourceStep) {
  EncodeGamma(static_cast<Component*>(destination), destinationStep, static_cast<const Component*>(source),
              sourceStep, count_);
}

template <class Component>
void AllSeparationConverterOf<Component>::DecodePixel(void* destination, int32_t destinationStep,
                                                      const void* source, int32_t sourceStep) {
  DecodeGamma(static_cast<Component*>(destination), destinationStep, static_cast<const Component*>(source),
              sourceStep, count_);
}

template <class Component>
TintTransformConverterOf<Component>::TintTransformConverterOf(runtime::LibraryContext* context,
                                                              const PdfFunctionRef& function,
                                                              ColorConverterPtr alternate)
    : WrappingConverter(context, ComponentTraits<Component>::kType, std::move(alternate)), evaluator_(function) {}

template <class Component>
void TintTransformConverterOf<Component>::ConvertPixel(void* destination, int32_t destinationStep,
                                                       const void* source, int32_t sourceStep) {
  EvaluateTint(evaluator_, scratch_, static_cast<const Component*>(source), sourceStep);
  Wrapped().ConvertPixel(destination, destinationStep, scratch_, 1);
}

template class AllSeparationConverterOf<uint8_t>;
template class AllSeparationConverterOf<Fixed>;
template class TintTransformConverterOf<uint8_t>;
template class TintTransformConverterOf<Fixed>;

}  // namespace color
