#pragma once
// Converters of Indexed spaces: every palette entry is converted once, when
// the converter is made, into the target's components; pixels then copy
// table entries. An index above hival takes the last entry.
#include <cstdint>

#include "color/ColorConverter.h"
#include "color/ContextArray.h"

namespace color {

class ColorSpace;
class IndexedColorSpace;

// 8-bit components: entries of the target's component count in bytes.
class IndexedLutConverter final : public ColorConverter {
 public:
  IndexedLutConverter(runtime::LibraryContext* context, const IndexedColorSpace& space, const ColorSpace& target,
                      ColorConverterPtr wrapped);

  void ConvertRect(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0, int32_t y0, int32_t x1,
                   int32_t y1) override;
  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  uint32_t hival_;
  uint32_t entrySize_;
  ContextArray<uint8_t> table_;
  ColorConverterPtr wrapped_;
};

// 16.16 components: the index is the integer part of the sample, and a
// negative one takes the last entry too.
class IndexedLutConverterFixed final : public ColorConverter {
 public:
  IndexedLutConverterFixed(runtime::LibraryContext* context, const IndexedColorSpace& space,
                           const ColorSpace& target, ColorConverterPtr wrapped);

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  uint32_t hival_;
  uint32_t entrySize_;
  ContextArray<Fixed> table_;
  ColorConverterPtr wrapped_;
};

}  // namespace color
