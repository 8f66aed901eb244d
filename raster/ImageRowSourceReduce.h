#pragma once
// The reducing links of an image source chain: averaging blocks of 2^k
// pixels across and 2^k rows down, for images drawn at a fraction of their
// size. A partial block at the right or bottom edge repeats its last pixel
// (row) for the missing ones, so every output sample is a mean of 2^k
// values.
#include <cstdint>

#include "raster/ImageRowSource.h"

namespace raster {

// The largest reduction shift: blocks of 32 pixels.
inline constexpr int32_t kMaxReductionShift = 5;

class BoxReduceXSource final : public ImageRowSource {
 public:
  // (runtime, 2) for a shift outside 1..kMaxReductionShift.
  BoxReduceXSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, int32_t shift, int32_t components);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return bounds_; }
  uint32_t RowBytes() const override { return rowBytes_; }

 private:
  ImageRowSource* previous_;
  int32_t shift_;
  int32_t components_;
  uint32_t wholeBlocks_;
  uint32_t remainder_;
  uint32_t rowBytes_;
  IntRect bounds_;
  uint8_t* row_;
};

class BoxReduceYSource final : public ImageRowSource {
 public:
  BoxReduceYSource(runtime::ArenaAllocator& arena, ImageRowSource* previous, int32_t shift);

  const uint8_t* NextRow() override;
  const IntRect& Bounds() const override { return bounds_; }
  uint32_t RowBytes() const override { return rowBytes_; }

 private:
  ImageRowSource* previous_;
  int32_t shift_;
  uint32_t rowBytes_;
  int32_t nextInputRow_;
  IntRect bounds_;
  // Column sums of the block being read (at most 32 x 255 each).
  uint16_t* sums_;
  uint8_t* row_;
};

}  // namespace raster
