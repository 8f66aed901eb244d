#pragma once
// The links of an image source chain. Before an image is resampled onto the
// page its samples pass through a chain of row sources, each taking rows
// from the one before it and handing on rows of its own: the decoded stream
// or an in-memory raster at the head, then cutting to the needed rectangle,
// colour-key masking, unpacking to bytes, Decode mapping, colour conversion
// and reduction by powers of two (ImageSourceChain builds it).
//
// Every link lives in the arena of one image draw and is never destroyed
// one by one; every buffer is allocated once, at construction, so NextRow
// never allocates.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/Rect.h"

namespace streams {
class ImageRowSource;
}

namespace raster {

using runtime::IntRect;

class ImageRowSource {
 public:
  // The bytes of the next row. Rows come strictly top to bottom, one per
  // call, valid until the next call.
  virtual const uint8_t* NextRow() = 0;
  // The pixel rectangle whose rows this link delivers.
  virtual const IntRect& Bounds() const = 0;
  // Bytes NextRow delivers per row.
  virtual uint32_t RowBytes() const = 0;

 protected:
  ~ImageRowSource() = default;
};

// The head over an image's decoded stream. The stream's rows belong to the
// caller, who keeps them alive (and destroys them) around the draw.
class StreamRowSource final : public ImageRowSource {
 public:
  explicit StreamRowSource(streams::ImageRowSource* rows);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return bounds_; }
  uint32_t RowBytes() const override { return rowBytes_; }

 private:
  streams::ImageRowSource* rows_;
  IntRect bounds_;
  uint32_t rowBytes_;
};

// The head over an in-memory raster of `height` rows of
// (width x bits per component x components + 7) / 8 bytes each. The data
// must hold every row: (runtime, 2) when `size` is short.
class MemoryRowSource final : public ImageRowSource {
 public:
  MemoryRowSource(const uint8_t* data, uint64_t size, int32_t width, int32_t height, int32_t bitsPerComponent,
                  int32_t components);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return bounds_; }
  uint32_t RowBytes() const override { return rowBytes_; }

 private:
  const uint8_t* next_;
  const uint8_t* end_;
  IntRect bounds_;
  uint32_t rowBytes_;
};

// The bytes of a row of `pixels` pixels of `bitsPerPixel` bits; (runtime, 1)
// beyond the row limit of the stream row source.
uint32_t ImageRowBytes(int64_t pixels, int64_t bitsPerPixel);

// A buffer of n bytes (rounded up to 8) from the arena, for a link's row.
uint8_t* AllocRowBuffer(runtime::ArenaAllocator& arena, uint64_t n);

}  // namespace raster
