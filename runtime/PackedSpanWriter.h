#pragma once
// Span writers into packed 8-bit destination rows (the host bitmaps of 24
// and 32 bits): the three colour channels of the pipeline's output go into
// fixed bytes of each destination pixel, copied or combined by exclusive or
// (the inverting overlay). The byte arrangement is chosen once, so the
// per-pixel loop is a plain store.
#include <cstdint>

#include "runtime/OutputTargets.h"
#include "runtime/PixelBuffer.h"
#include "runtime/SpanWriter.h"

namespace runtime {

// Where channels 0, 1, 2 go in a destination pixel.
enum class PackedPixel : uint8_t {
  kReversed3,  // 3-byte pixels, bytes 2, 1, 0
  kReversed4,  // 4-byte pixels, bytes 2, 1, 0; byte 3 untouched
  kForward4,   // 4-byte pixels, bytes 1, 2, 3; byte 0 untouched
};

class PackedSpanWriter final : public SpanWriter {
 public:
  // Pixel x of the destination row starts at (x - the target's x0) × the
  // pixel size; `exclusiveOr` combines instead of copying.
  PackedSpanWriter(const RowTarget& target, const PlaneView& source, PackedPixel pixel,
                   bool exclusiveOr);
  void WriteSpan(int32_t x0, int32_t x1) override;

 private:
  using Loop = void (*)(uint8_t* to, const uint8_t* from, ptrdiff_t channelStep,
                        ptrdiff_t columnStep, int32_t count);

  const RowTarget& target_;
  const PlaneView& source_;
  Loop loop_;
  int32_t pixelSize_;
};

}  // namespace runtime
