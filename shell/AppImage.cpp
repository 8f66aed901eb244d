#include "shell/AppImage.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "raster/ImageSampler.h"
#include "raster/PixelTriple.h"
#include "resources/AppPictures.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "runtime/CleanupNode.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HeapPixelBuffer.h"
#include "runtime/LibraryContext.h"

namespace shell {

namespace {

constexpr int32_t kPictureWidth = resources::kSplashPictureWidth;
constexpr int32_t kPictureHeight = resources::kSplashPictureHeight;
constexpr uint32_t kIndexBytes = static_cast<uint32_t>(kPictureWidth) * kPictureHeight;

// A block of the context's memory, freed however the scope ends.
class ContextBlock {
 public:
  ContextBlock(runtime::LibraryContext* context, size_t bytes)
      : context_(context), data_(static_cast<uint8_t*>(runtime::AllocOrThrow(context, bytes))) {}
  ~ContextBlock() { context_->memory.Free(data_); }
  ContextBlock(const ContextBlock&) = delete;
  ContextBlock& operator=(const ContextBlock&) = delete;
  uint8_t* Data() const { return data_; }

 private:
  runtime::LibraryContext* context_;
  uint8_t* data_;
};

void Inflate(const uint8_t* stream, uint32_t streamSize, uint8_t* out, uLongf expected) {
  uLongf size = expected;
  if (uncompress(out, &size, stream, streamSize) != Z_OK || size != expected) runtime::ThrowMalformed();
}

}  // namespace

void AppImage::Draw(runtime::LibraryContext* context, int32_t width, int32_t height, int32_t componentStep,
                    int32_t pixelStep, int32_t rowStride, uint8_t* buffer, bool flip) {
  if (buffer == nullptr || width <= 0 || height <= 0 || rowStride <= 0) return;
  std::memset(buffer, 0xFF, static_cast<size_t>(height) * static_cast<size_t>(rowStride));

  ContextBlock indices(context, kIndexBytes);
  ContextBlock palette(context, resources::kSplashPaletteBytes);
  Inflate(resources::kSplashIndexStream, resources::kSplashIndexStreamSize, indices.Data(), kIndexBytes);
  Inflate(resources::kSplashPaletteStream, resources::kSplashPaletteStreamSize, palette.Data(),
          resources::kSplashPaletteBytes);

  // The largest scale at which the whole picture fits, in 16.16.
  const int64_t scaleX = (int64_t{width} << 16) / kPictureWidth;
  const int64_t scaleY = (int64_t{height} << 16) / kPictureHeight;
  const int64_t scale = std::min(scaleX, scaleY);
  const auto scaledWidth = static_cast<int32_t>((kPictureWidth * scale) >> 16);
  const auto scaledHeight = static_cast<int32_t>((kPictureHeight * scale) >> 16);
  if (scaledWidth <= 0 || scaledHeight <= 0) return;

  // The picture in three planes, blue, green and red (palette bytes 2, 1
  // and 0), upside down when asked.
  runtime::HeapPixelLayout layout;
  layout.componentCount = 3;
  layout.planar = true;
  runtime::HeapPixelBuffer planes(context, context, runtime::IntRect{0, 0, kPictureWidth, kPictureHeight}, layout,
                                  false);
  for (int32_t y = 0; y < kPictureHeight; ++y) {
    const int32_t sourceRow = flip ? kPictureHeight - 1 - y : y;
    const uint8_t* source = indices.Data() + static_cast<size_t>(sourceRow) * kPictureWidth;
    uint8_t* row = planes.Storage() + planes.firstOffset + static_cast<ptrdiff_t>(y) * planes.rowStep;
    for (int32_t x = 0; x < kPictureWidth; ++x) {
      const uint8_t* rgb = palette.Data() + 3 * source[x];
      for (int k = 0; k < 3; ++k) row[x + static_cast<ptrdiff_t>(k) * planes.componentStep] = rgb[2 - k];
    }
  }

  runtime::ArenaAllocator arena(context, 16384, 4096);
  raster::ImageSamplerSetup setup;
  setup.image.data = planes.Storage() + planes.firstOffset;
  setup.image.rect = runtime::IntRect{0, 0, kPictureWidth, kPictureHeight};
  setup.image.channels = 3;
  setup.image.channelStep = planes.componentStep;
  setup.image.columnStep = 1;
  setup.image.rowStep = planes.rowStep;
  setup.toDevice = raster::SamplerMatrix{static_cast<double>(scaledWidth) / kPictureWidth, 0, 0,
                                         static_cast<double>(scaledHeight) / kPictureHeight, 0, 0};
  setup.area = runtime::IntRect{0, 0, scaledWidth, scaledHeight};
  raster::ImageSampler* sampler = raster::ImageSampler::Create(arena, raster::ImageSampler::kInterpolate, setup);
  if (sampler == nullptr) return;
  // Centred on the white area.
  const int32_t left = (width - scaledWidth) / 2;
  const int32_t top = (height - scaledHeight) / 2;
  for (int32_t y = 0; y < scaledHeight; ++y) {
    sampler->BeginRow(y);
    sampler->RunSpan(0, scaledWidth);
    uint8_t* out = buffer + static_cast<ptrdiff_t>(top + y) * rowStride + static_cast<ptrdiff_t>(left) * pixelStep;
    for (int32_t x = 0; x < scaledWidth; ++x, out += pixelStep) {
      const runtime::SpanCursor pixel = raster::CursorAt(sampler->Current().colour, x);
      for (int k = 0; k < 3; ++k) out[k * componentStep] = *pixel.Channel(k);
    }
  }
}

bool DrawSplashPicture(int32_t width, int32_t height, int32_t componentStep, int32_t pixelStep, int32_t rowStride,
                       uint8_t* buffer, bool flip) {
  runtime::LibraryContext context;
  runtime::ErrorTrap trap(&context);
  if (trap.Run([&] { AppImage::Draw(&context, width, height, componentStep, pixelStep, rowStride, buffer, flip); })) {
    return true;
  }
  // The splash is decoration: an error leaves the area white.
  trap.SetHandled();
  trap.Close();
  if (buffer != nullptr && width > 0 && height > 0 && rowStride > 0) {
    std::memset(buffer, 0xFF, static_cast<size_t>(height) * static_cast<size_t>(rowStride));
  }
  return false;
}

}  // namespace shell
