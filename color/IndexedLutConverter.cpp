#include "color/IndexedLutConverter.h"

#include <algorithm>

#include "color/ColorSpace.h"
#include "color/IndexedColorSpace.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

// Components a converter may write per pixel (the largest DeviceN), and
// the most a palette entry may have.
constexpr uint32_t kMaxLutComponents = 32;

uint32_t CheckedLutComponents(int32_t count) {
  if (count <= 0 || static_cast<uint32_t>(count) > kMaxLutComponents) runtime::ThrowRuntime(runtime::kMalformed);
  return static_cast<uint32_t>(count);
}

// The palette index of a sample, unsigned: a negative 16.16 sample wraps
// above hival and takes the last entry.
uint32_t PaletteIndex(uint8_t sample) { return sample; }
uint32_t PaletteIndex(Fixed sample) { return static_cast<uint32_t>(sample >> 16); }

}  // namespace

template <class Component>
IndexedLutConverterOf<Component>::IndexedLutConverterOf(runtime::LibraryContext* context,
                                                        const IndexedColorSpace& space, const ColorSpace& target,
                                                        ColorConverterPtr wrapped)
    : WrappingConverter(context, ComponentTraits<Component>::kType, std::move(wrapped)),
      hival_(space.Hival()),
      entrySize_(CheckedLutComponents(target.ComponentCount())) {
  const uint32_t baseCount = CheckedLutComponents(space.Base().ComponentCount());
  table_.Allocate(context, (hival_ + 1) * entrySize_);
  Component input[kMaxLutComponents];
  for (uint32_t i = 0; i <= hival_; ++i) {
    const uint8_t* entry = space.Palette() + i * baseCount;
    for (uint32_t c = 0; c < baseCount; ++c) input[c] = ComponentTraits<Component>::FromByte(entry[c]);
    Wrapped().ConvertPixel(table_.Data() + i * entrySize_, 1, input, 1);
  }
}

template <class Component>
const Component* IndexedLutConverterOf<Component>::Entry(Component sample) const {
  return table_.Data() + std::min(hival_, PaletteIndex(sample)) * entrySize_;
}

template <class Component>
void IndexedLutConverterOf<Component>::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                                    int32_t) {
  const Component* entry = Entry(*static_cast<const Component*>(source));
  auto* out = static_cast<Component*>(destination);
  for (uint32_t c = 0; c < entrySize_; ++c) ComponentAt(out, c, destinationStep) = entry[c];
}

template <class Component>
void IndexedLutConverterOf<Component>::ConvertRect(const ColorBuffer& destination, const ColorBuffer& source,
                                                   int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const int32_t step = StepOf(destination);
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* out = destination.PixelAt(x0, y);
    const uint8_t* in = source.PixelAt(x0, y);
    for (int32_t x = x0; x < x1; ++x, out += destination.pixelStep, in += source.pixelStep) {
      const Component* entry = Entry(*reinterpret_cast<const Component*>(in));
      auto* pixel = reinterpret_cast<Component*>(out);
      for (uint32_t c = 0; c < entrySize_; ++c) ComponentAt(pixel, c, step) = entry[c];
    }
  }
}

template class IndexedLutConverterOf<uint8_t>;
template class IndexedLutConverterOf<Fixed>;

}  // namespace color
