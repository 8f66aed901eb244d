// Figures for the per-page pixel paths of the runtime: combining band
// regions, and setting up a resampling kernel and running one row through
// it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "runtime/Fixed.h"
#include "runtime/LibraryContext.h"
#include "runtime/Region.h"
#include "runtime/ResampleKernel.h"

namespace {

using namespace runtime;

// 1000 bands, each one row high with two spans that move from band to
// band, so that no two neighbouring bands merge.
void BuildStaircase(Region& region, int32_t shift) {
  region.Clear();
  for (int32_t y = 0; y < 1000; ++y) {
    const int32_t x = (y * 7 + shift) % 500;
    const RegionSpan spans[] = {{x, x + 40, 1}, {x + 40, x + 100, 0}, {x + 100, x + 130, 1}};
    region.AppendBand(y, y + 1, spans);
  }
}

void BM_RegionUnion1000Bands(benchmark::State& state) {
  LibraryContext context;
  Region a(&context), b(&context), out(&context);
  BuildStaircase(a, 0);
  BuildStaircase(b, 55);
  for (auto _ : state) {
    Region::Combine(out, a, b, RegionOp::kUnion);
    benchmark::DoNotOptimize(out.SpanCount());
  }
  state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_RegionUnion1000Bands);

// A 2048-sample row reduced to 1024 (or enlarged from 512) with the kernel
// of each filter kind: kernel set-up, one weight table per output phase,
// and the weighted sums.
void BM_ResampleKernelRow(benchmark::State& state) {
  const int32_t kind = static_cast<int32_t>(state.range(0));
  const int32_t sourceWidth = static_cast<int32_t>(state.range(1));
  constexpr int32_t kOut = 1024;
  std::vector<uint8_t> source(static_cast<size_t>(sourceWidth));
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 37);
  std::vector<uint8_t> row(kOut);
  std::vector<int16_t> weights(ResampleKernel::kMaxTaps);
  const Fixed scale = FixedDiv(FixedFromInt(kOut), FixedFromInt(sourceWidth));
  const Fixed step = FixedDiv(FixedFromInt(sourceWidth), FixedFromInt(kOut));
  for (auto _ : state) {
    ResampleKernel kernel;
    kernel.Setup({kind, 0, scale, 0}, false);
    const int32_t taps = kernel.TapCount();
    for (int32_t i = 0; i < kOut; ++i) {
      // The centre of output pixel i in source pixels.
      const Fixed centre = FixedMul(FixedFromInt(i) + kFixedHalf, step) - kFixedHalf;
      kernel.TapWeights(centre & 0xffff, weights);
      const int32_t base = FixedToIntFloor(centre) + kernel.firstTap;
      int32_t sum = 0;
      for (int32_t t = 0; t < taps; ++t) {
        const int32_t at = std::clamp(base + t, 0, sourceWidth - 1);
        sum += source[static_cast<size_t>(at)] * weights[static_cast<size_t>(t)];
      }
      row[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp((sum + 1024) >> 11, 0, 255));
    }
    benchmark::DoNotOptimize(row.data());
  }
  state.SetItemsProcessed(state.iterations() * kOut);
}
BENCHMARK(BM_ResampleKernelRow)->Args({2, 2048})->Args({3, 2048})->Args({8, 512})->Args({9, 1536});

}  // namespace
