#pragma once
// The base of every colour space of the library: a counted object with a
// component count, optional input ranges (pairs of minimum and maximum per
// component, set from a colour space's Range) and its cost-cache entry.
// Spaces convert into one another through the converters they make, and
// serve the raster device as its colour spaces.
#include <cstdint>
#include <span>
#include <string_view>

#include "color/ColorConverter.h"
#include "color/ContextArray.h"
#include "raster/ColorSpace.h"
#include "runtime/CacheEntry.h"
#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"
#include "streams/CountedObject.h"

namespace content {
class ColorSpaceOperands;
}

namespace color {

class ColorContext;
struct ColorSpaceRecord;
struct ResolvedColorSpace;

using runtime::Fixed;
class IccProfile;

// The counted object comes first: its release frees the block at the
// object's own address.
class ColorSpace : public streams::CountedObject, public raster::ColorSpace {
 public:
  ColorSpace(runtime::LibraryContext* context, int32_t componentCount)
      : CountedObject(context), componentCount_(componentCount) {}

  int32_t ComponentCount() const final { return componentCount_; }
  // The Range pairs (minimum, maximum) per component; empty when unset.
  std::span<const Fixed> Ranges() const { return {ranges_.Data(), ranges_.Count()}; }
  void SetRange(std::span<const Fixed> values) {
    ranges_.CopyFrom(Context(), values.data(), static_cast<uint32_t>(values.size()));
  }

  virtual bool Equals(const ColorSpace& other) const { return this == &other; }
  virtual bool IsIndexed() const { return false; }
  virtual bool HasTintTransform() const { return false; }
  // Image source chains convert palette indices and tint-transformed
  // samples before they average them for reduction.
  bool SamplesAreIndices() const override { return IsIndexed(); }
  bool ConvertsNonlinearly() const override { return HasTintTransform(); }
  bool IsSubtractive() const override = 0;
  // A converter from this space's components to `target`'s, with 8-bit or
  // 16.16 components. `intent` is the rendering intent (0 perceptual, 1
  // relative colorimetric, 2 saturation, 3 absolute colorimetric);
  // `cacheMode` 2 gives ICC transforms a result cache; `linear` leaves the
  // target's output curves (its display gamma) to the converter's encode
  // operations. Empty when memory cannot supply the converter.
  virtual ColorConverterPtr MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) = 0;
  virtual ColorConverterPtr MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode,
                                               bool linear) = 0;
  // The 8-bit converter pipeline stages ask for: relative colorimetric, the
  // transform cache on, the target's gamma applied (`MakeConverter(target,
  // 1, 1, false)`).
  ColorConverterPtr MakeConverter(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) {
    return MakeConverter8(target, intent, cacheMode, linear);
  }
  // The raster device's form: that converter for a target that is a colour
  // space of this subsystem, owned by `arena` and released with its scope.
  // (runtime, 5) for a target of another kind, (runtime, 0) when memory
  // cannot supply the converter.
  runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator& arena, const raster::ColorSpace& target) final;
  const void* ImplementationOf(const void* family) const final;
  // The colour space behind a raster colour space; null when it is not one
  // of this subsystem's.
  static ColorSpace* FromRaster(const raster::ColorSpace& space);
  virtual uint32_t MemorySize() const { return 32 + ranges_.ByteSize(); }
  // The space as an ICC profile, when it is one (ICC-based and CIE-based
  // spaces, the device spaces); null otherwise.
  virtual IccProfile* AsProfile() { return nullptr; }

  // What a resolution may use: bit 0 the inline-image abbreviations, bit 1
  // Separation and DeviceN, bit 2 16-bit image samples (Lab ranges); bit 3
  // is set while a Default space of the resources is being resolved.
  enum ResolveFlags : uint32_t {
    kAllowAbbreviations = 1,
    kAllowTintSpaces = 2,
    kSixteenBitSamples = 4,
    kResolvingDefault = 8,
  };
  // A colour-space value: `family` (a family name, or a name of the
  // resources' "ColorSpace" dictionary) with the elements of its array, if
  // any. `forbidden` is a mask of family classes that must not occur here.
  // (runtime, 2) for anything malformed or forbidden.
  static ColorSpaceRecord Parse(ColorContext& colors, std::string_view family, const runtime::ObjectHandle& resources,
                                bool abbreviations, bool tintSpaces, content::ColorSpaceOperands* array,
                                int32_t forbidden, bool sixteenBit);
  // One family without a base space (device, CIE-based, ICC-based,
  // Separation, DeviceN), a Default space of `resources` (null for none)
  // standing in for a device family of the same component count.
  static ResolvedColorSpace Resolve(ColorContext& colors, std::string_view family,
                                    content::ColorSpaceOperands* array, const runtime::ObjectHandle& resources,
                                    uint32_t flags);
  // Separation and DeviceN: the alternate space, the colorants and the
  // tint transform, whose inputs and outputs must fit both.
  static ResolvedColorSpace ParseWithFunction(ColorContext& colors, content::ColorSpaceOperands& array,
                                              const runtime::ObjectHandle& resources, uint32_t flags);
  // A name or an array (a group's "CS", a shading's "ColorSpace") with
  // abbreviations and tint spaces allowed; empty when it gives no space (a
  // Pattern without an underlying space). (runtime, 2) for other types.
  static streams::Ref<ColorSpace> FromObject(ColorContext& colors, const runtime::ObjectHandle& object,
                                             const runtime::ObjectHandle& resources);
  virtual void SetCacheEntry(runtime::CacheEntry* entry) { cacheEntry_ = entry; }
  runtime::CacheEntry* CacheEntry() const { return cacheEntry_; }

 protected:
  void SetComponentCount(int32_t count) { componentCount_ = count; }

 private:
  ContextArray<Fixed> ranges_;
  int32_t componentCount_;
  runtime::CacheEntry* cacheEntry_ = nullptr;
};

using ColorSpaceRef = streams::Ref<ColorSpace>;

}  // namespace color
