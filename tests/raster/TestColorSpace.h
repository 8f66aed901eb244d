#pragma once
// A small colour space for raster tests until the colour subsystem exists:
// a component count, additive or subtractive, and a plain conversion that
// keeps channel c (the last one repeated when the target has more) and
// complements it when one space is subtractive and the other is not.
#include <cstdint>

#include "raster/ColorSpace.h"

namespace rastertest {

class TestColorSpace final : public raster::ColorSpace {
 public:
  TestColorSpace(int32_t components, bool subtractive) : components_(components), subtractive_(subtractive) {}
  int32_t ComponentCount() const override { return components_; }
  bool IsSubtractive() const override { return subtractive_; }
  runtime::PixelConverter* MakeConverter(runtime::ArenaAllocator& arena, const raster::ColorSpace& target) override {
    return runtime::NewInArena<Converter>(arena, components_, target.ComponentCount(),
                                          subtractive_ != target.IsSubtractive());
  }

  static TestColorSpace& Rgb() { static TestColorSpace s(3, false); return s; }
  static TestColorSpace& Gray() { static TestColorSpace s(1, false); return s; }
  static TestColorSpace& Cmyk() { static TestColorSpace s(4, true); return s; }

 private:
  class Converter final : public runtime::PixelConverter {
   public:
    Converter(int32_t from, int32_t to, bool complement) : from_(from), to_(to), complement_(complement) {}
    void ConvertSpan(const runtime::SpanCursor& destination, uint32_t, const runtime::SpanCursor& source,
                     int32_t count) override {
      runtime::SpanCursor d = destination, s = source;
      for (int32_t i = 0; i < count; ++i, d.Next(), s.Next())
        for (int32_t c = 0; c < to_; ++c) {
          const uint8_t v = *s.Channel(c < from_ ? c : from_ - 1);
          *d.Channel(c) = complement_ ? static_cast<uint8_t>(255 - v) : v;
        }
    }

   private:
    int32_t from_, to_;
    bool complement_;
  };

  int32_t components_;
  bool subtractive_;
};

}  // namespace rastertest
