#include "color/IndexedLutConverter.h"

#include <algorithm>

#include "color/ColorSpace.h"
#include "color/IndexedColorSpace.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

// Components a converter may write per pixel (the largest DeviceN).
constexpr uint32_t kMaxTargetComponents = 32;

uint32_t TargetComponents(const ColorSpace& target) {
  const int32_t count = target.ComponentCount();
  if (count <= 0 || static_cast<uint32_t>(count) > kMaxTargetComponents) runtime::ThrowRuntime(runtime::kMalformed);
  return static_cast<uint32_t>(count);
}

}  // namespace

IndexedLutConverter::IndexedLutConverter(runtime::LibraryContext* context, const IndexedColorSpace& space,
                                         const ColorSpace& target, ColorConverterPtr wrapped)
    : ColorConverter(context, kBytes), hival_(space.Hival()), entrySize_(TargetComponents(target)),
      wrapped_(std::move(wrapped)) {
  const uint32_t baseCount = static_cast<uint32_t>(space.Base().ComponentCount());
  table_.Allocate(context, (hival_ + 1) * entrySize_);
  for (uint32_t i = 0; i <= hival_; ++i) {
    wrapped_->ConvertPixel(table_.Data() + i * entrySize_, 1, space.Palette() + i * baseCount, 1);
  }
}

void IndexedLutConverter::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                       int32_t) {
  const uint32_t index = std::min<uint32_t>(hival_, *static_cast<const uint8_t*>(source));
  const uint8_t* entry = table_.Data() + index * entrySize_;
  auto* out = static_cast<uint8_t*>(destination);
  for (uint32_t c = 0; c < entrySize_; ++c) out[c * destinationStep] = entry[c];
}

void IndexedLutConverter::ConvertRect(const ColorBuffer& destination, const ColorBuffer& source, int32_t x0,
                                      int32_t y0, int32_t x1, int32_t y1) {
  const int32_t step = destination.componentStep;
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* out = destination.PixelAt(x0, y);
    const uint8_t* in = source.PixelAt(x0, y);
    for (int32_t x = x0; x < x1; ++x) {
      const uint8_t* entry = table_.Data() + std::min<uint32_t>(hival_, *in) * entrySize_;
      for (uint32_t c = 0; c < entrySize_; ++c) out[c * step] = entry[c];
      out += destination.pixelStep;
      in += source.pixelStep;
    }
  }
}

void IndexedLutConverter::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                      int32_t sourceStep) {
  wrapped_->EncodePixel(destination, destinationStep, source, sourceStep);
}

void IndexedLutConverter::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                      int32_t sourceStep) {
  wrapped_->DecodePixel(destination, destinationStep, source, sourceStep);
}

IndexedLutConverterFixed::IndexedLutConverterFixed(runtime::LibraryContext* context, const IndexedColorSpace& space,
                                                   const ColorSpace& target, ColorConverterPtr wrapped)
    : ColorConverter(context, kFixed), hival_(space.Hival()), entrySize_(TargetComponents(target)),
      wrapped_(std::move(wrapped)) {
  const uint32_t baseCount = static_cast<uint32_t>(space.Base().ComponentCount());
  if (baseCount > kMaxTargetComponents) runtime::ThrowRuntime(runtime::kMalformed);
  table_.Allocate(context, (hival_ + 1) * entrySize_);
  Fixed scratch[kMaxTargetComponents];
  for (uint32_t i = 0; i <= hival_; ++i) {
    const uint8_t* entry = space.Palette() + i * baseCount;
    for (uint32_t c = 0; c < baseCount; ++c) scratch[c] = ByteToFixed(entry[c]);
    wrapped_->ConvertPixel(table_.Data() + i * entrySize_, 1, scratch, 1);
  }
}

void IndexedLutConverterFixed::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                            int32_t) {
  // Compared unsigned: a negative index takes hival as well.
  const uint32_t index = static_cast<uint32_t>(*static_cast<const Fixed*>(source) >> 16);
  const Fixed* entry = table_.Data() + std::min(hival_, index) * entrySize_;
  auto* out = static_cast<Fixed*>(destination);
  for (uint32_t c = 0; c < entrySize_; ++c) out[c * destinationStep] = entry[c];
}

void IndexedLutConverterFixed::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                           int32_t sourceStep) {
  wrapped_->EncodePixel(destination, destinationStep, source, sourceStep);
}

void IndexedLutConverterFixed::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                           int32_t sourceStep) {
  wrapped_->DecodePixel(destination, destinationStep, source, sourceStep);
}

}  // namespace color
