#include "raster/ImagePainter.h"

#include <algorithm>
#include <cmath>

#include "raster/ImageMatrix.h"
#include "raster/PaintGeometry.h"
#include "raster/PathScanConverter.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ResampleKernel.h"

namespace raster {
namespace {

// Source pixels read around the needed part so that sampling at its edges
// sees real neighbours: one for nearest samples, two when interpolating.
constexpr int32_t kNearestMargin = 1;
constexpr int32_t kInterpolationMargin = 2;
// The resampling kernel kind whose footprint widens an interpolated
// image's buffer.
constexpr int32_t kInterpolationKernel = 3;
// Decoded images larger than this share of the memory budget are held a
// strip of rows at a time.
constexpr uint64_t kBandShareOfBudget = 4;

int32_t ClampToInt(double v) {
  if (!(v > -2147483648.0)) return INT32_MIN;
  if (!(v < 2147483647.0)) return INT32_MAX;
  return static_cast<int32_t>(v);
}

// Bounds of a rectangle's corners under m, rounded out to whole pixels.
IntRect MappedBounds(const SamplerMatrix& m, double x0, double y0, double x1, double y1) {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (double x : {x0, x1}) {
    for (double y : {y0, y1}) {
      const double u = x * m.a + y * m.c + m.e;
      const double v = x * m.b + y * m.d + m.f;
      minX = std::min(minX, u);
      maxX = std::max(maxX, u);
      minY = std::min(minY, v);
      maxY = std::max(maxY, v);
    }
  }
  return {ClampToInt(std::floor(minX)), ClampToInt(std::floor(minY)), ClampToInt(std::ceil(maxX)),
          ClampToInt(std::ceil(maxY))};
}

IntRect Intersection(const IntRect& a, const IntRect& b) {
  return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

runtime::Fixed ToFixed(double v) {
  return static_cast<runtime::Fixed>(std::clamp(std::lround(v * 65536.0), -0x7fffffffL, 0x7fffffffL));
}

}  // namespace

int32_t ImagePainter::ModeFor(int32_t kindCode, const runtime::Matrix& m) {
  if (kindCode != 1) return ImageSampler::kNearest;
  return runtime::Matrix::NominalScale(m) < kInterpolateBelow ? ImageSampler::kInterpolate : ImageSampler::kNearest;
}

PipelineNode* ImagePainter::RectangleCoverage(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                              const IntRect& target, const IntRect& r, const runtime::Matrix& m) {
  const runtime::Rect corners{runtime::FixedFromIntSat(r.x0), runtime::FixedFromIntSat(r.y0),
                              runtime::FixedFromIntSat(r.x1), runtime::FixedFromIntSat(r.y1)};
  StoredPath* path = RectPath::Build(arena, corners);
  return runtime::NewInArena<PathScanConverter>(arena, context, arena, path->Points(), m, target, false);
}

int ImagePainter::BuildSource(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                              const ImagePaintRequest& request, ImagePaintSource& out) {
  const ImageDescriptor& image = request.image;
  if (image.width <= 0 || image.height <= 0) runtime::ThrowRuntime(runtime::kMalformed);
  // 1. Image pixels (x right, y down) to device pixels.
  runtime::Matrix m = request.matrix;
  ImageMatrix::Concat(m, image.width, image.height);
  const SamplerMatrix unit{1.0 / image.width, 0, 0, -1.0 / image.height, 0, 1};
  const SamplerMatrix toDevice = unit.Then(SamplerMatrix::FromFixed(request.matrix));
  // 2. Interpolation below an enlargement of 1.5.
  out.mode = ModeFor(request.kindCode, m);
  const bool interpolate = out.mode == ImageSampler::kInterpolate;
  // 3. The device area and the part of the image it needs.
  out.area = Intersection(MappedBounds(toDevice, 0, 0, image.width, image.height), request.target);
  SamplerMatrix inverse;
  const bool invertible = toDevice.Invert(inverse);
  IntRect need{0, 0, 0, 0};
  if (invertible && !out.area.IsEmpty()) {
    const int32_t margin = interpolate ? kInterpolationMargin : kNearestMargin;
    const IntRect mapped = MappedBounds(inverse, out.area.x0, out.area.y0, out.area.x1, out.area.y1);
    // The mapped bounds saturate at the int range: widen them without
    // passing it.
    const auto widen = [](int32_t v, int32_t by) {
      return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} + by, INT32_MIN, INT32_MAX));
    };
    need = Intersection({widen(mapped.x0, -margin), widen(mapped.y0, -margin), widen(mapped.x1, margin),
                         widen(mapped.y1, margin)},
                        {0, 0, image.width, image.height});
  }
  // 4. Nothing to draw.
  const bool overridden = request.overrideFlag || request.secondOverride;
  if (!overridden && (request.suppress || request.dataWord == 0 || need.IsEmpty())) return 0;
  if (!invertible || need.IsEmpty() || out.area.IsEmpty()) return 0;
  if (request.rows == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  // 5. Reduce by whole blocks that start on the block grid, so that every
  // reduced pixel averages exactly the image pixels under it.
  out.shift = ReductionShiftForMatrix(m);
  const int32_t block = 1 << out.shift;
  need.x0 &= ~(block - 1);
  need.y0 &= ~(block - 1);
  int32_t components = 0;
  ImageRowSource* last = ImageSourceChain::Build(arena, request.rows, image, ImageNeed{need, out.shift},
                                                 request.conversionTarget, &components);
  const IntRect bounds = last->Bounds();
  SamplerMatrix bufferToDevice = SamplerMatrix{static_cast<double>(block), 0, 0, static_cast<double>(block), 0, 0}
                                     .Then(toDevice);
  // 6. The image's rectangle as a coverage.
  if (request.clip) {
    const runtime::Matrix fixed{ToFixed(bufferToDevice.a), ToFixed(bufferToDevice.b), ToFixed(bufferToDevice.c),
                                ToFixed(bufferToDevice.d), ToFixed(bufferToDevice.e), ToFixed(bufferToDevice.f)};
    out.clipCoverage = RectangleCoverage(context, arena, out.area, bounds, fixed);
  }
  // 7. The buffer: one plane per channel. Its size is checked in 64 bits
  // against the memory budget before anything is allocated.
  const int32_t channels = overridden || request.colourCode == 3 ? 1 : request.pipelineChannels;
  if (channels != components) runtime::ThrowRuntime(runtime::kMalformed);
  IntRect bufferRect = bounds;
  if (interpolate) {
    bufferRect = runtime::ResampleKernel::PadRect(bounds, false, kInterpolationKernel,
                                                  runtime::Matrix::NominalScale(m));
  }
  const bool planar = channels > 1;
  const uint64_t bytes = static_cast<uint64_t>(static_cast<int64_t>(bufferRect.x1) - bufferRect.x0) *
                         static_cast<uint64_t>(static_cast<int64_t>(bufferRect.y1) - bufferRect.y0) *
                         static_cast<uint32_t>(channels);
  const uint64_t budget = std::min<uint64_t>(context->memory.hardLimit, 0xFFFFFFFFu);
  ImageSamplerSetup setup;
  setup.toDevice = bufferToDevice;
  setup.area = out.area;
  setup.maskPlane = image.sampleKind == ImageDescriptor::kMaskSamples;
  if (bytes > budget / kBandShareOfBudget) {
    // Too large to hold beside everything else: held a strip of rows at a
    // time, where the rows a device row needs form one run.
    ImageBandsSetup bands;
    bands.last = last;
    bands.bufferRect = bufferRect;
    bands.channels = channels;
    bands.planar = planar;
    bands.mode = out.mode;
    bands.margin = interpolate ? kInterpolationMargin : kNearestMargin;
    bands.sampler = setup;
    bands.bytesLimit = budget / kBandShareOfBudget;
    out.bands = ImageBands::Create(context, arena, bands);
    if (out.bands != nullptr) return 1;
    // A turned or slanted image needs most of its rows for every device
    // row: held whole while it fits the budget.
    if (bytes > budget) runtime::ThrowRuntime(runtime::kOverflow);
  }
  auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, context, &arena);
  runtime::PixelLayout layout;
  layout.channels = channels;
  layout.bytesPerPixel = planar ? 1 : channels;
  layout.planar = planar;
  buffer->SetupAndAllocate(bufferRect, layout, false);
  // 8. Every row, then the border by repeating the edge pixels.
  ImageSourceChain::CopyAllRows(last, *buffer, planar);
  if (!(bufferRect == bounds)) buffer->ExtendEdges(bounds, bufferRect);
  // 9. The sampler.
  setup.image = SampledPixels::FromBuffer(*buffer, channels);
  out.sampler = ImageSampler::Create(arena, out.mode, setup);
  return out.sampler != nullptr ? 1 : 0;
}

}  // namespace raster
