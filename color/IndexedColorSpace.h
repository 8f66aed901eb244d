#pragma once
// An Indexed colour space: one component, a palette index from 0 to hival,
// that a lookup table maps to a colour of the base space.
#include <cstdint>

#include "color/ColorSpace.h"
#include "color/ContextArray.h"
#include "runtime/ObjectHandle.h"

namespace streams {
class StreamOpener;
}

namespace color {

class IndexedColorSpace final : public ColorSpace {
 public:
  // The highest index a palette may have.
  static constexpr int32_t kMaxHival = 255;

  // `palette` holds at least (hival + 1) x the base's component count
  // bytes; exactly that many are kept. (runtime, 2) for a hival outside
  // 0..255 or a shorter palette: a short table is never read past its end.
  IndexedColorSpace(runtime::LibraryContext* context, streams::Ref<ColorSpace> base, int32_t hival,
                    const uint8_t* palette, uint32_t paletteLength);

  static streams::Ref<IndexedColorSpace> FromString(runtime::LibraryContext* context, streams::Ref<ColorSpace> base,
                                                    int32_t hival, const uint8_t* first, const uint8_t* end);
  // The palette from a stream's decoded data, through `opener`.
  static streams::Ref<IndexedColorSpace> FromStream(runtime::LibraryContext* context, streams::Ref<ColorSpace> base,
                                                    int32_t hival, const runtime::ObjectHandle& stream,
                                                    streams::StreamOpener* opener);

  bool IsIndexed() const override { return true; }
  bool IsSubtractive() const override { return base_->IsSubtractive(); }
  ColorConverterPtr MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) override;
  ColorConverterPtr MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) override;
  uint32_t MemorySize() const override;

  ColorSpace& Base() const { return *base_; }
  uint32_t Hival() const { return hival_; }
  // Entry i is Base().ComponentCount() bytes at i x that count.
  const uint8_t* Palette() const { return palette_.Data(); }

 private:
  streams::Ref<ColorSpace> base_;
  uint32_t hival_;
  ContextArray<uint8_t> palette_;
};

// The charge of one counted reference a space holds, for MemorySize: the
// reference itself, plus the object when this is its only reference.
uint32_t CountedReferenceCharge(const ColorSpace& space);

}  // namespace color
