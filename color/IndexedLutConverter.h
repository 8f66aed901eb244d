#pragma once
// Converters of Indexed spaces: every palette entry is converted once, when
// the converter is made, into the target's components; pixels then copy
// table entries. An index above hival takes the last entry. The 8-bit form
// reads the index from the byte; the 16.16 form from the integer part of
// the sample, and a negative one takes the last entry too.
#include <cstdint>

#include "color/ColorConverter.h"
#include "color/ContextArray.h"

namespace color {

class ColorSpace;
class IndexedColorSpace;

template <class Component>
class IndexedLutConverterOf final : public WrappingConverter {
 public:
  // `wrapped` converts the base space into the target.
  IndexedLutConverterOf(runtime::LibraryContext* context, const IndexedColorSpace& space, const ColorSpace& target,
                        ColorConverterPtr wrapped);

  void ConvertRect(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0, int32_t x1,
                   int32_t y1) override;
  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  const Component* Entry(Component sample) const;

  uint32_t hival_;
  uint32_t entrySize_;
  ContextArray<Component> table_;
};

using IndexedLutConverter = IndexedLutConverterOf<uint8_t>;
using IndexedLutConverterFixed = IndexedLutConverterOf<Fixed>;

extern template class IndexedLutConverterOf<uint8_t>;
extern template class IndexedLutConverterOf<Fixed>;

}  // namespace color
