#include "raster/ImageBands.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/ImageSourceChain.h"
#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

// Rows a strip's footprint may take beyond its exact extent: one for
// rounding out at each end.
constexpr int32_t kRoundingRows = 2;

int32_t ClampRow(double v) {
  if (!(v > -2147483648.0)) return INT32_MIN;
  if (!(v < 2147483647.0)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace

ImageBands* ImageBands::Create(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                               const ImageBandsSetup& setup) {
  const SamplerMatrix& m = setup.sampler.toDevice;
  if (!((m.b == 0 && m.c == 0) || (m.a == 0 && m.d == 0))) return nullptr;
  SamplerMatrix inverse;
  if (!m.Invert(inverse) || setup.last == nullptr || setup.sampler.area.IsEmpty()) return nullptr;
  return runtime::NewInArena<ImageBands>(arena, context, arena, setup);
}

ImageBands::ImageBands(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                       const ImageBandsSetup& setup)
    : setup_(setup), buffer_(context, &arena), bounds_(setup.last->Bounds()) {
  const IntRect& r = setup.bufferRect;
  if (setup.channels < 1 || setup.margin < 0 || r.IsEmpty() || bounds_.IsEmpty() || bounds_.x0 < r.x0 ||
      bounds_.y0 < r.y0 || bounds_.x1 > r.x1 || bounds_.y1 > r.y1) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  SamplerMatrix inverse;
  setup.sampler.toDevice.Invert(inverse);
  // An image row depends on one device coordinate only: the row for an
  // axis-aligned mapping, the column for a quarter turn.
  alongRows = setup.sampler.toDevice.b == 0 && setup.sampler.toDevice.c == 0;
  slope_ = alongRows ? inverse.d : inverse.b;
  offset_ = inverse.f;
  descending = slope_ < 0;
  const uint64_t rowBytes = (static_cast<uint64_t>(static_cast<int64_t>(r.x1) - r.x0) *
                                 static_cast<uint32_t>(setup.channels) + 3) & ~uint64_t{3};
  const uint64_t rows = std::min<uint64_t>(setup.bytesLimit / rowBytes,
                                           static_cast<uint64_t>(static_cast<int64_t>(r.y1) - r.y0));
  const int64_t spare = static_cast<int64_t>(rows) - 2 * int64_t{setup.margin} - kRoundingRows;
  if (spare < 1) runtime::ThrowRuntime(runtime::kOverflow);
  capacity_ = static_cast<int32_t>(rows);
  const double perPixel = std::fabs(slope_);
  const double fits = perPixel > 0 ? std::floor(static_cast<double>(spare) / perPixel) : 2147483647.0;
  if (fits < 1) runtime::ThrowRuntime(runtime::kOverflow);
  length = fits >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(fits);
  runtime::PixelLayout layout;
  layout.channels = setup.channels;
  layout.bytesPerPixel = setup.planar ? 1 : setup.channels;
  layout.planar = setup.planar;
  buffer_.SetupAndAllocate({r.x0, r.y0, r.x1, r.y0 + capacity_}, layout, true);
  heldFrom_ = heldTo_ = r.y0;
  nextRow_ = bounds_.y0;
}

void ImageBands::Hold(int32_t s0, int32_t s1) {
  const IntRect& r = setup_.bufferRect;
  // Rows already held that this strip needs again move to the front.
  const int32_t keptTo = heldTo_ > s0 ? heldTo_ : s0;
  if (keptTo > s0 && s0 > heldFrom_) {
    const size_t rowBytes = static_cast<size_t>(buffer_.rowStep);
    const int32_t planes = setup_.planar ? setup_.channels : 1;
    for (int32_t c = 0; c < planes; ++c) {
      uint8_t* plane = buffer_.storage + static_cast<int64_t>(c) * buffer_.channelStep;
      std::memmove(plane, plane + static_cast<size_t>(s0 - heldFrom_) * rowBytes,
                   static_cast<size_t>(keptTo - s0) * rowBytes);
    }
  }
  runtime::PixelLayout layout;
  layout.channels = setup_.channels;
  layout.bytesPerPixel = setup_.planar ? 1 : setup_.channels;
  layout.planar = setup_.planar;
  // The same size as before: the storage is kept, not allocated again.
  buffer_.SetupAndAllocate({r.x0, s0, r.x1, s0 + capacity_}, layout, false);
  // Image rows not held yet: those before the strip are read and dropped.
  const int32_t readTo = std::min(s1, bounds_.y1);
  while (nextRow_ < readTo && nextRow_ < s0) {
    setup_.last->NextRow();
    ++nextRow_;
  }
  const int32_t from = std::max(nextRow_, keptTo);
  if (from < readTo) {
    while (nextRow_ < from) {
      setup_.last->NextRow();
      ++nextRow_;
    }
    ImageSourceChain::CopyRows(setup_.last, buffer_, setup_.planar, from, readTo);
    nextRow_ = readTo;
  }
  // The margin beyond the image repeats its edge pixels.
  const IntRect inner{bounds_.x0, std::max(s0, bounds_.y0), bounds_.x1, std::min(s1, bounds_.y1)};
  buffer_.ExtendEdges(inner, {r.x0, s0, r.x1, s1});
  heldFrom_ = s0;
  heldTo_ = std::max(s1, keptTo);
  if (heldTo_ > s0 + capacity_) heldTo_ = s0 + capacity_;
}

ImageSampler* ImageBands::SamplerFor(runtime::ArenaAllocator& scratch, const IntRect& strip) {
  const IntRect& whole = setup_.sampler.area;
  const IntRect area{std::max(strip.x0, whole.x0), std::max(strip.y0, whole.y0), std::min(strip.x1, whole.x1),
                     std::min(strip.y1, whole.y1)};
  if (area.IsEmpty()) return nullptr;
  const int64_t t0 = alongRows ? area.y0 : area.x0;
  const int64_t t1 = alongRows ? area.y1 : area.x1;
  if (t1 - t0 > length) runtime::ThrowRuntime(runtime::kMalformed);
  const double a = slope_ * static_cast<double>(t0) + offset_;
  const double b = slope_ * static_cast<double>(t1) + offset_;
  const IntRect& r = setup_.bufferRect;
  const int64_t margin = setup_.margin;
  int64_t s0 = std::clamp<int64_t>(int64_t{ClampRow(std::floor(std::min(a, b)))} - margin, r.y0, r.y1);
  int64_t s1 = std::clamp<int64_t>(int64_t{ClampRow(std::ceil(std::max(a, b)))} + margin, r.y0, r.y1);
  // At least one row of the image itself, whose edge the margin repeats.
  s0 = std::min<int64_t>(s0, bounds_.y1 - 1);
  s1 = std::max<int64_t>(s1, bounds_.y0 + 1);
  if (s1 - s0 > capacity_ || s0 < heldFrom_) runtime::ThrowRuntime(runtime::kMalformed);
  Hold(static_cast<int32_t>(s0), static_cast<int32_t>(s1));
  ImageSamplerSetup setup = setup_.sampler;
  setup.image = SampledPixels::FromBuffer(buffer_, setup_.channels);
  setup.image.rect.y1 = static_cast<int32_t>(s1);
  setup.area = area;
  return ImageSampler::Create(scratch, setup_.mode, setup);
}

}  // namespace raster
