#pragma once
// The colour space of an image: its "ColorSpace" value (or an inline
// image's operands) parsed for image use, with the checks images need.
#include <cstdint>
#include <string_view>

#include "color/ColorSpaceRecord.h"
#include "runtime/ObjectHandle.h"

namespace content {
class ColorSpaceOperands;
}

namespace color {

class ColorContext;

struct ImageColorSpace {
  // The decoder of an image format that carries its own colour space.
  class Provider {
   public:
    virtual streams::Ref<ColorSpace> ProvideColorSpace(ColorContext& colors) = 0;

   protected:
    ~Provider() = default;
  };

  ColorSpaceRecord record;
  int32_t componentCount = 0;
  bool indexed = false;

  // A name or an array of the document, else the provider's space; 16-bit
  // samples when `bitsPerComponent` is 16. (runtime, 2) for a Pattern
  // space, no space at all, or bits per component outside 1, 2, 4, 8, 16.
  static ImageColorSpace Parse(ColorContext& colors, const runtime::ObjectHandle& value,
                               const runtime::ObjectHandle& resources, bool abbreviations,
                               int32_t bitsPerComponent, Provider* provider);
  // The inline-image form: a family name, or the operands of an array
  // (null for a name).
  static ImageColorSpace ParseCol(ColorContext& colors, std::string_view family,
                                  content::ColorSpaceOperands* array, const runtime::ObjectHandle& resources,
                                  int32_t bitsPerComponent);
};

}  // namespace color
