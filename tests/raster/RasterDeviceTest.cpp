#include "raster/RasterDevice.h"

#include <gtest/gtest.h>

#include "raster/ConstantSources.h"
#include "raster/PipelineDriver.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/TestColorSpace.h"

namespace raster {
namespace {

using rastertest::TestColorSpace;

class RasterDeviceTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};

  // Channel c of the colour plane and the alpha byte of device pixel (x, y).
  static int Colour(const RasterDevice& device, int32_t x, int32_t y, int32_t c) {
    PixelPlane plane = *device.Target().colour;
    plane.SetRow(y);
    return *CursorAt(&plane, x).Channel(c);
  }
  static int Alpha(const RasterDevice& device, int32_t x, int32_t y) {
    PixelPlane plane = *device.Target().alpha;
    plane.SetRow(y);
    return *CursorAt(&plane, x).Channel(0);
  }
};

TEST_F(RasterDeviceTest, PageDeviceStartsAsPaperWithAlphaZero) {
  struct Case {
    const char* name;
    TestColorSpace* space;
    int paper;
  } cases[] = {
      {"rgb", &TestColorSpace::Rgb(), 255},
      {"gray", &TestColorSpace::Gray(), 255},
      {"cmyk", &TestColorSpace::Cmyk(), 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    RasterDevice* device = RasterDevice::CreateForTarget(&context, arena, {0, 0, 16, 8}, test.space);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        ASSERT_EQ(Alpha(*device, x, y), 0);
        for (int32_t c = 0; c < test.space->ComponentCount(); ++c) ASSERT_EQ(Colour(*device, x, y, c), test.paper);
      }
  }
}

}  // namespace
}  // namespace raster
