#pragma once
// Setting up an image draw: how the image is sampled (interpolated when it
// is enlarged by less than 1.5, else nearest samples), which part of it the
// device area needs and at what reduction, decoding that part through the
// image source chain into a pixel buffer with its edges extended, an
// optional coverage of the image's rectangle, and the sampler over it.
#include <cstdint>

#include "raster/ImageBands.h"
#include "raster/ImageSampler.h"
#include "raster/ImageSourceChain.h"
#include "runtime/Matrix.h"

namespace raster {

struct ImagePaintRequest {
  ImageDescriptor image;
  // The head of the chain: every row of the whole image.
  ImageRowSource* rows = nullptr;
  // The unit square to device pixels (the current transformation matrix).
  runtime::Matrix matrix;
  // The device pixels that may be painted (the clip's bounds).
  IntRect target;
  // The colour model of the painter's pipeline (none: no conversion) and
  // its channel count.
  const ColorSpace* conversionTarget = nullptr;
  int32_t pipelineChannels = 1;

  // The painter's codes: kind 1 is a sampled image, which may be
  // interpolated (other kinds take nearest samples); colour code 3 a
  // one-channel image (a mask's coverage); an override flag draws even what
  // would be suppressed (and in one channel); the suppress flag (an image
  // mask with nothing to paint through it) and a data word of 0 (no rows)
  // mean there is nothing to draw.
  static constexpr int32_t kSampledImage = 1;
  static constexpr int32_t kOneChannel = 3;
  int32_t kindCode = kSampledImage;
  int32_t colourCode = 0;
  bool overrideFlag = false;
  bool secondOverride = false;
  bool suppress = false;
  uint32_t dataWord = 1;
  // Build a coverage of the image's rectangle for clipping.
  bool clip = false;
};

struct ImagePaintSource {
  // The sampler over the whole area; or, for an image too large to hold at
  // once, none and the strips it is painted in.
  ImageSampler* sampler = nullptr;
  ImageBands* bands = nullptr;
  PipelineNode* clipCoverage = nullptr;
  IntRect area;   // device pixels the sampler covers
  int32_t mode = ImageSampler::kNearest;
  int32_t shift = 0;
};

namespace ImagePainter {

// Images enlarged less than this are interpolated (1.5 in 16.16).
inline constexpr runtime::Fixed kInterpolateBelow = 0x18000;

// 1 with the sampler (or the strips) in `out`, 0 when there is nothing to
// draw. The decoded buffer is checked in 64 bits against the memory budget
// before it is allocated: beyond a quarter of it, an axis-aligned or
// quarter-turned image is painted in strips; any other image is held whole
// up to the budget, and beyond it is (runtime, 1).
int BuildSource(runtime::LibraryContext* context, runtime::ArenaAllocator& arena, const ImagePaintRequest& request,
                ImagePaintSource& out);

// The sampler mode for an image of `kindCode` drawn with the pixel-to-device
// matrix m.
int32_t ModeFor(int32_t kindCode, const runtime::Matrix& m);

// A coverage source over the closed path of an integer rectangle under m.
PipelineNode* RectangleCoverage(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                const IntRect& target, const IntRect& r, const runtime::Matrix& m);

}  // namespace ImagePainter

}  // namespace raster
