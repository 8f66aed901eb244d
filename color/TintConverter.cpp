#include "color/TintConverter.h"

#include <algorithm>

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

// The display gamma over the target's components, for the "All"
// converters, which wrap no converter to forward it to.
void GammaBytes(uint8_t (*map)(uint8_t), void* destination, int32_t destinationStep, const void* source,
                int32_t sourceStep, uint32_t count) {
  auto* out = static_cast<uint8_t*>(destination);
  const auto* in = static_cast<const uint8_t*>(source);
  for (uint32_t c = 0; c < count; ++c) out[c * destinationStep] = map(in[c * sourceStep]);
}

}  // namespace

AllSeparationConverter8::AllSeparationConverter8(runtime::LibraryContext* context, const ColorSpace& target)
    : ColorConverter(context, kBytes), count_(AllTargetComponents(target)), subtractive_(target.IsSubtractive()) {}

void AllSeparationConverter8::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                           int32_t) {
  const uint8_t tint = *static_cast<const uint8_t*>(source);
  const uint8_t value = subtractive_ ? tint : static_cast<uint8_t>(255 - tint);
  auto* out = static_cast<uint8_t*>(destination);
  for (uint32_t c = 0; c < count_; ++c) out[c * destinationStep] = value;
}

void AllSeparationConverter8::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                          int32_t sourceStep) {
  GammaBytes(EncodeGammaByte, destination, destinationStep, source, sourceStep, count_);
}

void AllSeparationConverter8::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                          int32_t sourceStep) {
  GammaBytes(DecodeGammaByte, destination, destinationStep, source, sourceStep, count_);
}

AllSeparationConverterFixed::AllSeparationConverterFixed(runtime::LibraryContext* context, const ColorSpace& target)
    : ColorConverter(context, kFixed), count_(AllTargetComponents(target)), subtractive_(target.IsSubtractive()) {}

void AllSeparationConverterFixed::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                               int32_t) {
  const Fixed tint = std::clamp(*static_cast<const Fixed*>(source), 0, runtime::kFixedOne);
  const Fixed value = subtractive_ ? tint : runtime::kFixedOne - tint;
  auto* out = static_cast<Fixed*>(destination);
  for (uint32_t c = 0; c < count_; ++c) out[c * destinationStep] = value;
}

void AllSeparationConverterFixed::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                              int32_t sourceStep) {
  EncodeGammaFixed(static_cast<Fixed*>(destination), destinationStep, static_cast<const Fixed*>(source), sourceStep,
                   count_);
}

void AllSeparationConverterFixed::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                              int32_t sourceStep) {
  DecodeGammaFixed(static_cast<Fixed*>(destination), destinationStep, static_cast<const Fixed*>(source), sourceStep,
                   count_);
}

TintTransformConverter8::TintTransformConverter8(runtime::LibraryContext* context, const PdfFunctionRef& function,
                                                 ColorConverterPtr alternate)
    : ColorConverter(context, kBytes), evaluator_(function), alternate_(std::move(alternate)) {}

void TintTransformConverter8::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                           int32_t sourceStep) {
  evaluator_.EvalBytes(scratch_, 1, static_cast<const uint8_t*>(source), sourceStep);
  alternate_->ConvertPixel(destination, destinationStep, scratch_, 1);
}

void TintTransformConverter8::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                          int32_t sourceStep) {
  alternate_->EncodePixel(destination, destinationStep, source, sourceStep);
}

void TintTransformConverter8::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                          int32_t sourceStep) {
  alternate_->DecodePixel(destination, destinationStep, source, sourceStep);
}

TintTransformConverterFixed::TintTransformConverterFixed(runtime::LibraryContext* context,
                                                         const PdfFunctionRef& function, ColorConverterPtr alternate)
    : ColorConverter(context, kFixed), evaluator_(function), alternate_(std::move(alternate)) {}

void TintTransformConverterFixed::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                               int32_t sourceStep) {
  evaluator_.EvalFixed(scratch_, sizeof(Fixed), static_cast<const Fixed*>(source),
                       static_cast<ptrdiff_t>(sourceStep) * static_cast<ptrdiff_t>(sizeof(Fixed)));
  alternate_->ConvertPixel(destination, destinationStep, scratch_, 1);
}

void TintTransformConverterFixed::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                              int32_t sourceStep) {
  alternate_->EncodePixel(destination, destinationStep, source, sourceStep);
}

void TintTransformConverterFixed::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                              int32_t sourceStep) {
  alternate_->DecodePixel(destination, destinationStep, source, sourceStep);
}

}  // namespace color
