#pragma once
// Separation and DeviceN spaces: n colorants whose tints a tint transform
// maps into the alternate space, or, for the Separation colorant "All",
// the tint painted into every component of the target.
#include <cstdint>

#include "color/ColorSpace.h"
#include "color/PdfFunction.h"

namespace color {

class TintColorSpace final : public ColorSpace {
 public:
  // `function` may be null only for "All". A function must take n inputs
  // and give the alternate's component count: (runtime, 2) otherwise.
  TintColorSpace(runtime::LibraryContext* context, int32_t colorants, streams::Ref<ColorSpace> alternate,
                 PdfFunctionRef function, bool all);

  bool HasTintTransform() const override { return true; }
  bool IsSubtractive() const override { return alternate_->IsSubtractive(); }
  ColorConverterPtr MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) override;
  ColorConverterPtr MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) override;
  uint32_t MemorySize() const override;

  ColorSpace& Alternate() const { return *alternate_; }
  const PdfFunctionRef& TintTransform() const { return function_; }
  bool IsAll() const { return all_; }

 private:
  streams::Ref<ColorSpace> alternate_;
  PdfFunctionRef function_;
  bool all_;
};

}  // namespace color
