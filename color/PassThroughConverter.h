#pragma once
// The converter of a space into itself: a copy (8-bit) or a clamp to
// [0, 1.0] (16.16), or, for a linear target, the decode to linear light.
#include <cstdint>

#include "color/ColorConverter.h"

namespace color {

class PassThroughConverter final : public ColorConverter {
 public:
  PassThroughConverter(runtime::LibraryContext* context, ComponentType type, int32_t channels, bool linear)
      : ColorConverter(context, type), channels_(channels), linear_(linear) {}

  void ConvertPixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void EncodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;
  void DecodePixel(void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) override;

 private:
  int32_t channels_;
  bool linear_;
};

}  // namespace color
