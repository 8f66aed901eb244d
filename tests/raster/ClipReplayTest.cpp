// Clipping paths gathered from a recorded content program: "W n" paths
// until the first record that does anything else.
#include <gtest/gtest.h>

#include "content/ContentMachine.h"
#include "raster/ClipAccumulator.h"
#include "raster/PixelRegion.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"
#include "tests/content/ContentTestSupport.h"

namespace {

class ClipReplayTest : public ::testing::Test {
 protected:
  // The clip the program's leading clipping paths make over 40 x 40 pixels;
  // `stoppedAt` receives the opcode the walk ended on.
  raster::ClipAccumulator Replay(const std::string& content, uint32_t& stoppedAt, uint32_t& opcodeCount) {
    contenttest::Program program(&context_, content);
    content::ContentMachine& machine = program.Machine();
    while (machine.ParseMore(nullptr)) {
    }
    raster::ClipAccumulator clip(&context_, arena_, *raster::PixelRegion::FromRect(arena_, {0, 0, 40, 40}));
    content::ProgramCursor cursor;
    clip.Replay(machine, cursor, nullptr, runtime::Matrix{});
    stoppedAt = cursor.op;
    opcodeCount = machine.opcodes.Size();
    return clip;
  }
  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 1 << 16, 4096};
};

TEST_F(ClipReplayTest, LeadingClipPathsAreGatheredUntilSomethingElse) {
  uint32_t stopped = 0, count = 0;
  raster::ClipAccumulator clip = Replay(
      "10 10 20 20 re W n "           // a whole-pixel rectangle: the region
      "0 0 m 40 0 l 20 30 l h W n "   // the first other path: its converter
      "5 5 m 35 5 l 35 35 l h W* n "  // the second: a mask
      "0 0 1 rg 0 0 40 40 re f",      // the walk ends at the colour
      stopped, count);
  EXPECT_EQ(clip.PathCount(), 2);
  EXPECT_TRUE(clip.HasMask());
  const runtime::IntRect bounds = clip.ClipRegion().Bounds();
  EXPECT_EQ(bounds.x0, 10);
  EXPECT_EQ(bounds.y1, 30);
  EXPECT_EQ(stopped, 3u);
  EXPECT_LT(stopped, count);
}

TEST_F(ClipReplayTest, PathsThatPaintEndTheWalk) {
  struct Case {
    const char* content;
    int paths;
  };
  for (const Case& c : {Case{"0 0 m 30 0 l 0 30 l h W f", 0}, Case{"0 0 m 30 0 l 0 30 l h W S", 0},
                        Case{"0 0 m 30 0 l 0 30 l h f", 0}, Case{"1 w 0 0 m 30 0 l 0 30 l h W n", 0},
                        Case{"/Span BMC 0 0 m 30 0 l 0 30 l h W n EMC 0 0 m 9 0 l 0 9 l h W n", 2}, Case{"", 0}}) {
    uint32_t stopped = 0, count = 0;
    raster::ClipAccumulator clip = Replay(c.content, stopped, count);
    EXPECT_EQ(clip.PathCount(), c.paths) << c.content;
  }
}

}  // namespace
