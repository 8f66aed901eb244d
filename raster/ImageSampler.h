#pragma once
// Image samplers: pipeline sources that read a decoded image (or a pattern
// tile) from a pixel buffer at every device pixel of their area, through
// the inverse of the image-to-device mapping. Two kinds: nearest-sample, and
// interpolating (bilinear), which reports whether it can serve its matrix.
// Tiles wrap around their repeat period; images clamp at their edges.
#include <cstdint>

#include "raster/PipelineNode.h"
#include "runtime/Matrix.h"
#include "runtime/PixelBuffer.h"

namespace raster {

// An affine map in double precision: built once per draw, never per pixel.
struct SamplerMatrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  static SamplerMatrix FromFixed(const runtime::Matrix& m);
  // Then `n`.
  SamplerMatrix Then(const SamplerMatrix& n) const;
  // False when singular or not finite.
  bool Invert(SamplerMatrix& out) const;
};

// The pixels a sampler reads: channel c of pixel (x, y) lies at
// data + (x - rect.x0) x columnStep + (y - rect.y0) x rowStep + c x channelStep.
struct SampledPixels {
  const uint8_t* data = nullptr;
  IntRect rect;
  int32_t channels = 1;
  int32_t channelStep = 1;
  int32_t columnStep = 1;
  int32_t rowStep = 0;

  // The colour plane of a buffer laid out by SetupAndAllocate.
  static SampledPixels FromBuffer(const runtime::PixelBuffer& buffer, int32_t channels);
};

struct ImageSamplerSetup {
  SampledPixels image;
  // Buffer pixel coordinates (x right, y down) to device pixels.
  SamplerMatrix toDevice;
  // The device pixels to produce.
  IntRect area;
  // Tiles: the repeat period in buffer pixels (16.16) and its origin; 0
  // when the image is not repeated.
  runtime::Fixed periodX = 0, periodY = 0;
  // Put the single channel of a mask into the shape plane instead of the
  // colour plane.
  bool maskPlane = false;
  // Channel 0 is alpha and the rest colour (a coloured pattern's tile).
  bool alphaFirst = false;
};

class ImageSampler : public PipelineNode {
 public:
  // Sampler modes: nearest sample, and interpolation (for images enlarged
  // by less than 1.5).
  static constexpr int32_t kNearest = 0;
  static constexpr int32_t kInterpolate = 3;

  // The sampler for `mode` over one-byte pixels (one channel, or planes):
  // interpolating for kInterpolate, else nearest samples; a one-channel
  // image whose mapping the interpolating kind cannot serve falls back to
  // nearest samples. Interleaved pixels of several bytes always take
  // nearest samples. Null when the mapping is singular (nothing to draw).
  // (runtime, 2) for a setup whose buffer does not match its channel count.
  static ImageSampler* Create(runtime::ArenaAllocator& arena, int32_t mode, const ImageSamplerSetup& setup);

  void BeginRow(int32_t y) override { y_ = y; }
  void NextRow() override { ++y_; }
  int32_t RunSpan(int32_t x, int32_t xEnd) override;
  void CollectRowClients(RowCollector& collector) override { collector.AddNode(this); }
  void ReleaseRowClients(RowCollector&) override {}

  // False when the area maps beyond the 32.32 range, where coordinates
  // are held at its ends.
  bool usable = true;

 protected:
  ImageSampler(runtime::ArenaAllocator& arena, const ImageSamplerSetup& setup, const SamplerMatrix& inverse);
  ~ImageSampler() = default;
  // Fills output pixels [x, xEnd) of row y_ (x within the area).
  virtual void FillSpan(int32_t x, int32_t xEnd, uint8_t* out) = 0;

  // Reduces a 32.32 coordinate along an axis by the period (tiles) and
  // limits its whole part to [lo, hi].
  int32_t Index(int64_t coordinate, int axis) const;
  const uint8_t* Pixel(int32_t ix, int32_t iy) const {
    return imageBase_ + (static_cast<int64_t>(iy) - lo_[1]) * rowStep_ +
           (static_cast<int64_t>(ix) - lo_[0]) * columnStep_;
  }
  // Interleaved bytes: whole pixels copy at once.
  bool Packed() const { return channelStep_ == 1 && columnStep_ == channels_; }
  void CopyPixel(uint8_t* out, const uint8_t* in) const;
  // The 32.32 image coordinates of the centre of device pixel (x, y).
  void MapCentre(int32_t x, int32_t y, int64_t& u, int64_t& v) const;
  int64_t CentreU(int32_t x, int32_t y) const;
  // Moves (u, v) to the centre of pixel x of the current row: one step from
  // pixel x - 1 when the mapping is within range, else mapped afresh.
  void Step(int32_t x, int64_t& u, int64_t& v) const;

  ImageSamplerSetup setup_;
  SamplerMatrix inverse_;
  int32_t channels_;
  int32_t lo_[2], hi_[2];
  int64_t period_[2];  // 32.32, 0: clamp
  int64_t stepU_, stepV_;  // per device pixel along a row, 32.32
  bool axisAligned_;
  const uint8_t* imageBase_;
  int64_t rowStep_;
  int64_t columnStep_;
  int64_t channelStep_;
  int32_t y_ = 0;
  uint8_t* row_;
  PixelTriple output_;
  PixelPlane plane_;
  PixelPlane colourPlane_;
};

// Nearest sample: the pixel under each device pixel's centre.
class NearestImageSampler final : public ImageSampler {
 public:
  NearestImageSampler(runtime::ArenaAllocator& arena, const ImageSamplerSetup& setup, const SamplerMatrix& inverse);

 protected:
  void FillSpan(int32_t x, int32_t xEnd, uint8_t* out) override;

 private:
  int32_t* columns_ = nullptr;  // axis-aligned: the image column of every area column
};

// Bilinear interpolation between the four pixels around each centre.
class BilinearImageSampler final : public ImageSampler {
 public:
  BilinearImageSampler(runtime::ArenaAllocator& arena, const ImageSamplerSetup& setup, const SamplerMatrix& inverse);

 protected:
  void FillSpan(int32_t x, int32_t xEnd, uint8_t* out) override;

 private:
  struct Tap {
    int32_t first, second;
    uint32_t weight;  // of the second, 0..256
  };
  Tap TapAt(int64_t coordinate, int axis) const;
  Tap* columns_ = nullptr;
};

}  // namespace raster
