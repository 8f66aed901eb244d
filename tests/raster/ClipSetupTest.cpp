#include "raster/ClipSetup.h"

#include <gtest/gtest.h>

#include "raster/PaintObject.h"
#include "runtime/ArenaAllocator.h"
#include "tests/support/RaisedCode.h"

namespace raster {
namespace {

using runtime::FixedFromFloat;
using runtime::FixedFromInt;
using runtime::kFixedOne;
using runtime::Matrix;

class ClipSetupTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};
  const PixelRegion* page = PixelRegion::FromRect(arena, {0, 0, 100, 100});
};

TEST_F(ClipSetupTest, RectanglesBecomeRegionsOrCoverage) {
  const Matrix rotated{0xB505, 0xB505, -0xB505, 0xB505, FixedFromInt(50), 0};
  struct Case {
    const char* name;
    runtime::Rect rect;
    Matrix ctm;
    bool node;
    IntRect bounds;
  } cases[] = {
      {"whole pixels: a region only", {FixedFromInt(10), FixedFromInt(20), FixedFromInt(30), FixedFromInt(40)}, {},
       false, {10, 20, 30, 40}},
      {"holding the clip: nothing", {-FixedFromFloat(0.5), -FixedFromInt(5), FixedFromInt(200), FixedFromInt(100)},
       {}, false, {0, 0, 100, 100}},
      {"partial pixels: coverage", {FixedFromFloat(10.5), FixedFromInt(20), FixedFromInt(30), FixedFromInt(40)}, {},
       true, {10, 20, 30, 40}},
      {"scaled onto whole pixels", {FixedFromInt(1), FixedFromInt(2), FixedFromInt(3), FixedFromInt(4)},
       {FixedFromInt(10), 0, 0, FixedFromInt(10), 0, 0}, false, {10, 20, 30, 40}},
      {"turned by the matrix: coverage", {0, 0, FixedFromInt(20), FixedFromInt(20)}, rotated, true, {35, 0, 65, 29}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const ClipSetup::Result clip = ClipSetup::RectClip(&context, arena, test.rect, test.ctm, *page, nullptr);
    ASSERT_NE(clip.region, nullptr);
    EXPECT_EQ(clip.node != nullptr, test.node);
    EXPECT_EQ(clip.region->Bounds(), test.bounds);
  }
}

TEST_F(ClipSetupTest, AClipWithANodeIsKept) {
  PipelineNode* existing = PaintObject::Create(&context, arena, {0, 0, 100, 100}, {}, {}, false);
  const ClipSetup::Result clip = ClipSetup::RectClip(
      &context, arena, {FixedFromFloat(1.5), 0, FixedFromInt(9), FixedFromInt(9)}, {}, *page, existing);
  EXPECT_EQ(clip.node, existing);
  EXPECT_EQ(clip.region, page);
}

TEST_F(ClipSetupTest, RunningOutOfMemoryIsAnErrorNotAMissingClip) {
  runtime::ArenaAllocator fresh(&context, 16384, 4096);
  const PixelRegion* clip = PixelRegion::FromRect(fresh, {0, 0, 100, 100});
  context.memory.hardLimit = context.memory.bytesInUse;
  const auto code = testsupport::RaisedCode([&] {
    for (int i = 0; i < 100; ++i) {
      ClipSetup::RectClip(&context, fresh, {FixedFromFloat(10.5), 0, FixedFromInt(30), FixedFromInt(40)}, {}, *clip,
                          nullptr);
    }
  });
  context.memory.hardLimit = runtime::kNoLimit;
  EXPECT_EQ(code, runtime::kOutOfMemory);
}

}  // namespace
}  // namespace raster
