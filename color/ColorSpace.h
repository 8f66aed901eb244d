#pragma once
// The base of every colour space of the library: a counted object with a
// component count, optional input ranges (pairs of minimum and maximum per
// component, set from a colour space's Range) and its cost-cache entry.
// Spaces convert into one another through the converters they make.
#include <cstdint>
#include <span>

#include "color/ColorConverter.h"
#include "color/ContextArray.h"
#include "runtime/CacheEntry.h"
#include "runtime/Fixed.h"
#include "streams/CountedObject.h"

namespace color {

using runtime::Fixed;
class IccProfile;

class ColorSpace : public streams::CountedObject {
 public:
  ColorSpace(runtime::LibraryContext* context, int32_t componentCount)
      : CountedObject(context), componentCount_(componentCount) {}

  int32_t ComponentCount() const { return componentCount_; }
  // The Range pairs (minimum, maximum) per component; empty when unset.
  std::span<const Fixed> Ranges() const { return {ranges_.Data(), ranges_.Count()}; }
  void SetRange(std::span<const Fixed> values) {
    ranges_.CopyFrom(Context(), values.data(), static_cast<uint32_t>(values.size()));
  }

  virtual bool Equals(const ColorSpace& other) const { return this == &other; }
  virtual bool IsIndexed() const { return false; }
  virtual bool HasTintTransform() const { return false; }
  virtual bool IsSubtractive() const = 0;
  // A converter from this space's components to `target`'s, with 8-bit or
  // 16.16 components. `intent` is the rendering intent (0 perceptual, 1
  // relative colorimetric, 2 saturation, 3 absolute colorimetric);
  // `cacheMode` 2 gives ICC transforms a result cache; `linear` leaves the
  // target's output curves (its display gamma) to the converter's encode
  // operations. Empty when memory cannot supply the converter.
  virtual ColorConverterPtr MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) = 0;
  virtual ColorConverterPtr MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode,
                                               bool linear) = 0;
  virtual uint32_t MemorySize() const { return 32 + ranges_.ByteSize(); }
  // The space as an ICC profile, when it is one (ICC-based and CIE-based
  // spaces, the device spaces); null otherwise.
  virtual IccProfile* AsProfile() { return nullptr; }
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
