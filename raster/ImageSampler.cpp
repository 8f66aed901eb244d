#include "raster/ImageSampler.h"

#include <cmath>
#include <cstring>

#include "runtime/ErrorTrap.h"

namespace raster {
namespace {

constexpr double kOne32 = 4294967296.0;  // 1.0 in 32.32
constexpr int64_t kHalf32 = int64_t{1} << 31;
// Image coordinates are kept within ±2^30 pixels, so 32.32 sums of a row
// cannot overflow 64 bits.
constexpr double kCoordinateLimit = 1073741824.0;

int64_t To32(double v, bool& clipped) {
  if (!(v > -kCoordinateLimit && v < kCoordinateLimit)) {
    clipped = true;
    v = v > 0 ? kCoordinateLimit : -kCoordinateLimit;
  }
  return static_cast<int64_t>(std::floor(v * kOne32));
}

// Floor division for a positive divisor.
int64_t FloorDiv(int64_t n, int64_t d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }

}  // namespace

SampledPixels SampledPixels::FromBuffer(const runtime::PixelBuffer& buffer, int32_t channels) {
  return {buffer.storage + buffer.firstOffset, buffer.rect, channels, buffer.channelStep, buffer.columnStep,
          buffer.rowStep};
}

void ImageSampler::CopyPixel(uint8_t* out, const uint8_t* in) const {
  const int32_t n = channels_;
  if (!Packed()) {
    for (int32_t c = 0; c < n; ++c) out[c] = in[c * channelStep_];
    return;
  }
  switch (n) {
    case 1: *out = *in; break;
    case 3: out[0] = in[0]; out[1] = in[1]; out[2] = in[2]; break;
    case 4: std::memcpy(out, in, 4); break;
    default: std::memcpy(out, in, static_cast<size_t>(n)); break;
  }
}

SamplerMatrix SamplerMatrix::FromFixed(const runtime::Matrix& m) {
  const auto d = [](runtime::Fixed v) { return static_cast<double>(v) / 65536.0; };
  return {d(m.a), d(m.b), d(m.c), d(m.d), d(m.e), d(m.f)};
}

SamplerMatrix SamplerMatrix::Then(const SamplerMatrix& n) const {
  return {a * n.a + b * n.c, a * n.b + b * n.d, c * n.a + d * n.c, c * n.b + d * n.d,
          e * n.a + f * n.c + n.e, e * n.b + f * n.d + n.f};
}

bool SamplerMatrix::Invert(SamplerMatrix& out) const {
  const double det = a * d - b * c;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
  out.a = d / det;
  out.b = -b / det;
  out.c = -c / det;
  out.d = a / det;
  out.e = -(e * out.a + f * out.c);
  out.f = -(e * out.b + f * out.d);
  return std::isfinite(out.e) && std::isfinite(out.f);
}

ImageSampler* ImageSampler::Create(runtime::ArenaAllocator& arena, int32_t mode, const ImageSamplerSetup& setup) {
  SamplerMatrix inverse;
  if (!setup.toDevice.Invert(inverse) || setup.area.IsEmpty()) return nullptr;
  const auto nearest = [&]() -> ImageSampler* {
    return runtime::NewInArena<NearestImageSampler>(arena, arena, setup, inverse);
  };
  // Pixels wider than a byte (interleaved channels) are copied whole by
  // the nearest kind; one-byte pixels (one channel, or one plane per
  // channel) go to the kind that follows the mode.
  if (setup.image.columnStep != 1) return nearest();
  ImageSampler* sampler = mode == kInterpolate
                              ? static_cast<ImageSampler*>(
                                    runtime::NewInArena<BilinearImageSampler>(arena, arena, setup, inverse))
                              : nearest();
  // A mapping beyond the fixed-point range: one channel falls back to
  // nearest samples; for several channels another attempt would build the
  // same sampler, which is kept (it steps coordinates one by one instead).
  if (!sampler->usable && setup.image.channels == 1 && mode == kInterpolate) sampler = nearest();
  return sampler;
}

ImageSampler::ImageSampler(runtime::ArenaAllocator& arena, const ImageSamplerSetup& setup,
                           const SamplerMatrix& inverse)
    : setup_(setup), inverse_(inverse), channels_(setup.image.channels) {
  const SampledPixels& image = setup.image;
  if (image.data == nullptr || channels_ < 1 || channels_ > 32 || image.rect.IsEmpty() ||
      (setup.maskPlane && channels_ != 1) || (setup.alphaFirst && channels_ < 2)) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  lo_[0] = image.rect.x0;
  lo_[1] = image.rect.y0;
  hi_[0] = image.rect.x1 - 1;
  hi_[1] = image.rect.y1 - 1;
  period_[0] = int64_t{setup.periodX} << 16;
  period_[1] = int64_t{setup.periodY} << 16;
  imageBase_ = image.data;
  rowStep_ = image.rowStep;
  columnStep_ = image.columnStep;
  channelStep_ = channels_ > 1 ? image.channelStep : 0;
  bool clipped = false;
  stepU_ = To32(inverse.a, clipped);
  stepV_ = To32(inverse.b, clipped);
  axisAligned_ = inverse.b == 0 && inverse.c == 0;
  // Corners of the area must map into the 32.32 range for row stepping.
  for (int32_t x : {setup.area.x0, setup.area.x1}) {
    for (int32_t y : {setup.area.y0, setup.area.y1}) {
      To32(x * inverse.a + y * inverse.c + inverse.e, clipped);
      To32(x * inverse.b + y * inverse.d + inverse.f, clipped);
    }
  }
  usable = !clipped;
  const uint64_t width = static_cast<uint64_t>(static_cast<int64_t>(setup.area.x1) - setup.area.x0);
  row_ = static_cast<uint8_t*>(arena.Alloc((width * static_cast<uint32_t>(channels_) + 15) & ~uint64_t{7}));
  plane_.row = row_;
  plane_.base = row_;
  plane_.rect = setup.area;
  plane_.format = PixelFormatDesc{channels_, 0, 1, channels_, 0, 0, 1};
  if (setup.maskPlane) {
    output_.shape = &plane_;
  } else if (setup.alphaFirst) {
    plane_.format = PixelFormatDesc{1, 0, 0, channels_, 0, 0, 0};
    colourPlane_ = plane_;
    colourPlane_.format = PixelFormatDesc{channels_ - 1, 1, 1, channels_, 0, 0, 0};
    output_.alpha = &plane_;
    output_.colour = &colourPlane_;
  } else {
    output_.colour = &plane_;
  }
  InitHeader(1, &output_, setup.area, 0);
}

void ImageSampler::MapCentre(int32_t x, int32_t y, int64_t& u, int64_t& v) const {
  const double px = x + 0.5, py = y + 0.5;
  bool clipped = false;
  u = To32(px * inverse_.a + py * inverse_.c + inverse_.e, clipped);
  v = To32(px * inverse_.b + py * inverse_.d + inverse_.f, clipped);
}

int64_t ImageSampler::CentreU(int32_t x, int32_t y) const {
  int64_t u = 0, v = 0;
  MapCentre(x, y, u, v);
  return u;
}

void ImageSampler::Step(int32_t x, int64_t& u, int64_t& v) const {
  if (usable) {
    u += stepU_;
    v += stepV_;
  } else {
    // Coordinates held at the range's ends would overflow when stepped.
    MapCentre(x, y_, u, v);
  }
}

int32_t ImageSampler::Index(int64_t coordinate, int axis) const {
  const int64_t period = period_[axis];
  if (period > 0 && (coordinate < 0 || coordinate >= period)) {
    coordinate -= period * FloorDiv(coordinate, period);
  }
  const int64_t whole = coordinate >> 32;
  return static_cast<int32_t>(whole < lo_[axis] ? lo_[axis] : (whole > hi_[axis] ? hi_[axis] : whole));
}

int32_t ImageSampler::RunSpan(int32_t x, int32_t xEnd) {
  const IntRect& area = setup_.area;
  const int32_t from = x < area.x0 ? area.x0 : x;
  const int32_t to = xEnd > area.x1 ? area.x1 : xEnd;
  if (from < to && y_ >= area.y0 && y_ < area.y1) {
    FillSpan(from, to, row_ + static_cast<int64_t>(from - area.x0) * channels_);
  }
  currentVariant = 0;
  return xEnd;
}

NearestImageSampler::NearestImageSampler(runtime::ArenaAllocator& arena, const ImageSamplerSetup& setup,
                                         const SamplerMatrix& inverse)
    : ImageSampler(arena, setup, inverse) {
  if (!axisAligned_) return;
  // The columns are the same on every row: one index per area column.
  const int32_t width = setup.area.x1 - setup.area.x0;
  columns_ = static_cast<int32_t*>(arena.Alloc(sizeof(int32_t) * static_cast<size_t>(width)));
  for (int32_t i = 0; i < width; ++i) columns_[i] = Index(CentreU(setup.area.x0 + i, setup.area.y0), 0);
}

void NearestImageSampler::FillSpan(int32_t x, int32_t xEnd, uint8_t* out) {
  const int32_t n = channels_;
  int64_t u = 0, v = 0;
  MapCentre(x, y_, u, v);
  if (columns_ != nullptr) {
    const uint8_t* row = Pixel(lo_[0], Index(v, 1));
    const int32_t* column = columns_ + (x - setup_.area.x0);
    if (n == 1 && columnStep_ == 1) {
      for (int32_t i = 0; i < xEnd - x; ++i) out[i] = row[column[i] - lo_[0]];
    } else {
      for (int32_t i = 0; i < xEnd - x; ++i, out += n) {
        CopyPixel(out, row + static_cast<int64_t>(column[i] - lo_[0]) * columnStep_);
      }
    }
    return;
  }
  for (int32_t i = x; i < xEnd; ++i, out += n, Step(i, u, v)) {
    CopyPixel(out, Pixel(Index(u, 0), Index(v, 1)));
  }
}

BilinearImageSampler::BilinearImageSampler(runtime::ArenaAllocator& arena, const ImageSamplerSetup& setup,
                                           const SamplerMatrix& inverse)
    : ImageSampler(arena, setup, inverse) {
  if (!axisAligned_) return;
  const int32_t width = setup.area.x1 - setup.area.x0;
  columns_ = static_cast<Tap*>(arena.Alloc(sizeof(Tap) * static_cast<size_t>(width)));
  for (int32_t i = 0; i < width; ++i) columns_[i] = TapAt(CentreU(setup.area.x0 + i, setup.area.y0), 0);
}

BilinearImageSampler::Tap BilinearImageSampler::TapAt(int64_t coordinate, int axis) const {
  // Pixel centres lie at half-integers: the taps are the pixels whose
  // centres bracket the point.
  const int64_t c = coordinate - kHalf32;
  return Tap{Index(c, axis), Index(c + (int64_t{1} << 32), axis),
             static_cast<uint32_t>((static_cast<uint64_t>(c) & 0xffffffffu) >> 24)};
}

void BilinearImageSampler::FillSpan(int32_t x, int32_t xEnd, uint8_t* out) {
  const int32_t n = channels_;
  int64_t u = 0, v = 0;
  MapCentre(x, y_, u, v);
  const int64_t step = channelStep_;
  const auto blend = [n, step](uint8_t* o, const uint8_t* p00, const uint8_t* p10, const uint8_t* p01,
                               const uint8_t* p11, uint32_t wx, uint32_t wy) {
    for (int32_t c = 0; c < n; ++c) {
      const int64_t k = c * step;
      const uint32_t top = p00[k] * (256 - wx) + p10[k] * wx;
      const uint32_t bottom = p01[k] * (256 - wx) + p11[k] * wx;
      o[c] = static_cast<uint8_t>((top * (256 - wy) + bottom * wy + 32768) >> 16);
    }
  };
  if (columns_ != nullptr) {
    const Tap row = TapAt(v, 1);
    const uint8_t* upper = Pixel(lo_[0], row.first);
    const uint8_t* lower = Pixel(lo_[0], row.second);
    const Tap* column = columns_ + (x - setup_.area.x0);
    for (int32_t i = 0; i < xEnd - x; ++i, out += n) {
      const int64_t first = static_cast<int64_t>(column[i].first - lo_[0]) * columnStep_;
      const int64_t second = static_cast<int64_t>(column[i].second - lo_[0]) * columnStep_;
      blend(out, upper + first, upper + second, lower + first, lower + second, column[i].weight, row.weight);
    }
    return;
  }
  for (int32_t i = x; i < xEnd; ++i, out += n, Step(i, u, v)) {
    const Tap tx = TapAt(u, 0);
    const Tap ty = TapAt(v, 1);
    blend(out, Pixel(tx.first, ty.first), Pixel(tx.second, ty.first), Pixel(tx.first, ty.second),
          Pixel(tx.second, ty.second), tx.weight, ty.weight);
  }
}

}  // namespace raster
