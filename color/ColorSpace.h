#pragma once
// The base of every colour space of the library: a counted object with a
// component count, optional input ranges (pairs of minimum and maximum per
// component, set from a colour space's Range) and its cost-cache entry.
// Conversions between spaces are added by the converter code.
#include <cstdint>
#include <span>

#include "color/ContextArray.h"
#include "runtime/CacheEntry.h"
#include "runtime/Fixed.h"
#include "streams/CountedObject.h"

namespace color {

using runtime::Fixed;

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
  virtual uint32_t MemorySize() const { return 32 + ranges_.ByteSize(); }
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
