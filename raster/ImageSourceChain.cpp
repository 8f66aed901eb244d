#include "raster/ImageSourceChain.h"

#include <cstring>

#include "raster/DecodeMap.h"
#include "raster/ImageRowSourceLinks.h"
#include "raster/ImageRowSourceReduce.h"
#include "runtime/ErrorTrap.h"

namespace raster {
ImageRowSource* ImageSourceChain::Build(runtime::ArenaAllocator& arena, ImageRowSource* source,
                                        const ImageDescriptor& image, const ImageNeed& need,
                                        const ColorSpace* target, int32_t* components) {
  if (image.components <= 0 || image.components > DecodeMap::kMaxComponents || image.width <= 0 ||
      image.height <= 0) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  ImageRowSource* last = source;
  int32_t count = image.components;
  const IntRect& r = need.rect;
  if (r.x0 < 0 || r.y0 < 0 || r.x1 > image.width || r.y1 > image.height || r.IsEmpty()) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (static_cast<int64_t>(r.x1) - r.x0 != image.width || static_cast<int64_t>(r.y1) - r.y0 != image.height) {
    last = runtime::NewInArena<SubRectRowSource>(arena, last, r, image.bitsPerComponent * image.components);
  }
  const bool keyed = image.colorKey != nullptr;
  if (keyed) {
    last = runtime::NewInArena<ColorKeyMaskSource>(arena, arena, last, count, image.bitsPerComponent,
                                                   image.colorKey);
    count = 1;
  }
  if (image.bitsPerComponent != 8) {
    last = runtime::NewInArena<SampleUnpackSource>(arena, arena, last, count, image.bitsPerComponent,
                                                   image.invertedDecode, image.rawSamples);
  }
  if (image.decode != nullptr && !keyed && (image.bitsPerComponent == 8 || !image.invertedDecode)) {
    DecodeMap map;
    if (image.hival >= 0) {
      const int32_t bits = image.bitsPerComponent > 8 ? 8 : image.bitsPerComponent;
      map = DecodeMap::BuildIndexed(image.decode, (1 << bits) - 1, image.hival);
    } else {
      map = DecodeMap::Build(image.decode, count);
    }
    last = runtime::NewInArena<DecodeMapSource>(arena, arena, last, map);
  }
  ColorSpace* space = image.colorSpace;
  const bool converts = !keyed && image.sampleKind != ImageDescriptor::kMaskSamples && space != nullptr &&
                        target != nullptr;
  bool convertFirst = false;
  if (converts) convertFirst = space->SamplesAreIndices() || space->ConvertsNonlinearly();
  if (convertFirst) {
    last = runtime::NewInArena<ColorConvertSource>(arena, arena, last, *space, *target, count);
    count = target->ComponentCount();
  }
  if (need.shift > 0) {
    last = runtime::NewInArena<BoxReduceXSource>(arena, arena, last, need.shift, count);
    last = runtime::NewInArena<BoxReduceYSource>(arena, arena, last, need.shift);
  }
  if (converts && !convertFirst) {
    last = runtime::NewInArena<ColorConvertSource>(arena, arena, last, *space, *target, count);
    count = target->ComponentCount();
  }
  if (components != nullptr) *components = count;
  return last;
}

void ImageSourceChain::CopyAllRows(ImageRowSource* last, runtime::PixelBuffer& buffer, bool planar) {
  const IntRect bounds = last->Bounds();
  if (static_cast<int64_t>(bounds.y1) - bounds.y0 <= 0) return;
  CopyRows(last, buffer, planar, bounds.y0, bounds.y1);
}

void ImageSourceChain::CopyRows(ImageRowSource* last, runtime::PixelBuffer& buffer, bool planar, int32_t y0,
                                int32_t y1) {
  const IntRect bounds = last->Bounds();
  const int64_t width = static_cast<int64_t>(bounds.x1) - bounds.x0;
  if (y1 <= y0) return;
  const IntRect& into = buffer.rect;
  if (width <= 0 || y0 < bounds.y0 || y1 > bounds.y1 || bounds.x0 < into.x0 || y0 < into.y0 ||
      bounds.x1 > into.x1 || y1 > into.y1) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  const uint32_t rowBytes = last->RowBytes();
  const int64_t channels = planar ? buffer.colour.format.Count() : 0;
  // Rows must fit the buffer's rows: whole rows of interleaved pixels, or
  // one byte per channel and pixel when split into planes.
  if (planar ? width * channels > rowBytes || buffer.columnStep != 1
             : rowBytes > width * buffer.columnStep ||
                   (buffer.channelStep != 1 && buffer.colour.format.Count() != 1)) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  uint8_t* destination = buffer.storage + (static_cast<int64_t>(bounds.x0) - into.x0) * buffer.columnStep +
                         (static_cast<int64_t>(y0) - into.y0) * buffer.rowStep + buffer.firstOffset;
  for (int64_t y = y0; y < y1; ++y, destination += buffer.rowStep) {
    const uint8_t* row = last->NextRow();
    if (!planar) {
      std::memcpy(destination, row, rowBytes);
      continue;
    }
    for (int64_t c = 0; c < channels; ++c) {
      uint8_t* plane = destination + c * buffer.channelStep;
      const uint8_t* sample = row + c;
      for (int64_t k = 0; k < width; ++k, sample += channels) plane[k] = *sample;
    }
  }
}

}  // namespace raster
