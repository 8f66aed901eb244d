#pragma once
// The links of an image source chain between its head and its reduction:
// cutting to a rectangle, colour-key masking, unpacking samples to bytes,
// Decode mapping and colour conversion. Each takes its rows from its
// predecessor and reports the predecessor's bounds unless said otherwise.
#include <cstdint>

#include "raster/ColorSpace.h"
#include "raster/DecodeMap.h"
#include "raster/ImageRowSource.h"

namespace raster {

// The part of each row inside `rect`, after skipping the rows above it.
// Below 8 bits per pixel a row cannot start inside a byte, so x0 is moved
// left to the nearest pixel that starts on a byte and reported in Bounds:
// the samples stay where they are and the extra pixels on the left are
// simply delivered too. (runtime, 2) for a rectangle outside the
// predecessor's bounds.
class SubRectRowSource final : public ImageRowSource {
 public:
  SubRectRowSource(ImageRowSource* previous, const IntRect& rect, int32_t bitsPerPixel);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return rect_; }
  uint32_t RowBytes() const override { return rowBytes_; }

 private:
  ImageRowSource* previous_;
  uint32_t rowsToSkip_;
  uint32_t byteOffset_;
  uint32_t rowBytes_;
  IntRect rect_;
};

// One sample per pixel at the input depth: 0 where every component lies
// inside its [min, max] key range (the pixel is masked out), all ones
// elsewhere. `ranges` holds a {min, max} pair per component.
class ColorKeyMaskSource final : public ImageRowSource {
 public:
  ColorKeyMaskSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, int32_t components,
                     int32_t bitsPerComponent, const int32_t* ranges);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return previous_->Bounds(); }
  uint32_t RowBytes() const override { return rowBytes_; }

 private:
  ImageRowSource* previous_;
  int32_t components_;
  int32_t bits_;
  const int32_t* ranges_;
  uint32_t pixels_;
  uint32_t rowBytes_;
  uint8_t* row_;
};

// One byte per sample from 1, 2, 4 or 16-bit samples, by table lookup of
// whole nibbles. 1, 2 and 4-bit samples scale to 0..255, or count down from
// 255 with the inverted-decode flag, or keep their raw values with the
// raw-samples flag (which wins); 16-bit samples keep their high byte,
// inverted with the inverted-decode flag. Other depths: (runtime, 2).
class SampleUnpackSource final : public ImageRowSource {
 public:
  SampleUnpackSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, int32_t components,
                     int32_t bitsPerComponent, bool invertedDecode, bool rawSamples);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return previous_->Bounds(); }
  uint32_t RowBytes() const override { return rowLength_; }

 private:
  ImageRowSource* previous_;
  int32_t bits_;
  const uint8_t* table_;
  uint32_t rowLength_;
  uint8_t* row_;
};

// Bytes mapped through a DecodeMap.
class DecodeMapSource final : public ImageRowSource {
 public:
  DecodeMapSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, const DecodeMap& map);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return previous_->Bounds(); }
  uint32_t RowBytes() const override { return previous_->RowBytes(); }

 private:
  ImageRowSource* previous_;
  DecodeMap map_;
  uint8_t* row_;
};

// One row in the target colour model through a converter the image's
// colour space makes; `components` is the predecessor's count per pixel.
class ColorConvertSource final : public ImageRowSource {
 public:
  ColorConvertSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, ColorSpace& space,
                     const ColorSpace& target, int32_t components);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return previous_->Bounds(); }
  uint32_t RowBytes() const override { return rowBytes_; }

 private:
  ImageRowSource* previous_;
  runtime::PixelConverter* converter_;
  int32_t inComponents_;
  int32_t outComponents_;
  uint32_t rowBytes_;
  uint8_t* row_;
};

}  // namespace raster
