#include "content/ImageDraw.h"

#include <algorithm>

#include "color/ColorContext.h"
#include "color/ColorSpace.h"
#include "color/ImageColorSpace.h"
#include "color/IndexedColorSpace.h"
#include "content/InlineImage.h"
#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/ImagePainter.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

using raster::ImagePaintSource;
using raster::PipelineNode;
using raster::PixelRegion;
using runtime::IntRect;
using runtime::ObjectHandle;

namespace {

// Axis-aligned or turned by a quarter: the image's rectangle covers whole
// device pixels up to its rounded-out edges.
bool IsRectilinear(const runtime::Matrix& m) { return (m.b == 0 && m.c == 0) || (m.a == 0 && m.d == 0); }

// The device pixels a paint may touch: the layer cut by the clip's bounds.
IntRect ImagePaintArea(const ImageDrawContext& draw) {
  const IntRect& layer = draw.layer->Bounds();
  return draw.clipRegion == nullptr ? layer : raster::IntersectRects(layer, draw.clipRegion->Bounds());
}

// The sampler of one layer over the paint area (or the strips it is
// painted in); false when there is nothing to sample (outside the area, a
// singular matrix, a suppressed draw). A mask is one channel of coverage.
bool BuildLayerSource(ImageDrawContext& draw, const ImageLayer& layer, bool asMask, ImagePaintSource& out,
                      bool suppress = false) {
  raster::ImagePaintRequest request;
  request.image = layer.image;
  request.rows = layer.rows;
  request.matrix = draw.ctm;
  request.target = ImagePaintArea(draw);
  if (request.target.IsEmpty()) return false;
  request.conversionTarget = asMask ? nullptr : draw.layer->Space();
  if (request.conversionTarget != nullptr) request.pipelineChannels = request.conversionTarget->ComponentCount();
  request.kindCode = raster::ImagePaintRequest::kSampledImage;
  request.colourCode = asMask ? raster::ImagePaintRequest::kOneChannel : 0;
  request.suppress = suppress;
  request.dataWord = layer.rows != nullptr ? 1 : 0;
  // Turned images sample beyond their edges: their rectangle is a coverage.
  request.clip = !IsRectilinear(draw.ctm);
  return raster::ImagePainter::BuildSource(draw.context, *draw.arena, request, out) == 1;
}

// The product of two coverages over `area`; either may be none.
PipelineNode* CoverageProduct(ImageDrawContext& draw, const IntRect& area, PipelineNode* a, PipelineNode* b) {
  if (a == nullptr) return b;
  if (b == nullptr) return a;
  const raster::PixelTriple scratch = raster::PixelTriple::CreateCoverageScratch(draw.context, *draw.arena, area);
  return raster::PipelineStage::Create(*draw.arena, scratch, a, b);
}

// Composites `source` through the coverage over `area`, within the clip:
// through the painter's compositor, or straight into the layer with the
// alpha (as a coverage factor) and the blend mode.
void CompositeImage(ImageDrawContext& draw, const IntRect& area, PipelineNode* coverage, PipelineNode* source) {
  if (draw.compositor != nullptr) {
    draw.compositor->Composite(coverage, source, area);
    return;
  }
  if (draw.alpha < runtime::kFixedOne) {
    PipelineNode* constant = raster::ShapeSource::FromFixed(*draw.arena, draw.alpha < 0 ? 0 : draw.alpha);
    coverage = CoverageProduct(draw, area, coverage, constant);
  }
  const PixelRegion* region = PixelRegion::FromRect(*draw.arena, area);
  draw.layer->PaintSource(*region, draw.clipRegion != nullptr ? draw.clipRegion : region, draw.clipNode, coverage,
                          source, draw.blend);
}

}  // namespace

raster::ImageDescriptor ImageDraw::Describe(const ImageInfo& info, color::ColorSpace* space, bool asMask) {
  raster::ImageDescriptor image;
  image.width = info.width;
  image.height = info.height;
  image.bitsPerComponent = info.bitsPerComponent;
  image.components = info.components;
  image.sampleKind = asMask ? raster::ImageDescriptor::kMaskSamples : 0;
  image.rawSamples = info.indexed;
  image.invertedDecode = info.inverted;
  image.decode = info.decode;
  image.colorSpace = asMask ? nullptr : space;
  if (info.indexed && space != nullptr && space->IsIndexed()) {
    image.hival = static_cast<int32_t>(static_cast<color::IndexedColorSpace*>(space)->Hival());
  }
  return image;
}

raster::ImageRowSource* ImageRowsHolder::Open(ImageDrawContext& draw, const ObjectHandle& stream,
                                              const ImageInfo& info, const raster::SmallImageKey* key) {
  if (draw.document == nullptr) runtime::ThrowMalformed();
  const uint64_t bytes = info.DataBytes();
  if (draw.cache != nullptr && key != nullptr && raster::SmallImageCache::IsSmall(bytes)) {
    // The cache holds whole images only: a short one is streamed instead.
    runtime::ErrorTrap trap(draw.context);
    const bool loaded = trap.Run([&] {
      cached_ = draw.cache->Get(*key, static_cast<uint32_t>(bytes),
                                [&] { return pdf::StreamObject::OpenData(*draw.document, stream); });
    });
    if (loaded) {
      return runtime::NewInArena<raster::MemoryRowSource>(*draw.arena, cached_->Data(), cached_->Size(),
                                                          info.width, info.height, info.bitsPerComponent,
                                                          info.components);
    }
    trap.SetHandled();
    if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
    trap.Close();
  }
  stream_.emplace(draw.context,
                  streams::ImageGeometry{info.width, info.height, info.bitsPerComponent, info.components},
                  pdf::StreamObject::OpenData(*draw.document, stream));
  // A truncated image shows what it holds, the rest of it as zero samples.
  stream_->PadPastEnd();
  return runtime::NewInArena<raster::StreamRowSource>(*draw.arena, &*stream_);
}

namespace {

// The sampler of a layer over one strip: its own for the strip when it is
// held in strips, else its sampler over the whole area.
PipelineNode* StripSampler(ImageDrawContext& draw, const ImagePaintSource& layer, const IntRect& strip) {
  if (layer.bands == nullptr) return layer.sampler;
  return layer.bands->SamplerFor(*draw.arena, strip);
}

// Paints an image too large to hold at once strip by strip: each strip's
// rows are pulled, sampled and composited before the next strip's. `image`
// none: the fill paint through the mask.
IntRect CompositeInStrips(ImageDrawContext& draw, const IntRect& painted, const ImagePaintSource* image,
                          const ImagePaintSource* mask) {
  const raster::ImageBands* bands = image != nullptr && image->bands != nullptr ? image->bands : mask->bands;
  int32_t length = bands->length;
  // A mask drawn with the image shares the image's matrix, so the two read
  // their rows in the same direction; strips fit the shorter of the two.
  for (const ImagePaintSource* layer : {image, mask}) {
    if (layer == nullptr || layer->bands == nullptr) continue;
    if (layer->bands->alongRows != bands->alongRows || layer->bands->descending != bands->descending) {
      runtime::ThrowRuntime(runtime::kOverflow);
    }
    length = std::min(length, layer->bands->length);
  }
  raster::ImageBands::ForEachStrip(painted, bands->alongRows, bands->descending, length, [&](const IntRect& strip) {
    runtime::ArenaScope scope(*draw.arena);
    PipelineNode* source = image != nullptr ? StripSampler(draw, *image, strip) : draw.fill;
    PipelineNode* coverage = image != nullptr ? image->clipCoverage : nullptr;
    if (mask != nullptr) {
      PipelineNode* maskSampler = StripSampler(draw, *mask, strip);
      if (maskSampler == nullptr) return;
      coverage = CoverageProduct(draw, strip, coverage, maskSampler);
    }
    if (source == nullptr) return;
    CompositeImage(draw, strip, coverage, source);
  });
  return painted;
}

}  // namespace

IntRect ImageDraw::DrawImageSource(ImageDrawContext& draw, const ImageLayer& image, const ImageLayer* mask) {
  ImagePaintSource source;
  if (!BuildLayerSource(draw, image, false, source)) return {};
  IntRect painted = raster::IntersectRects(ImagePaintArea(draw), source.area);
  PipelineNode* coverage = source.clipCoverage;
  if (mask != nullptr) {
    ImagePaintSource maskSource;
    if (!BuildLayerSource(draw, *mask, true, maskSource)) return {};
    painted = raster::IntersectRects(painted, maskSource.area);
    if (painted.IsEmpty()) return {};
    if (source.bands != nullptr || maskSource.bands != nullptr) {
      return CompositeInStrips(draw, painted, &source, &maskSource);
    }
    coverage = CoverageProduct(draw, painted, coverage, maskSource.sampler);
  } else if (source.bands != nullptr) {
    if (painted.IsEmpty()) return {};
    return CompositeInStrips(draw, painted, &source, nullptr);
  } else if ((image.image.width == 1 || image.image.height == 1) && IsRectilinear(draw.ctm) &&
             draw.clipRegion != nullptr) {
    // A rule drawn as an image: only its rectangle within the clip region
    // is visited, however sparse the clip around it.
    const PixelRegion* region =
        PixelRegion::Combine(*draw.arena, raster::RegionCombine::kIntersection,
                             *PixelRegion::FromRect(*draw.arena, source.area), *draw.clipRegion);
    painted = raster::IntersectRects(painted, region->Bounds());
  }
  if (painted.IsEmpty()) return {};
  CompositeImage(draw, painted, coverage, source.sampler);
  return painted;
}

IntRect ImageDraw::DrawImageMask(ImageDrawContext& draw, const ImageLayer& mask) {
  ImagePaintSource source;
  // Nothing paints through a mask without a fill paint.
  if (!BuildLayerSource(draw, mask, true, source, draw.fill == nullptr)) return {};
  const IntRect painted = raster::IntersectRects(ImagePaintArea(draw), source.area);
  if (painted.IsEmpty()) return {};
  if (source.bands != nullptr) return CompositeInStrips(draw, painted, nullptr, &source);
  CompositeImage(draw, painted, CoverageProduct(draw, painted, source.clipCoverage, source.sampler), draw.fill);
  return painted;
}

namespace {

// The image's colour space, its component count and whether it is Indexed.
color::ColorSpaceRef ResolveImageSpace(ImageDrawContext& draw, ImageInfo& info, const ObjectHandle& value) {
  if (draw.colors == nullptr) runtime::ThrowMalformed();
  color::ImageColorSpace space =
      color::ImageColorSpace::Parse(*draw.colors, value, draw.resources, false, info.bitsPerComponent, nullptr);
  info.components = space.componentCount;
  info.indexed = space.indexed;
  return space.record.space;
}

// The description of a "Mask" or "SMask" stream: an image mask (coverage
// where its samples decode to 0) or a gray soft mask (coverage as its
// samples decode).
ImageInfo DescribeMaskStream(ImageDrawContext& draw, const ObjectHandle& stream, bool soft) {
  const ObjectHandle dictionary = stream.AsDictionary();
  ImageInfo info;
  ImageInfo::ReadLayout(info, dictionary, false);
  if (!soft) {
    info.imageMask = true;
    info.bitsPerComponent = 1;
  }
  info.components = 1;
  info.indexed = false;
  info.maskKind = ImageInfo::kNoMask;
  ImageInfo::ReadArrays(info, dictionary, false, *draw.arena);
  return info;
}

// The cache key of the stream a dictionary entry refers to, when the image
// has one and the entry is a reference.
bool EntryKey(const raster::SmallImageKey* imageKey, const ObjectHandle& dictionary, std::string_view entry,
              raster::SmallImageKey& out) {
  runtime::ObjectReference reference;
  if (imageKey == nullptr || !runtime::Dictionary::GetOptionalRef(dictionary, entry, &reference)) return false;
  out = raster::SmallImageKey{imageKey->document, reference.number, reference.generation};
  return true;
}

}  // namespace

IntRect ImageDraw::DrawXObject(ImageDrawContext& draw, const ObjectHandle& stream, const raster::SmallImageKey* key) {
  const ObjectHandle dictionary = stream.AsDictionary();
  ImageInfo info;
  ImageInfo::ReadLayout(info, dictionary, false);
  color::ColorSpaceRef space;
  if (!info.imageMask) space = ResolveImageSpace(draw, info, runtime::Dictionary::Get(dictionary, "ColorSpace"));
  ImageInfo::ReadArrays(info, dictionary, false, *draw.arena);
  ImageRowsHolder rows[2];
  ImageLayer image{Describe(info, space.Get(), info.imageMask), rows[0].Open(draw, stream, info, key)};
  if (info.imageMask) return DrawImageMask(draw, image);
  switch (info.maskKind) {
    case ImageInfo::kColorKeyMask: {
      // A second pass over the same samples gives the key's coverage.
      ImageLayer mask{Describe(info, nullptr, true), rows[1].Open(draw, stream, info, key)};
      mask.image.colorKey = info.colorKey;
      mask.image.decode = nullptr;
      mask.image.invertedDecode = false;
      mask.image.rawSamples = false;
      return DrawImageSource(draw, image, &mask);
    }
    case ImageInfo::kStencilMask:
    case ImageInfo::kSoftMask: {
      if (info.mask.IsNull()) break;  // a soft mask inside data not decoded here
      const bool soft = info.maskKind == ImageInfo::kSoftMask;
      const ImageInfo maskInfo = DescribeMaskStream(draw, info.mask, soft);
      raster::SmallImageKey maskKey;
      const bool keyed = EntryKey(key, dictionary, soft ? "SMask" : "Mask", maskKey);
      ImageLayer mask{Describe(maskInfo, nullptr, true), rows[1].Open(draw, info.mask, maskInfo, keyed ? &maskKey : nullptr)};
      return DrawImageSource(draw, image, &mask);
    }
    default: break;
  }
  return DrawImageSource(draw, image, nullptr);
}

IntRect ImageDraw::DrawInline(ImageDrawContext& draw, const InlineImage& inlineImage) {
  if (inlineImage.samples == nullptr || inlineImage.height <= 0) return {};
  ImageInfo info;
  info.width = inlineImage.width;
  info.height = inlineImage.height;
  info.bitsPerComponent = inlineImage.bitsPerComponent;
  info.components = static_cast<int32_t>(inlineImage.components);
  info.imageMask = inlineImage.imageMask;
  info.indexed = inlineImage.indexed;
  info.inverted = inlineImage.inverted;
  info.decode = inlineImage.decode;
  color::ColorSpaceRef space;
  if (!info.imageMask) {
    if (draw.colors == nullptr) runtime::ThrowMalformed();
    std::string_view family;
    switch (inlineImage.deviceKind) {
      case ColorSpaceKind::kDeviceGray: family = "DeviceGray"; break;
      case ColorSpaceKind::kDeviceRgb: family = "DeviceRGB"; break;
      case ColorSpaceKind::kDeviceCmyk: family = "DeviceCMYK"; break;
      default:
        if (inlineImage.colorSpace == nullptr) runtime::ThrowMalformed();
        family = inlineImage.colorSpace->NameAt(0);
        break;
    }
    const color::ImageColorSpace parsed =
        color::ImageColorSpace::ParseCol(*draw.colors, family, inlineImage.colorSpace, draw.resources,
                                         info.bitsPerComponent);
    if (parsed.componentCount != info.components) runtime::ThrowMalformed();
    space = parsed.record.space;
  }
  ImageLayer image{Describe(info, space.Get(), info.imageMask),
                   runtime::NewInArena<raster::MemoryRowSource>(*draw.arena, inlineImage.samples,
                                                                inlineImage.SampleBytes(), info.width, info.height,
                                                                info.bitsPerComponent, info.components)};
  if (info.imageMask) return DrawImageMask(draw, image);
  return DrawImageSource(draw, image, nullptr);
}

}  // namespace content
