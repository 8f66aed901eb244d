#include "raster/ResampleKernels.h"

#include <algorithm>
#include <cstring>

namespace raster {
namespace {

// Weighted sums carry 11 fraction bits per axis: 22 in all.
constexpr int kSampleWeightBits = 22;
constexpr int64_t kSampleRounding = int64_t{1} << (kSampleWeightBits - 1);

inline uint8_t ClampSample(int64_t acc) {
  const int64_t value = (acc + kSampleRounding) >> kSampleWeightBits;
  return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// The box mean of one f × f block, unrolled for each small size.
template <int F>
void BoxReduceFixed(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps, uint8_t* out) {
  constexpr uint32_t kArea = F * F;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* block = source + taps[i].offset;
    uint32_t sum = kArea / 2;
    for (int r = 0; r < F; ++r) {
      const uint8_t* row = block + static_cast<int64_t>(r) * stride;
      for (int c = 0; c < F; ++c) sum += row[c];
    }
    if constexpr (F == 2) {
      out[i] = static_cast<uint8_t>(sum >> 2);
    } else {
      out[i] = static_cast<uint8_t>(sum / kArea);
    }
  }
}

void BoxReduceAnySize(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps, uint32_t f,
                      uint8_t* out) {
  const uint64_t area = uint64_t{f} * f;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* block = source + taps[i].offset;
    uint64_t sum = area / 2;
    for (uint32_t r = 0; r < f; ++r) {
      const uint8_t* row = block + static_cast<int64_t>(r) * stride;
      uint32_t c = 0;
      for (; c + 10 <= f; c += 10) {
        sum += row[c] + row[c + 1] + row[c + 2] + row[c + 3] + row[c + 4] + row[c + 5] + row[c + 6] + row[c + 7] +
               row[c + 8] + row[c + 9];
      }
      for (; c < f; ++c) sum += row[c];
    }
    out[i] = static_cast<uint8_t>(sum / area);
  }
}

}  // namespace

void BoxReduceSamples(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps,
                      const SampleKernelParameters& parameters, uint8_t* out) {
  switch (parameters.taps) {
    case 1:
      for (uint32_t i = 0; i < count; ++i) out[i] = source[taps[i].offset];
      return;
    case 2: return BoxReduceFixed<2>(count, source, stride, taps, out);
    case 3: return BoxReduceFixed<3>(count, source, stride, taps, out);
    case 4: return BoxReduceFixed<4>(count, source, stride, taps, out);
    case 5: return BoxReduceFixed<5>(count, source, stride, taps, out);
    case 6: return BoxReduceFixed<6>(count, source, stride, taps, out);
    case 7: return BoxReduceFixed<7>(count, source, stride, taps, out);
    case 8: return BoxReduceFixed<8>(count, source, stride, taps, out);
    case 9: return BoxReduceFixed<9>(count, source, stride, taps, out);
    case 10: return BoxReduceFixed<10>(count, source, stride, taps, out);
    default:
      if (parameters.taps < 1) {
        std::memset(out, 0, count);
        return;
      }
      return BoxReduceAnySize(count, source, stride, taps, static_cast<uint32_t>(parameters.taps), out);
  }
}

// The separable sum with the tap count fixed, so the compiler unrolls both
// inner loops.
template <int N>
void SeparableKernelFixed(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps,
                    const SampleKernelParameters& parameters, uint8_t* out) {
  const int16_t* table = parameters.weights;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* block = source + taps[i].offset;
    const int16_t* wx = table + static_cast<int32_t>(taps[i].phaseX) * N;
    const int16_t* wy = table + static_cast<int32_t>(taps[i].phaseY) * N;
    int64_t acc = 0;
    for (int r = 0; r < N; ++r) {
      const uint8_t* row = block + static_cast<int64_t>(r) * stride;
      int32_t sum = 0;
      for (int c = 0; c < N; ++c) sum += row[c] * wx[c];
      acc += int64_t{sum} * wy[r];
    }
    out[i] = ClampSample(acc);
  }
}

template void SeparableKernelFixed<2>(uint32_t, const uint8_t*, int32_t, const ResampleTap*,
                                     const SampleKernelParameters&, uint8_t*);
template void SeparableKernelFixed<3>(uint32_t, const uint8_t*, int32_t, const ResampleTap*,
                                     const SampleKernelParameters&, uint8_t*);
template void SeparableKernelFixed<4>(uint32_t, const uint8_t*, int32_t, const ResampleTap*,
                                     const SampleKernelParameters&, uint8_t*);
template void SeparableKernelFixed<5>(uint32_t, const uint8_t*, int32_t, const ResampleTap*,
                                     const SampleKernelParameters&, uint8_t*);
template void SeparableKernelFixed<6>(uint32_t, const uint8_t*, int32_t, const ResampleTap*,
                                     const SampleKernelParameters&, uint8_t*);
template void SeparableKernelFixed<7>(uint32_t, const uint8_t*, int32_t, const ResampleTap*,
                                     const SampleKernelParameters&, uint8_t*);
template void SeparableKernelFixed<8>(uint32_t, const uint8_t*, int32_t, const ResampleTap*,
                                     const SampleKernelParameters&, uint8_t*);

void SeparableKernelN(uint32_t count, const uint8_t* source, int32_t stride, const ResampleTap* taps,
                      const SampleKernelParameters& parameters, uint8_t* out) {
  const int32_t n = parameters.taps;
  if (n < 1 || n > kMaxSampleKernelTaps) {
    std::memset(out, 0, count);
    return;
  }
  const int64_t rowBytes = parameters.weightStride != 0 ? parameters.weightStride : int64_t{n} * 2;
  const auto* table = reinterpret_cast<const uint8_t*>(parameters.weights);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* block = source + taps[i].offset;
    const auto* wx = reinterpret_cast<const int16_t*>(table + taps[i].phaseX * rowBytes);
    const auto* wy = reinterpret_cast<const int16_t*>(table + taps[i].phaseY * rowBytes);
    int64_t acc = 0;
    for (int32_t r = 0; r < n; ++r) {
      const uint8_t* row = block + static_cast<int64_t>(r) * stride;
      int64_t sum = 0;
      for (int32_t c = 0; c < n; ++c) sum += row[c] * wx[c];
      acc += sum * wy[r];
    }
    out[i] = ClampSample(acc);
  }
}

SampleKernel ChooseSampleKernel(int32_t filterKind, bool boxReduction, int32_t taps, int32_t secondSize) {
  if (filterKind == 0 || filterKind == 1 || boxReduction) return BoxReduceSamples;
  if (taps == 4 || secondSize == 4) return SeparableKernel4;
  if (secondSize == 8) return SeparableKernel8;
  switch (taps) {
    case 1: return BoxReduceSamples;
    case 2: return SeparableKernel2;
    case 3: return SeparableKernel3;
    case 5: return SeparableKernel5;
    case 6: return SeparableKernel6;
    case 7: return SeparableKernel7;
    default: return SeparableKernelN;
  }
}

SampleKernel ChooseSampleKernel(const runtime::ResampleKernel& kernel, int32_t filterKind, int32_t secondSize) {
  const bool boxReduction = kernel.IsBox() && kernel.kernelScale < runtime::kFixedOne;
  return ChooseSampleKernel(filterKind, boxReduction, kernel.TapCount(), secondSize);
}

int16_t* BuildSampleWeights(runtime::ArenaAllocator& arena, const runtime::ResampleKernel& kernel, int32_t phases) {
  const int32_t taps = kernel.TapCount();
  if (taps < 1 || taps > kMaxSampleKernelTaps || phases < 1 || phases > 0x10000) return nullptr;
  auto* table = static_cast<int16_t*>(arena.Alloc(static_cast<size_t>(phases) * static_cast<size_t>(taps) * 2));
  for (int32_t p = 0; p < phases; ++p) {
    const runtime::Fixed phase = static_cast<runtime::Fixed>((int64_t{p} << 16) / phases);
    int16_t* row = table + static_cast<size_t>(p) * static_cast<size_t>(taps);
    if (!kernel.TapWeights(phase, {row, static_cast<size_t>(taps)})) return nullptr;
  }
  return table;
}

}  // namespace raster
