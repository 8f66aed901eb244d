#include "color/ColorSpace.h"

#include <utility>

#include "color/IccTransform.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

// Tells this subsystem's colour spaces from other implementations of the
// raster interface: its address is the tag.
constexpr char kColorSpaceFamilyTag = 0;

// A colour converter as the raster pipeline calls it: one span at a time.
// The arena scope that holds it destroys it, and with it the converter.
class PixelConverterAdapter final : public runtime::PixelConverter {
 public:
  explicit PixelConverterAdapter(ColorConverterPtr converter) : converter_(std::move(converter)) {}

  void ConvertSpan(const runtime::SpanCursor& destination, uint32_t, const runtime::SpanCursor& source,
                   int32_t count) override {
    converter_->ConvertRow(destination, count, source);
  }

 private:
  ColorConverterPtr converter_;
};

}  // namespace

const void* ColorSpace::ImplementationOf(const void* family) const {
  return family == &kColorSpaceFamilyTag ? this : nullptr;
}

ColorSpace* ColorSpace::FromRaster(const raster::ColorSpace& space) {
  // The spaces are counted objects shared by the painter and the device;
  // converting from or into one updates its transform caches, so the
  // raster side's const view of a target does not make the space constant.
  const void* own = space.ImplementationOf(&kColorSpaceFamilyTag);
  return const_cast<ColorSpace*>(static_cast<const ColorSpace*>(own));
}

runtime::PixelConverter* ColorSpace::MakeConverter(runtime::ArenaAllocator& arena, const raster::ColorSpace& target) {
  ColorSpace* own = FromRaster(target);
  if (own == nullptr) runtime::ThrowRuntime(runtime::kUnsupported);
  ColorConverterPtr converter = MakeConverter(*own, kRelativeColorimetric, 1, false);
  if (!converter) runtime::ThrowRuntime(runtime::kOutOfMemory);
  return runtime::NewInArena<PixelConverterAdapter>(arena, std::move(converter));
}

}  // namespace color
