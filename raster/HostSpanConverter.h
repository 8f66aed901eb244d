#pragma once
// Span converters for 24-bit and 32-bit host bitmaps: the red, green and
// blue bytes of a source plane (red at the format's offset, green and blue
// one and two channel steps on) stored into, or combined by exclusive or
// with, the three colour bytes of each target pixel. The unused byte of a
// 32-bit pixel is never touched.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/PixelBuffer.h"
#include "runtime/HostBitmap.h"

namespace raster {

class HostSpanConverter {
 public:
  // Pixels x0 <= x < x1 of row y: `source` points at the bytes of pixel x0,
  // `targetRow` at the pixel of column `targetOrigin`.
  virtual void ConvertSpan(int32_t x0, int32_t x1, int32_t y, const uint8_t* source,
                           int32_t targetOrigin, uint8_t* targetRow) const = 0;

  // The converter of one host kind (3, 4 or 5) for a source format; the
  // exclusive-or one writes nothing for the zero plane. Null for another kind.
  static HostSpanConverter* Create(runtime::ArenaAllocator& arena, int32_t kind,
                                   const runtime::PixelFormatDesc& format, bool exclusiveOr,
                                   bool zeroPlane);

 protected:
  ~HostSpanConverter() = default;
};

// Byte positions of red, green and blue in a target pixel of `bytes` bytes.
template <int bytes, int red, int green, int blue, bool exclusiveOr>
class Converter888 final : public HostSpanConverter {
 public:
  explicit Converter888(const runtime::PixelFormatDesc& format)
      : redAt_(format.firstOffset),
        greenAt_(format.firstOffset + format.channelStep),
        blueAt_(format.firstOffset + 2 * format.channelStep),
        step_(format.columnStep) {}

  void ConvertSpan(int32_t x0, int32_t x1, int32_t, const uint8_t* source, int32_t targetOrigin,
                   uint8_t* targetRow) const override {
    uint8_t* out = targetRow + static_cast<int64_t>(x0 - targetOrigin) * bytes;
    for (int32_t x = x0; x < x1; ++x) {
      if constexpr (exclusiveOr) {
        out[red] ^= source[redAt_];
        out[green] ^= source[greenAt_];
        out[blue] ^= source[blueAt_];
      } else {
        out[red] = source[redAt_];
        out[green] = source[greenAt_];
        out[blue] = source[blueAt_];
      }
      out += bytes;
      source += step_;
    }
  }

 private:
  int32_t redAt_, greenAt_, blueAt_, step_;
};

class NullHostSpanConverter final : public HostSpanConverter {
 public:
  void ConvertSpan(int32_t, int32_t, int32_t, const uint8_t*, int32_t, uint8_t*) const override {}
};

}  // namespace raster
