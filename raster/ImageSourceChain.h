#pragma once
// Builds the chain of row sources that turns an image's samples into rows
// of bytes in the target colour model, cut to the needed rectangle and
// reduced by 2^k, and pulls every row of it into a pixel buffer.
#include <cstdint>

#include "raster/ColorSpace.h"
#include "raster/ImageRowSource.h"
#include "runtime/Fixed.h"
#include "runtime/PixelBuffer.h"

namespace raster {

// What the chain needs to know of an image.
struct ImageDescriptor {
  // A sample kind with one output channel and no colour conversion (image
  // masks and soft masks).
  static constexpr int32_t kMaskSamples = 3;

  int32_t bitsPerComponent = 8;
  int32_t components = 1;
  int32_t sampleKind = 0;
  bool rawSamples = false;      // 1, 2 and 4-bit samples unpack to their values (palette indices)
  bool invertedDecode = false;  // Decode is [1 0] on every component
  const runtime::Fixed* decode = nullptr;  // {min, max} per component, or none
  ColorSpace* colorSpace = nullptr;        // or none
  const int32_t* colorKey = nullptr;       // {min, max} per component, or none
  int32_t width = 0;
  int32_t height = 0;
  // The highest palette index of an Indexed image, whose Decode maps in the
  // index domain; -1 otherwise.
  int32_t hival = -1;
};

// The part of the image a draw needs.
struct ImageNeed {
  IntRect rect;        // pixel rectangle within {0, 0, width, height}
  int32_t shift = 0;   // reduce by 2^shift (0: none)
};

class ImageSourceChain {
 public:
  // Wraps `source` (the head, over the whole image) in the links the image
  // needs and returns the last one; `components` receives the samples per
  // pixel it delivers. `target` is the colour model to convert into (none:
  // no conversion). Links come from the arena.
  static ImageRowSource* Build(runtime::ArenaAllocator& arena, ImageRowSource* source, const ImageDescriptor& image,
                               const ImageNeed& need, const ColorSpace* target, int32_t* components = nullptr);

  // Pulls every row of `last`'s bounds into `buffer`, whose rectangle must
  // hold them: rows copied whole, or with `planar` split into the planes of
  // the buffer's channels. (runtime, 2) when the rows do not fit.
  static void CopyAllRows(ImageRowSource* last, runtime::PixelBuffer& buffer, bool planar);
  // The same for rows y0 to y1 of `last`'s bounds, whose next row must be
  // y0: a buffer that holds a band of the rows at a time.
  static void CopyRows(ImageRowSource* last, runtime::PixelBuffer& buffer, bool planar, int32_t y0, int32_t y1);
};

}  // namespace raster
