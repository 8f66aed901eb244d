#include "runtime/PackedSpanWriter.h"

#include <algorithm>

namespace runtime {
namespace {

template <int kSize, int kByte0, int kByte1, int kByte2, bool kExclusiveOr>
void PackedLoop(uint8_t* to, const uint8_t* from, ptrdiff_t channelStep, ptrdiff_t columnStep,
                int32_t count) {
  for (int32_t i = 0; i < count; ++i, to += kSize, from += columnStep) {
    if constexpr (kExclusiveOr) {
      to[kByte0] ^= from[0];
      to[kByte1] ^= from[channelStep];
      to[kByte2] ^= from[2 * channelStep];
    } else {
      to[kByte0] = from[0];
      to[kByte1] = from[channelStep];
      to[kByte2] = from[2 * channelStep];
    }
  }
}

}  // namespace

PackedSpanWriter::PackedSpanWriter(const RowTarget& target, const PlaneView& source,
                                   PackedPixel pixel, bool exclusiveOr)
    : target_(target), source_(source) {
  switch (pixel) {
    case PackedPixel::kReversed3:
      pixelSize_ = 3;
      loop_ = exclusiveOr ? &PackedLoop<3, 2, 1, 0, true> : &PackedLoop<3, 2, 1, 0, false>;
      break;
    case PackedPixel::kReversed4:
      pixelSize_ = 4;
      loop_ = exclusiveOr ? &PackedLoop<4, 2, 1, 0, true> : &PackedLoop<4, 2, 1, 0, false>;
      break;
    case PackedPixel::kForward4:
    default:
      pixelSize_ = 4;
      loop_ = exclusiveOr ? &PackedLoop<4, 1, 2, 3, true> : &PackedLoop<4, 1, 2, 3, false>;
      break;
  }
}

void PackedSpanWriter::WriteSpan(int32_t x0, int32_t x1) {
  // A destination whose pixels are not this writer's size would be
  // overrun at the row's end: nothing is written into it.
  if (target_.row == nullptr || target_.plane.format.columnStep != pixelSize_) return;
  // Only the columns both the row and the source hold; a source of fewer
  // than three channels has nothing to place.
  x0 = std::max({x0, target_.plane.rect.x0, source_.rect.x0});
  x1 = std::min({x1, target_.plane.rect.x1, source_.rect.x1});
  if (x0 >= x1 || source_.format.Count() < 3) return;
  const SpanCursor from = SpanCursor::At(&source_, x0, source_.rect.y0);
  uint8_t* to = target_.row + (static_cast<ptrdiff_t>(x0) - target_.plane.rect.x0) * pixelSize_;
  loop_(to, from.pixel + from.firstOffset, from.channelStep, from.columnStep, x1 - x0);
}

}  // namespace runtime
