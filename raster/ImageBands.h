#pragma once
// An image whose decoded part is too large to hold at once, painted in
// strips. The device area is cut into strips of whole rows (of whole
// columns for an image turned by a quarter), taken in the order in which
// the image's rows are decoded; a buffer of a fixed number of rows holds
// the rows one strip samples: those it shares with the strip before are
// kept, the others pulled from the image source chain, which is read once
// from top to bottom as for a whole image.
#include <algorithm>
#include <cstdint>

#include "raster/ImageRowSource.h"
#include "raster/ImageSampler.h"
#include "runtime/PixelBuffer.h"

namespace raster {

struct ImageBandsSetup {
  // The chain, none of whose rows has been read yet.
  ImageRowSource* last = nullptr;
  // The chain's bounds widened by the sampling margin, whose edge pixels
  // repeat those of the bounds.
  IntRect bufferRect;
  int32_t channels = 1;
  // One plane per channel (else one interleaved channel).
  bool planar = false;
  int32_t mode = ImageSampler::kNearest;
  // Rows read beyond a strip's footprint on either side.
  int32_t margin = 1;
  // The mapping to the device, the whole area and the output plane; the
  // pixels are filled in strip by strip.
  ImageSamplerSetup sampler;
  // The most bytes the rows held at once may take.
  uint64_t bytesLimit = 0;
};

class ImageBands {
 public:
  // Null when the mapping is not axis-aligned or turned by a quarter, or
  // is singular. (runtime, 1) when not even the rows of one device row fit
  // the limit.
  static ImageBands* Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                            const ImageBandsSetup& setup);

  // Strips are rows of the device (else columns), taken from the largest
  // coordinate down when `descending`, each at most `length` pixels long.
  bool alongRows = true;
  bool descending = false;
  int32_t length = 1;

  // The sampler over `strip` (device pixels; cut to the area), its rows
  // pulled and its sampler made in `scratch`; null when the strip is empty.
  // Strips must come in the order above and be at most `length` long:
  // (runtime, 2) otherwise.
  ImageSampler* SamplerFor(runtime::ArenaAllocator& scratch, const IntRect& strip);

  // Calls paint(strip) for each strip of `area`, `length` pixels long at
  // most, in the order above.
  template <class Paint>
  static void ForEachStrip(const IntRect& area, bool rows, bool down, int32_t length, Paint&& paint) {
    const int32_t from = rows ? area.y0 : area.x0;
    const int32_t to = rows ? area.y1 : area.x1;
    if (to <= from || length < 1) return;
    const int64_t count = (int64_t{to} - from + length - 1) / length;
    for (int64_t i = 0; i < count; ++i) {
      const int64_t k = down ? count - 1 - i : i;
      const int32_t s0 = static_cast<int32_t>(from + k * length);
      const int32_t s1 = static_cast<int32_t>(std::min<int64_t>(to, int64_t{s0} + length));
      paint(rows ? IntRect{area.x0, s0, area.x1, s1} : IntRect{s0, area.y0, s1, area.y1});
    }
  }

  ImageBands(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const ImageBandsSetup& setup);

 private:
  // Makes the buffer hold rows [s0, s1) of the widened rectangle.
  void Hold(int32_t s0, int32_t s1);

  ImageBandsSetup setup_;
  runtime::PixelBuffer buffer_;
  IntRect bounds_;         // the chain's
  int32_t capacity_ = 0;   // rows the buffer holds
  int32_t heldFrom_ = 0, heldTo_ = 0;
  int32_t nextRow_ = 0;    // of the chain
  double slope_ = 0, offset_ = 0;  // image row at device coordinate t: slope x t + offset
};

}  // namespace raster
