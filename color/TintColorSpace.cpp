#include "color/TintColorSpace.h"

#include "color/IndexedColorSpace.h"
#include "color/TintConverter.h"
#include "runtime/ErrorTrap.h"

namespace color {

TintColorSpace::TintColorSpace(runtime::LibraryContext* context, int32_t colorants,
                               streams::Ref<ColorSpace> alternate, PdfFunctionRef function, bool all)
    : ColorSpace(context, colorants), alternate_(std::move(alternate)), function_(std::move(function)), all_(all) {
  if (colorants <= 0 || colorants > static_cast<int32_t>(PdfFunction::kMaxArity) || !alternate_) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (!function_) {
    if (!all_) runtime::ThrowRuntime(runtime::kMalformed);
    return;
  }
  // A tint transform of another shape would read or write past the
  // components the converters hold.
  if (function_->Inputs() != static_cast<uint32_t>(colorants) ||
      function_->Outputs() != static_cast<uint32_t>(alternate_->ComponentCount())) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
}

ColorConverterPtr TintColorSpace::MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode,
                                                 bool linear) {
  if (all_) return NewConverter<AllSeparationConverter8>(Context(), target);
  ColorConverterPtr wrapped = alternate_->MakeConverter8(target, intent, cacheMode, linear);
  if (!wrapped) return {};
  return NewConverter<TintTransformConverter8>(Context(), function_, std::move(wrapped));
}

ColorConverterPtr TintColorSpace::MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode,
                                                     bool linear) {
  if (all_) return NewConverter<AllSeparationConverterFixed>(Context(), target);
  ColorConverterPtr wrapped = alternate_->MakeConverterFixed(target, intent, cacheMode, linear);
  if (!wrapped) return {};
  return NewConverter<TintTransformConverterFixed>(Context(), function_, std::move(wrapped));
}

uint32_t TintColorSpace::MemorySize() const {
  uint32_t size = 56 + CountedReferenceCharge(*alternate_);
  if (function_) size += 24 + (function_->IsUnique() ? function_->ByteSize() : 0);
  return size;
}

}  // namespace color
