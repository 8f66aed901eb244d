#pragma once
// What every image painted from content is first turned into: its size,
// sample layout, decode pairs and kind of mask, read from an image
// XObject's stream dictionary or from an inline image's dictionary (which
// may use the abbreviated keys). One reader serves both; they differ only
// in how a key is looked up.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"

namespace content {

struct ImageInfo {
  // The kinds of mask an image can carry.
  enum MaskKind : uint8_t {
    kNoMask = 0,
    kStencilMask = 1,   // "Mask" is an image-mask stream
    kColorKeyMask = 2,  // "Mask" is an array of sample ranges
    kSoftMask = 3,      // "SMask", or a soft mask carried in the image data
  };
  // Images have at most this many components (the sample chain's limit).
  static constexpr int32_t kMaxComponents = 32;

  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerComponent = 8;
  int32_t components = 1;
  uint8_t maskKind = kNoMask;
  bool imageMask = false;
  bool indexed = false;
  // Every decode pair is [1 0] (for image masks: the coverage pair), so
  // samples count down; the sample chain inverts them while unpacking.
  bool inverted = false;
  bool interpolate = false;
  // 2 x components decode values (image masks: coverage pairs), from the
  // arena; none when they are the default.
  const runtime::Fixed* decode = nullptr;
  // 2 x components sample ranges of a colour-key mask, from the arena.
  const int32_t* colorKey = nullptr;
  // The "Mask" stream (kind 1) or the "SMask" stream (kind 3).
  runtime::ObjectHandle mask;

  // Width, Height (both at least 1), ImageMask, BitsPerComponent (1, 2, 4,
  // 8 or 16; 1 for an image mask) and the kind of mask: an "SMask" (or,
  // with `softMaskInData` from the image's decoder, the data's own unless
  // "SMaskInData" is 0), else "Mask" as an array (colour key) or a stream.
  // `abbreviations` reads an inline image's dictionary. (runtime, 2) for a
  // missing or mistyped entry.
  static void ReadLayout(ImageInfo& info, const runtime::ObjectHandle& dictionary, bool abbreviations,
                         bool softMaskInData = false);
  // Once `components` and `indexed` are set: the colour-key ranges (exactly
  // 2 x components integers) or the "Decode" pairs (at least 2 x components
  // numbers, the first ones kept), dropped when they are the default: [0 1]
  // per component, [0 2^bits - 1] for an Indexed image. An image mask's
  // pairs become coverage pairs, [1 - d0, 1 - d1], [1 0] without "Decode".
  // (runtime, 2) for a wrong length or type.
  static void ReadArrays(ImageInfo& info, const runtime::ObjectHandle& dictionary, bool abbreviations,
                         runtime::ArenaAllocator& arena);

  // Bytes of one row of samples and of all rows, in 64 bits, so that no
  // size from the file can wrap.
  uint64_t RowBytes() const;
  uint64_t DataBytes() const { return RowBytes() * static_cast<uint32_t>(height > 0 ? height : 0); }
};

}  // namespace content
