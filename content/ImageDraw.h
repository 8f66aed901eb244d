#pragma once
// Painting images into the raster device: an image XObject (with its
// "Mask" or "SMask"), an inline image, an image mask in the fill paint.
// Each image becomes a sampler over its rows (decoded, cut, reduced and
// converted into the device's space by the image source chain) composited
// through the clip, with a mask's sampler, the fill alpha and the blend
// mode. The painter hands in what it holds through ImageDrawContext.
#include <cstdint>
#include <optional>

#include "content/ImageInfo.h"
#include "raster/BlendFunction.h"
#include "raster/ImageSourceChain.h"
#include "raster/PixelRegion.h"
#include "raster/RasterDevice.h"
#include "raster/SmallImageCache.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"
#include "streams/ImageRowSource.h"

namespace color {
class ColorContext;
class ColorSpace;
}
namespace pdf {
class Document;
}

namespace content {

class InlineImage;

// Where an image's paint goes: the painter composites it through the clip
// in force with its fill alpha and blend mode and counts the pixels it
// painted.
class ImageCompositor {
 public:
  // Composites `source` through `coverage` (null: everywhere) over `area`.
  virtual void Composite(raster::PipelineNode* coverage, raster::PipelineNode* source,
                         const runtime::IntRect& area) = 0;

 protected:
  ~ImageCompositor() = default;
};

// What the painter holds when it draws an image.
struct ImageDrawContext {
  runtime::LibraryContext* context = nullptr;
  // The arena every pipeline of the paint lives in.
  runtime::ArenaAllocator* arena = nullptr;
  // The current layer and the clip in force over it (a null region: the
  // layer's bounds; a null node: the region alone).
  raster::RasterDevice* layer = nullptr;
  const raster::PixelRegion* clipRegion = nullptr;
  raster::PipelineNode* clipNode = nullptr;
  // The unit square to device pixels (the current transformation matrix).
  runtime::Matrix ctm;
  // The fill paint, for image masks.
  raster::PipelineNode* fill = nullptr;
  // Null: paint straight into the layer through the clip, with `alpha`
  // and `blend` (none: Normal); else the compositor applies its own.
  ImageCompositor* compositor = nullptr;
  runtime::Fixed alpha = runtime::kFixedOne;
  const raster::BlendFunction* blend = nullptr;
  color::ColorContext* colors = nullptr;
  pdf::Document* document = nullptr;
  // The resources colour-space names are looked up in.
  runtime::ObjectHandle resources;
  // Decoded data of small image streams; none: always streamed.
  raster::SmallImageCache* cache = nullptr;
};

// One image or mask ready to be sampled: its description for the sample
// chain and the head of its rows.
struct ImageLayer {
  raster::ImageDescriptor image;
  raster::ImageRowSource* rows = nullptr;
};

// The head of an image's rows: its decoded stream, or the bytes the small
// image cache holds for it. Owns what it opens for as long as it lives.
class ImageRowsHolder {
 public:
  ImageRowsHolder() = default;
  ImageRowsHolder(const ImageRowsHolder&) = delete;
  ImageRowsHolder& operator=(const ImageRowsHolder&) = delete;

  // The rows of `stream`, an image of `info`'s size: from the cache (under
  // `key`) when its data is smaller than the cache's limit, else decoded
  // as they are read. Rows past the end of truncated data are zero
  // samples. (runtime, 2) for a stream without data.
  raster::ImageRowSource* Open(ImageDrawContext& draw, const runtime::ObjectHandle& stream, const ImageInfo& info,
                               const raster::SmallImageKey* key);

 private:
  std::optional<streams::ImageRowSource> stream_;
  raster::SmallImageCache::Ref cached_;
};

namespace ImageDraw {

// Draws `image` in the device's colour space, through `mask` (a coverage
// layer) when given. Returns the device rectangle painted, within the
// device, the clip's bounds and the mask's area; the empty rectangle when
// nothing was painted (an image or mask that yields no sampler).
runtime::IntRect DrawImageSource(ImageDrawContext& draw, const ImageLayer& image, const ImageLayer* mask);
// Paints the fill paint through an image mask's coverage; the same result.
runtime::IntRect DrawImageMask(ImageDrawContext& draw, const ImageLayer& mask);

// An image XObject: described, its colour space resolved, its rows and
// those of its mask opened, painted. `key` names the stream for the small
// image cache (none: not cached). (runtime, 2) for a malformed description,
// (runtime, 5) for data of a kind that is not decoded.
runtime::IntRect DrawXObject(ImageDrawContext& draw, const runtime::ObjectHandle& stream,
                             const raster::SmallImageKey* key);
// An inline image, from the rows it holds.
runtime::IntRect DrawInline(ImageDrawContext& draw, const InlineImage& image);

// The sample-chain description of an image (or, with `asMask`, of a
// coverage: one channel, no colour conversion) of `info` in `space`.
raster::ImageDescriptor Describe(const ImageInfo& info, color::ColorSpace* space, bool asMask);

}  // namespace ImageDraw

}  // namespace content
