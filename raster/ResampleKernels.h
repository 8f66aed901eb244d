#pragma once
// Row kernels that resample 8-bit samples (glyph bitmaps, image masks): one
// call computes one output row, one byte per tap record, from the block of
// source samples at each tap's offset. A box filter averages f × f blocks;
// the separable filters weight N × N blocks by a horizontal and a vertical
// row of a shared weight table (1/2048 units). Every kernel has the same
// signature, so a resampler picks one when it is set up and keeps a pointer.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ResampleKernel.h"

namespace raster {

// One output sample: the byte offset of its block's top-left source sample
// and the rows of the weight table for its two axes.
struct ResampleTap {
  uint32_t offset = 0;
  int16_t phaseX = 0;
  int16_t phaseY = 0;
};

// What the kernels read of their resampler.
struct SampleKernelParameters {
  // Taps per axis; the block size for the box filter.
  int32_t taps = 1;
  // For each phase, `taps` weights in 1/2048 units (2048 is 1.0).
  const int16_t* weights = nullptr;
  // Bytes from one phase's row to the next (the general kernel's table may
  // have padded rows); 0 means taps × 2.
  int32_t weightStride = 0;
};

using SampleKernel = void (*)(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps,
                              const SampleKernelParameters& parameters, uint8_t* out);

// The most taps per axis the general kernel takes.
inline constexpr int32_t kMaxSampleKernelTaps = 75;

// Rounded mean of each f × f block (halves round up). A block size below 1
// writes zeros: there is no block to average.
void BoxReduceSamples(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps,
                      const SampleKernelParameters& parameters, uint8_t* out);
// Separable weighted sums for 2 to 8 taps, clamped to 0..255; each size
// is its own unrolled routine (instantiated for 2 to 8 only).
template <int N>
void SeparableKernelFixed(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps,
                          const SampleKernelParameters& parameters, uint8_t* out);
inline constexpr SampleKernel SeparableKernel2 = &SeparableKernelFixed<2>;
inline constexpr SampleKernel SeparableKernel3 = &SeparableKernelFixed<3>;
inline constexpr SampleKernel SeparableKernel4 = &SeparableKernelFixed<4>;
inline constexpr SampleKernel SeparableKernel5 = &SeparableKernelFixed<5>;
inline constexpr SampleKernel SeparableKernel6 = &SeparableKernelFixed<6>;
inline constexpr SampleKernel SeparableKernel7 = &SeparableKernelFixed<7>;
inline constexpr SampleKernel SeparableKernel8 = &SeparableKernelFixed<8>;
// The same sum for any tap count from 1 to kMaxSampleKernelTaps (others
// write zeros), with the table's row stride.
void SeparableKernelN(uint32_t, const uint8_t*, int32_t, const ResampleTap*, const SampleKernelParameters&, uint8_t*);

// The kernel for a resampler: filter kinds 0 and 1, and the box function
// at a reduction, average blocks; otherwise the kernel of the tap count
// (`secondSize` 4 or 8 picks those unrolled sizes), the general one for
// tap counts without an unrolled routine.
SampleKernel ChooseSampleKernel(int32_t filterKind, bool boxReduction, int32_t taps, int32_t secondSize);
SampleKernel ChooseSampleKernel(const runtime::ResampleKernel& kernel, int32_t filterKind, int32_t secondSize);

// The weight table of `kernel` for `phases` evenly spaced phases (phase p
// is p / phases of a source pixel): phases × TapCount() weights in the
// arena, each phase's row summing to exactly 2048. Null when the kernel has
// no taps or more than kMaxSampleKernelTaps.
int16_t* BuildSampleWeights(runtime::ArenaAllocator& arena, const runtime::ResampleKernel& kernel, int32_t phases);

}  // namespace raster
