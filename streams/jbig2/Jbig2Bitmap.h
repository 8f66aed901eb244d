#pragma once
// A 1-bit JBIG2 image, 1 = black, most significant bit first. Two zeroed
// guard rows above row 0 and at least 4 zeroed bytes after every row let
// the region decoders read the rows above and a few bytes ahead without
// bounds tests. Pixels past the width within a row's last byte stay 0.
#include <cstddef>
#include <cstdint>

namespace streams {

// Composition operators of regions and symbol instances.
enum Jbig2CombinationOp : uint8_t {
  kJbig2Or = 0,
  kJbig2And = 1,
  kJbig2Xor = 2,
  kJbig2Xnor = 3,
  kJbig2Replace = 4,
};

// The most pixels one text or halftone region may paint, counting overlaps:
// instances painted over and over, from a few bytes of data, must not keep
// the decoder busy for minutes.
inline constexpr uint64_t kJbig2MaxPaintedPixels = uint64_t{1} << 32;

struct Jbig2Bitmap {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t* block = nullptr;  // the heap block
  uint8_t* data = nullptr;   // row 0
  uint32_t stride = 0;
  uint32_t rowBytes = 0;
  uint8_t fill = 0;

  uint8_t* Row(uint32_t y) const { return data + static_cast<size_t>(y) * stride; }
  int Pixel(uint32_t x, uint32_t y) const { return (Row(y)[x >> 3] >> (7 - (x & 7))) & 1; }

  // A new bitmap from the JBIG2 heap, every pixel `fill`; null with *result
  // 13 when width or height is negative as a signed 32-bit value or the
  // bitmap, padding included, would pass what is left of the decode's
  // memory limit.
  static Jbig2Bitmap* Create(uint32_t width, uint32_t height, uint8_t fill, int* result);
  static void Free(Jbig2Bitmap* bitmap);
  // Sets every pixel to `value`; the bits past the width stay 0.
  static void Fill(Jbig2Bitmap* bitmap, int value);

  // 0 outside the bitmap.
  static int GetPixel(const Jbig2Bitmap* bitmap, int64_t row, int64_t column);
  static void SetPixel(Jbig2Bitmap* bitmap, int64_t row, int64_t column, int value);

  // Combines `source` into `destination` with its top-left corner at (x, y),
  // dropping what falls outside; returns the number of pixels combined. A
  // null source throws (runtime, 2).
  static uint64_t ComposeClipped(Jbig2Bitmap* destination, const Jbig2Bitmap* source, int64_t x,
                             int64_t y, int op);
  // Composition of a region at a position read from the file: the far
  // edges must stay within 32 bits, else (runtime, 2).
  static void Compose(Jbig2Bitmap* page, const Jbig2Bitmap* region, uint32_t x, uint32_t y,
                      int op);
  // A copy of the given rectangle; a rectangle reaching outside the bitmap
  // throws (runtime, 2).
  static Jbig2Bitmap* Extract(const Jbig2Bitmap* bitmap, uint32_t x, uint32_t y, uint32_t width,
                              uint32_t height);
};

}  // namespace streams
