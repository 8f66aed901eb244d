#include "content/ImageDraw.h"

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

// The device pixels a paint may touch: the device cut by the clip's bounds.
IntRect ImagePaintArea(const raster::Renderer& renderer) {
  return raster::IntersectRects(renderer.Device().Bounds(), renderer.ClipRegion().Bounds());
}

// The sampler of one layer over the paint area; false when there is
// nothing to sample (outside the area, a singular matrix).
bool BuildLayerSource(ImageDrawContext& draw, const ImageLayer& layer, bool asMask, ImagePaintSource& out) {
  raster::Renderer& renderer = *draw.renderer;
  raster::ImagePaintRequest request;
  request.image = layer.image;
  request.rows = layer.rows;
  request.matrix = draw.ctm;
  request.target = ImagePaintArea(renderer);
  if (request.target.IsEmpty() || layer.rows == nullptr) return false;
  request.conversionTarget = asMask ? nullptr : renderer.Device().Space();
  // Turned images sample beyond their edges: their rectangle is a coverage.
  request.clip = !IsRectilinear(draw.ctm);
  return raster::ImagePainter::BuildSource(renderer.Context(), renderer.Arena(), request, out) == 1;
}

// The product of two coverages over `area`; either may be none.
PipelineNode* CoverageProduct(raster::Renderer& renderer, const IntRect& area, PipelineNode* a, PipelineNode* b) {
  if (a == nullptr) return b;
  if (b == nullptr) return a;
  const raster::PixelTriple scratch =
      raster::PixelTriple::CreateCoverageScratch(renderer.Context(), renderer.Arena(), area);
  return raster::PipelineStage::Create(renderer.Arena(), scratch, a, b);
}

// The coverage with the fill alpha applied (alpha acts as coverage for a
// paint composited over what lies below).
PipelineNode* WithAlpha(ImageDrawContext& draw, const IntRect& area, PipelineNode* coverage) {
  if (draw.alpha >= runtime::kFixedOne) return coverage;
  raster::Renderer& renderer = *draw.renderer;
  PipelineNode* constant = raster::ShapeSource::FromFixed(renderer.Arena(), draw.alpha < 0 ? 0 : draw.alpha);
  return CoverageProduct(renderer, area, coverage, constant);
}

// Composites `source` through the coverage over `area`, within the clip.
void CompositeImage(ImageDrawContext& draw, const IntRect& area, const PixelRegion* region, PipelineNode* coverage,
                    PipelineNode* source) {
  raster::Renderer& renderer = *draw.renderer;
  coverage = WithAlpha(draw, area, coverage);
  if (region == nullptr) {
    region = PixelRegion::FromRect(renderer.Arena(), area);
    renderer.Device().PaintSource(*region, &renderer.ClipRegion(), renderer.ClipNode(), coverage, source, draw.blend);
    return;
  }
  renderer.Device().PaintSource(*region, region, renderer.ClipNode(), coverage, source, draw.blend);
}

[[noreturn]] void BadImage() { runtime::ThrowRuntime(runtime::kMalformed); }

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
  raster::Renderer& renderer = *draw.renderer;
  if (draw.document == nullptr) BadImage();
  const uint64_t bytes = info.DataBytes();
  if (draw.cache != nullptr && key != nullptr && raster::SmallImageCache::IsSmall(bytes)) {
    cached_ = draw.cache->Get(*key, static_cast<uint32_t>(bytes),
                              [&] { return pdf::StreamObject::OpenData(*draw.document, stream); });
    return runtime::NewInArena<raster::MemoryRowSource>(renderer.Arena(), cached_->Data(), cached_->Size(),
                                                        info.width, info.height, info.bitsPerComponent,
                                                        info.components);
  }
  stream_.emplace(renderer.Context(),
                  streams::ImageGeometry{info.width, info.height, info.bitsPerComponent, info.components},
                  pdf::StreamObject::OpenData(*draw.document, stream));
  return runtime::NewInArena<raster::StreamRowSource>(renderer.Arena(), &*stream_);
}

IntRect ImageDraw::DrawImageSource(ImageDrawContext& draw, const ImageLayer& image, const ImageLayer* mask) {
  raster::Renderer& renderer = *draw.renderer;
  ImagePaintSource source;
  if (!BuildLayerSource(draw, image, false, source)) return {};
  IntRect painted = raster::IntersectRects(ImagePaintArea(renderer), source.area);
  PipelineNode* coverage = source.clipCoverage;
  if (mask != nullptr) {
    ImagePaintSource maskSource;
    if (!BuildLayerSource(draw, *mask, true, maskSource)) return {};
    painted = raster::IntersectRects(painted, maskSource.area);
    if (painted.IsEmpty()) return {};
    coverage = CoverageProduct(renderer, painted, coverage, maskSource.sampler);
    CompositeImage(draw, painted, nullptr, coverage, source.sampler);
    return painted;
  }
  if (painted.IsEmpty()) return {};
  const runtime::Matrix& m = draw.ctm;
  if ((image.image.width == 1 || image.image.height == 1) && IsRectilinear(m)) {
    // A rule drawn as an image: its rectangle cut by the clip region is
    // the region painted, with no clip to test per row.
    const PixelRegion* region =
        PixelRegion::Combine(renderer.Arena(), raster::RegionCombine::kIntersection,
                             *PixelRegion::FromRect(renderer.Arena(), source.area), renderer.ClipRegion());
    painted = raster::IntersectRects(painted, region->Bounds());
    if (painted.IsEmpty()) return {};
    CompositeImage(draw, painted, region, coverage, source.sampler);
    return painted;
  }
  CompositeImage(draw, painted, nullptr, coverage, source.sampler);
  return painted;
}

IntRect ImageDraw::DrawImageMask(ImageDrawContext& draw, const ImageLayer& mask) {
  if (draw.fill == nullptr) return {};
  raster::Renderer& renderer = *draw.renderer;
  ImagePaintSource source;
  if (!BuildLayerSource(draw, mask, true, source)) return {};
  const IntRect painted = raster::IntersectRects(ImagePaintArea(renderer), source.area);
  if (painted.IsEmpty()) return {};
  PipelineNode* coverage = CoverageProduct(renderer, painted, source.clipCoverage, source.sampler);
  CompositeImage(draw, painted, nullptr, coverage, draw.fill);
  return painted;
}

namespace {

// The image's colour space, its component count and whether it is Indexed.
color::ColorSpaceRef ResolveImageSpace(ImageDrawContext& draw, ImageInfo& info, const ObjectHandle& value) {
  if (draw.colors == nullptr) BadImage();
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
  ImageInfo::ReadArrays(info, dictionary, false, draw.renderer->Arena());
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
  ImageInfo::ReadArrays(info, dictionary, false, draw.renderer->Arena());
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
  raster::Renderer& renderer = *draw.renderer;
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
    if (draw.colors == nullptr) BadImage();
    std::string_view family;
    switch (inlineImage.deviceKind) {
      case ColorSpaceKind::kDeviceGray: family = "DeviceGray"; break;
      case ColorSpaceKind::kDeviceRgb: family = "DeviceRGB"; break;
      case ColorSpaceKind::kDeviceCmyk: family = "DeviceCMYK"; break;
      default:
        if (inlineImage.colorSpace == nullptr) BadImage();
        family = inlineImage.colorSpace->NameAt(0);
        break;
    }
    const color::ImageColorSpace parsed =
        color::ImageColorSpace::ParseCol(*draw.colors, family, inlineImage.colorSpace, draw.resources,
                                         info.bitsPerComponent);
    if (parsed.componentCount != info.components) BadImage();
    space = parsed.record.space;
  }
  ImageLayer image{Describe(info, space.Get(), info.imageMask),
                   runtime::NewInArena<raster::MemoryRowSource>(renderer.Arena(), inlineImage.samples,
                                                                inlineImage.SampleBytes(), info.width, info.height,
                                                                info.bitsPerComponent, info.components)};
  if (info.imageMask) return DrawImageMask(draw, image);
  return DrawImageSource(draw, image, nullptr);
}

}  // namespace content
