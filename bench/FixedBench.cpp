// Baseline figures for the fixed-point primitives that the rasteriser and
// layout code call in their inner loops.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "runtime/Fixed.h"
#include "runtime/Matrix.h"

namespace {

std::vector<runtime::Fixed> Operands(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<runtime::Fixed> values(count);
  for (runtime::Fixed& v : values) {
    v = static_cast<runtime::Fixed>(random()) >> (random() % 24);
    if (v == 0) v = 1;
  }
  return values;
}

void BM_FixedMul(benchmark::State& state) {
  const auto a = Operands(1024, 1), b = Operands(1024, 2);
  for (auto _ : state) {
    runtime::Fixed sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum = runtime::WrapAdd(sum, runtime::FixedMul(a[i], b[i]));
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_FixedMul);

void BM_FixedDiv(benchmark::State& state) {
  const auto a = Operands(1024, 3), b = Operands(1024, 4);
  for (auto _ : state) {
    runtime::Fixed sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum = runtime::WrapAdd(sum, runtime::FixedDiv(a[i], b[i]));
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_FixedDiv);

void BM_MatrixInvert(benchmark::State& state) {
  const auto v = Operands(6 * 256, 5);
  std::vector<runtime::Matrix> matrices;
  for (size_t i = 0; i + 6 <= v.size(); i += 6)
    matrices.push_back({v[i], v[i + 1], v[i + 2], v[i + 3], v[i + 4], v[i + 5]});
  for (auto _ : state) {
    int inverted = 0;
    runtime::Matrix out;
    for (const runtime::Matrix& m : matrices) inverted += runtime::Matrix::Invert(out, m);
    benchmark::DoNotOptimize(inverted);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(matrices.size()));
}
BENCHMARK(BM_MatrixInvert);

}  // namespace
