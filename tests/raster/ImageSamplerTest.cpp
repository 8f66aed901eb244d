#include "raster/ImageSampler.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/ArenaAllocator.h"

namespace raster {
namespace {

class ImageSamplerTest : public ::testing::Test {
 protected:
  // A gray image of `width` x `height` whose pixel (x, y) is `value(x, y)`.
  template <class Value>
  SampledPixels Gray(int32_t width, int32_t height, Value value) {
    auto* buffer = runtime::NewInArena<runtime::PixelBuffer>(arena, &context, &arena);
    runtime::PixelLayout layout;
    layout.channels = 1;
    layout.bytesPerPixel = 1;
    buffer->SetupAndAllocate({0, 0, width, height}, layout, true);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) buffer->storage[y * buffer->rowStep + x] = value(x, y);
    return SampledPixels::FromBuffer(*buffer, 1);
  }
  // Every pixel of the sampler's area, row by row.
  static std::vector<std::vector<int>> Run(ImageSampler* sampler) {
    std::vector<std::vector<int>> rows;
    const IntRect area = sampler->bounds;
    for (int32_t y = area.y0; y < area.y1; ++y) {
      sampler->BeginRow(y);
      sampler->RunSpan(area.x0, area.x1);
      std::vector<int> row;
      for (int32_t x = area.x0; x < area.x1; ++x) row.push_back(*CursorAt(sampler->Current().colour, x).Channel(0));
      rows.push_back(row);
    }
    return rows;
  }

  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
};

TEST_F(ImageSamplerTest, NearestAtEightTimesFillsBlocks) {
  ImageSamplerSetup setup;
  setup.image = Gray(4, 4, [](int x, int y) { return static_cast<uint8_t>(16 * y + x); });
  setup.toDevice = SamplerMatrix{8, 0, 0, 8, 0, 0};
  setup.area = {0, 0, 32, 32};
  const auto rows = Run(ImageSampler::Create(arena, ImageSampler::kNearest, setup));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(rows[y][x], 16 * (y / 8) + x / 8) << x << "," << y;
  // A quarter turn samples the same blocks through the general path.
  setup.toDevice = SamplerMatrix{0, 8, -8, 0, 32, 0};
  const auto turned = Run(ImageSampler::Create(arena, ImageSampler::kNearest, setup));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(turned[y][x], 16 * (3 - x / 8) + y / 8) << x << "," << y;
}

TEST_F(ImageSamplerTest, BilinearInterpolatesBetweenCentresAndClampsAtEdges) {
  ImageSamplerSetup setup;
  setup.image = Gray(2, 1, [](int x, int) { return static_cast<uint8_t>(x == 0 ? 0 : 200); });
  setup.toDevice = SamplerMatrix{2, 0, 0, 1, 0, 0};
  setup.area = {0, 0, 4, 1};
  const auto rows = Run(ImageSampler::Create(arena, ImageSampler::kInterpolate, setup));
  // Centres at 0.25, 0.75, 1.25, 1.75 image pixels: clamp, a quarter, three
  // quarters, clamp.
  EXPECT_EQ(rows[0], (std::vector<int>{0, 50, 150, 200}));
}

// The kind follows the pixel layout: one-byte pixels (one channel, or a
// plane per channel) follow the mode; interleaved pixels of several bytes
// always take nearest samples.
TEST_F(ImageSamplerTest, PixelsOfOneByteFollowTheModeAndWiderPixelsTakeNearestSamples) {
  // Two pixels, 0 and 200 in every channel, enlarged twice: nearest
  // samples repeat them, interpolation steps between them.
  uint8_t interleaved[6] = {0, 0, 0, 200, 200, 200};
  uint8_t planes[6] = {0, 200, 0, 200, 0, 200};
  struct Case {
    const char* name;
    SampledPixels pixels;
    int32_t mode;
    std::vector<int> expected;
  } cases[] = {
      {"gray, nearest", {planes, {0, 0, 2, 1}, 1, 1, 1, 2}, ImageSampler::kNearest, {0, 0, 200, 200}},
      {"gray, interpolated", {planes, {0, 0, 2, 1}, 1, 1, 1, 2}, ImageSampler::kInterpolate, {0, 50, 150, 200}},
      {"planes, interpolated", {planes, {0, 0, 2, 1}, 3, 2, 1, 2}, ImageSampler::kInterpolate, {0, 50, 150, 200}},
      {"interleaved, interpolation asked", {interleaved, {0, 0, 2, 1}, 3, 1, 3, 6}, ImageSampler::kInterpolate,
       {0, 0, 200, 200}},
  };
  for (const Case& test : cases) {
    ImageSamplerSetup setup;
    setup.image = test.pixels;
    setup.toDevice = SamplerMatrix{2, 0, 0, 1, 0, 0};
    setup.area = {0, 0, 4, 1};
    ImageSampler* sampler = ImageSampler::Create(arena, test.mode, setup);
    sampler->BeginRow(0);
    sampler->RunSpan(0, 4);
    for (int32_t c = 0; c < test.pixels.channels; ++c) {
      std::vector<int> row;
      for (int32_t x = 0; x < 4; ++x) row.push_back(*CursorAt(sampler->Current().colour, x).Channel(c));
      EXPECT_EQ(row, test.expected) << test.name << " channel " << c;
    }
  }
}

TEST_F(ImageSamplerTest, TilesWrapAroundTheirPeriod) {
  ImageSamplerSetup setup;
  setup.image = Gray(3, 1, [](int x, int) { return static_cast<uint8_t>(10 + x); });
  setup.toDevice = SamplerMatrix{1, 0, 0, 1, 0, 0};
  setup.area = {-4, 0, 7, 1};
  setup.periodX = 3 << 16;
  setup.periodY = 1 << 16;
  EXPECT_EQ(Run(ImageSampler::Create(arena, ImageSampler::kNearest, setup))[0],
            (std::vector<int>{12, 10, 11, 12, 10, 11, 12, 10, 11, 12, 10}));
  // Without a period the edges repeat.
  setup.periodX = 0;
  EXPECT_EQ(Run(ImageSampler::Create(arena, ImageSampler::kNearest, setup))[0],
            (std::vector<int>{10, 10, 10, 10, 10, 11, 12, 12, 12, 12, 12}));
}

TEST_F(ImageSamplerTest, SingularMappingsDrawNothing) {
  ImageSamplerSetup setup;
  setup.image = Gray(2, 2, [](int, int) { return uint8_t{1}; });
  setup.toDevice = SamplerMatrix{0, 0, 0, 0, 0, 0};
  setup.area = {0, 0, 4, 4};
  EXPECT_EQ(ImageSampler::Create(arena, ImageSampler::kNearest, setup), nullptr);
  // A mapping that sends the area far outside the 32.32 range falls back
  // to nearest samples clamped at the edges.
  setup.toDevice = SamplerMatrix{1, 0, 0, 1, -1e10, 0};
  ImageSampler* sampler = ImageSampler::Create(arena, ImageSampler::kInterpolate, setup);
  ASSERT_NE(sampler, nullptr);
  EXPECT_EQ(Run(sampler)[0][0], 1);
  // Planes keep the interpolating sampler out of range: turned, so that it
  // steps along the row, its coordinates held at the range's ends.
  uint8_t planes[8] = {7, 7, 7, 7, 9, 9, 9, 9};
  setup.image = SampledPixels{planes, {0, 0, 2, 2}, 2, 4, 1, 2};
  setup.toDevice = SamplerMatrix{1e-9, 1, -1, 1e-9, -1e10, 3e9};
  sampler = ImageSampler::Create(arena, ImageSampler::kInterpolate, setup);
  ASSERT_NE(sampler, nullptr);
  EXPECT_FALSE(sampler->usable);
  sampler->BeginRow(1);
  sampler->RunSpan(0, 4);
  EXPECT_EQ(*CursorAt(sampler->Current().colour, 3).Channel(0), 7);
  EXPECT_EQ(*CursorAt(sampler->Current().colour, 3).Channel(1), 9);
}

}  // namespace
}  // namespace raster
