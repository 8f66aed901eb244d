// Compositing throughput over a 1024 x 1024 RGB page device: a translucent
// fill (source over), an opaque fill through Multiply, and an opaque fill
// through a soft clip mask. Reported in megapixels per second.
#include <benchmark/benchmark.h>

#include "raster/ConstantSources.h"
#include "raster/PipelineDriver.h"
#include "raster/PlaneSource.h"
#include "raster/RasterDevice.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "tests/raster/TestColorSpace.h"

namespace {

using namespace raster;

constexpr int32_t kSide = 1024;

struct Page {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 65536, 16384};
  RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, kSide, kSide},
                                                       &rastertest::TestColorSpace::Rgb());
  const PixelRegion* region = PixelRegion::FromRect(arena, {0, 0, kSide, kSide});
  PipelineNode* coverage = PlaneSource::Create(arena, {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr});
};

void Report(benchmark::State& state) {
  const double pixels = double(state.iterations()) * kSide * kSide;
  state.counters["MP/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

void BM_CompositeNormal(benchmark::State& state) {
  Page page;
  for (auto _ : state) {
    runtime::ArenaScope scope(page.arena);
    // Premultiplied: colour bytes never exceed the alpha of 128.
    PipelineNode* source = PlaneSource::Create(
        page.arena, {PixelPlane::Opaque(), PixelPlane::MakeConstant(page.arena, 128),
                     SolidColorSource::FromRgbFixed(page.arena, 0x4000, 0x8000, 0x2000)->variants[0].colour});
    page.device->PaintSource(*page.region, nullptr, nullptr, page.coverage, source, nullptr);
  }
  Report(state);
}
BENCHMARK(BM_CompositeNormal)->Unit(benchmark::kMillisecond);

void BM_CompositeMultiply(benchmark::State& state) {
  Page page;
  for (auto _ : state) {
    runtime::ArenaScope scope(page.arena);
    page.device->PaintSource(*page.region, nullptr, nullptr, page.coverage,
                             SolidColorSource::FromRgbFixed(page.arena, 0xc000, 0x8000, 0x4000),
                             BlendFunction::Create(page.arena, kBlendMultiply));
  }
  Report(state);
}
BENCHMARK(BM_CompositeMultiply)->Unit(benchmark::kMillisecond);

void BM_CompositeSoftMask(benchmark::State& state) {
  Page page;
  auto* maskBuffer = runtime::NewInArena<runtime::PixelBuffer>(
      page.arena, &page.context, &page.arena, IntRect{0, 0, kSide, kSide}, PixelLayout::ForPlanes(-1, 2, 0, false),
      false);
  const PixelTriple mask = PixelTriple::OfBuffer(page.arena, *maskBuffer);
  for (int32_t y = 0; y < kSide; ++y) {
    mask.shape->SetRow(y);
    uint8_t* row = CursorAt(mask.shape, 0).pixel;
    for (int32_t x = 0; x < kSide; ++x) row[x] = uint8_t((x + y) & 255);
  }
  for (auto _ : state) {
    runtime::ArenaScope scope(page.arena);
    PipelineNode* clipMask = PlaneSource::Create(page.arena, {mask.shape, mask.shape, nullptr});
    page.device->PaintSource(*page.region, nullptr, clipMask, page.coverage,
                             SolidColorSource::FromRgbFixed(page.arena, 0xc000, 0x8000, 0x4000), nullptr);
  }
  Report(state);
}
BENCHMARK(BM_CompositeSoftMask)->Unit(benchmark::kMillisecond);

}  // namespace
