#include "raster/ResampleKernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"

namespace raster {
namespace {

// One output sample of `kernel` over a block laid out row by row in
// `samples` (stride = width), with weight rows for phase 0 only.
uint8_t RunKernelOnce(SampleKernel kernel, const std::vector<uint8_t>& samples, int32_t width, int32_t taps,
               const int16_t* weights = nullptr) {
  const ResampleTap tap{0, 0, 0};
  const SampleKernelParameters parameters{taps, weights, 0};
  uint8_t out = 0xAA;
  kernel(1, samples.data(), width, &tap, parameters, &out);
  return out;
}

TEST(ResampleKernelsTest, BoxFilterAveragesBlocksWithHalvesRoundingUp) {
  struct Case {
    const char* name;
    int32_t size;
    std::vector<uint8_t> samples;
    uint8_t expected;
  } cases[] = {
      {"size 1 copies the top-left sample", 1, {77}, 77},
      {"size 2 of 1,2,2,2 rounds (7 + 2) >> 2", 2, {1, 2, 2, 2}, 2},
      {"size 2 of 0,0,0,1 stays 0", 2, {0, 0, 0, 1}, 0},
      {"size 3 of 255s stays 255", 3, std::vector<uint8_t>(9, 255), 255},
      {"size 3 half way rounds up", 3, {0, 0, 0, 0, 1, 1, 1, 1, 1}, 1},
      {"size 10 unrolled", 10, std::vector<uint8_t>(100, 200), 200},
      {"size 12 general loop", 12, std::vector<uint8_t>(144, 13), 13},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(RunKernelOnce(BoxReduceSamples, test.samples, test.size, test.size), test.expected);
  }
  // A block size of 0 has no block: the kernel writes 0 and reads nothing.
  EXPECT_EQ(RunKernelOnce(BoxReduceSamples, {9}, 1, 0), 0);
}

TEST(ResampleKernelsTest, BoxFilterOfSizeOneCopiesEachBlocksFirstSample) {
  const std::vector<uint8_t> row{10, 20, 30, 40, 50, 60};
  const ResampleTap taps[3] = {{0, 0, 0}, {2, 0, 0}, {5, 0, 0}};
  uint8_t out[3] = {};
  BoxReduceSamples(3, row.data(), 6, taps, {1, nullptr, 0}, out);
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[1], 30);
  EXPECT_EQ(out[2], 60);
}

SampleKernel UnrolledKernel(int32_t taps) {
  static const SampleKernel kernels[] = {SeparableKernel2, SeparableKernel3, SeparableKernel4, SeparableKernel5,
                                         SeparableKernel6, SeparableKernel7, SeparableKernel8};
  return kernels[taps - 2];
}

TEST(ResampleKernelsTest, SeparableKernelsPassOneTapThroughAndClampOvershoot) {
  for (int32_t taps = 2; taps <= 8; ++taps) {
    SCOPED_TRACE(taps);
    std::vector<uint8_t> block(static_cast<size_t>(taps * taps));
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 37 + 11);
    // Weight 2048 at tap 1 on both axes returns sample (1, 1) as it is.
    std::vector<int16_t> unit(static_cast<size_t>(taps), 0);
    unit[1] = 2048;
    const uint8_t sample = block[static_cast<size_t>(taps + 1)];
    EXPECT_EQ(RunKernelOnce(UnrolledKernel(taps), block, taps, taps, unit.data()), sample);
    EXPECT_EQ(RunKernelOnce(SeparableKernelN, block, taps, taps, unit.data()), sample);

    // Negative side lobes over a bright centre and dark rim overshoot both
    // ways; the results clamp to 0 and 255.
    std::vector<int16_t> lobes(static_cast<size_t>(taps), -512);
    lobes[1] = static_cast<int16_t>(2048 + 512 * (taps - 1));
    std::vector<uint8_t> bright(block.size(), 0), dark(block.size(), 255);
    bright[static_cast<size_t>(taps + 1)] = 255;
    dark[static_cast<size_t>(taps + 1)] = 0;
    EXPECT_EQ(RunKernelOnce(UnrolledKernel(taps), bright, taps, taps, lobes.data()), 255);
    EXPECT_EQ(RunKernelOnce(UnrolledKernel(taps), dark, taps, taps, lobes.data()), 0);
  }
}

TEST(ResampleKernelsTest, UnrolledKernelsAgreeWithTheGeneralOne) {
  std::mt19937 random(34);
  for (int32_t taps = 2; taps <= 8; ++taps) {
    SCOPED_TRACE(taps);
    constexpr int32_t kWidth = 40, kPhases = 4;
    std::vector<uint8_t> source(kWidth * kWidth);
    for (uint8_t& s : source) s = static_cast<uint8_t>(random());
    std::vector<int16_t> weights(static_cast<size_t>(kPhases * taps));
    for (int16_t& w : weights) w = static_cast<int16_t>(static_cast<int32_t>(random() % 1400) - 300);
    std::vector<ResampleTap> placed(64);
    for (ResampleTap& tap : placed) {
      tap = {static_cast<uint32_t>((random() % (kWidth - taps)) * kWidth + random() % (kWidth - taps)),
             static_cast<int16_t>(random() % kPhases), static_cast<int16_t>(random() % kPhases)};
    }
    std::vector<uint8_t> unrolled(placed.size()), general(placed.size());
    const SampleKernelParameters parameters{taps, weights.data(), 0};
    UnrolledKernel(taps)(64, source.data(), kWidth, placed.data(), parameters, unrolled.data());
    SeparableKernelN(64, source.data(), kWidth, placed.data(), parameters, general.data());
    EXPECT_EQ(unrolled, general);
  }
}

TEST(ResampleKernelsTest, EveryKernelKindsWeightsSumToOne) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  const runtime::Fixed scales[] = {0x4000, 0xB000, runtime::kFixedOne, 0x28000, 0x60000};
  for (int32_t kind = 0; kind <= 9; ++kind) {
    for (int32_t subKind = 0; subKind <= 2; ++subKind) {
      for (runtime::Fixed scale : scales) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << " sub-kind " << subKind << " scale " << scale);
        runtime::ResampleKernel kernel;
        kernel.Setup({kind, subKind, scale, 0}, false);
        constexpr int32_t kPhases = 16;
        const int16_t* table = BuildSampleWeights(arena, kernel, kPhases);
        ASSERT_NE(table, nullptr);
        for (int32_t p = 0; p < kPhases; ++p) {
          int64_t sum = 0;
          for (int32_t t = 0; t < kernel.TapCount(); ++t) sum += table[p * kernel.TapCount() + t];
          // 1/2048 units: 1.0 within 1/65536 means exactly 2048.
          ASSERT_LE(std::abs(sum * 32 - 65536), 1) << "phase " << p;
        }
      }
    }
  }
}

TEST(ResampleKernelsTest, KernelChoiceFollowsKindAndTapCount) {
  struct Case {
    const char* name;
    int32_t kind;
    bool boxReduction;
    int32_t taps, second;
    SampleKernel expected;
  } cases[] = {
      {"kind 0 is the box", 0, false, 4, 0, BoxReduceSamples},
      {"kind 1 is the box", 1, false, 6, 0, BoxReduceSamples},
      {"box function reducing", 2, true, 3, 0, BoxReduceSamples},
      {"four taps", 3, false, 4, 0, SeparableKernel4},
      {"second size 4", 3, false, 9, 4, SeparableKernel4},
      {"second size 8", 3, false, 9, 8, SeparableKernel8},
      {"one tap is the box", 3, false, 1, 0, BoxReduceSamples},
      {"two taps", 3, false, 2, 0, SeparableKernel2},
      {"three taps", 3, false, 3, 0, SeparableKernel3},
      {"five taps", 3, false, 5, 0, SeparableKernel5},
      {"six taps", 3, false, 6, 0, SeparableKernel6},
      {"seven taps", 3, false, 7, 0, SeparableKernel7},
      {"twelve taps", 3, false, 12, 0, SeparableKernelN},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(ChooseSampleKernel(test.kind, test.boxReduction, test.taps, test.second), test.expected);
  }
}

}  // namespace
}  // namespace raster
