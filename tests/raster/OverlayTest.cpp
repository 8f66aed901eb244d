// Overlay marks drawn straight into host bitmaps by exclusive or, the frame
// round a page cell, the density metrics and the decoration bitmaps.
#include "raster/Overlay.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/raster/MemoryHostBitmap.h"
#include "tests/support/FakeHostServices.h"

namespace {

using raster::Overlay;
using raster::OverlayView;
using runtime::FixedFromInt;
using runtime::kFixedOne;
using testsupport::MemoryHostBitmap;

class OverlayTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_{&context_, 1 << 16, 4096};
};

TEST_F(OverlayTest, TheFocusRectangleIsDottedAndASecondDrawingRemovesIt) {
  MemoryHostBitmap bitmap(runtime::kHostRgb565, 32, 24, 0xFF);
  const std::vector<uint8_t> white = bitmap.Bytes();
  OverlayView view;
  view.surface = &bitmap;
  view.originX = 100;  // the view scrolled: device (104, 203) is bitmap (4, 3)
  view.originY = 200;
  Overlay::DrawFocusRectangle(&context_, arena_, view, {104, 203, 124, 217});
  // Along the top row from the corner: 2 pixels changed, 2 not, ...; every
  // changed pixel is fully inverted (0xFFFF xor 0xFFFF).
  std::vector<int> top;
  for (int x = 4; x < 24; ++x) top.push_back(bitmap.Word(x, 3) == 0 ? 1 : (bitmap.Word(x, 3) == 0xFFFF ? 0 : -1));
  const std::vector<int> expected = {1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0};
  EXPECT_EQ(top, expected);
  // All round the border the pattern goes on from where it stands (the
  // perimeter through the pixel centres is 64, a whole number of periods);
  // nothing inside or outside the rectangle changes.
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) {
      int s = -1;
      if (y == 3 && x >= 4 && x <= 23)
        s = x - 4;
      else if (x == 23 && y >= 3 && y <= 16)
        s = 19 + (y - 3);
      else if (y == 16 && x >= 4 && x <= 23)
        s = 32 + (23 - x);
      else if (x == 4 && y >= 3 && y <= 16)
        s = (51 + (16 - y)) % 64;
      const uint16_t expectedWord = s >= 0 && s % 4 < 2 ? 0 : 0xFFFF;
      EXPECT_EQ(bitmap.Word(x, y), expectedWord) << x << "," << y;
    }
  EXPECT_LE(view.dirty.x0, 104);
  EXPECT_GE(view.dirty.y1, 217);
  Overlay::DrawFocusRectangle(&context_, arena_, view, {104, 203, 124, 217});
  EXPECT_EQ(bitmap.Bytes(), white);
}

TEST_F(OverlayTest, SelectionMarksInvertAndEraseThemselves) {
  MemoryHostBitmap bitmap(runtime::kHostBgr24, 40, 40, 0x5A);
  const std::vector<uint8_t> before = bitmap.Bytes();
  raster::SelectionRecord selection;
  // Page coordinates in [0, 1]; the page maps to 40 x 40 device pixels.
  const runtime::Fixed row = runtime::FixedFromFloat(10.5 / 40);  // the centre of pixel row 10
  selection.first[0] = {kFixedOne / 4, row};
  selection.first[1] = {kFixedOne / 2, row};
  selection.startLine = selection.endLine = 3;
  OverlayView view;
  view.surface = &bitmap;
  view.zoom = 40 * kFixedOne;
  view.pageToDevice = {40 * kFixedOne, 0, 0, 40 * kFixedOne, 0, 0};
  view.selectionMode = OverlayView::kSelectionMarks;
  view.selection = &selection;
  Overlay::DrawSelectionMarks(&context_, arena_, view);
  EXPECT_NE(bitmap.Bytes(), before);
  // The mark runs along y = 10 from x = 10 to 20: inverted (0x5A xor 0xFF)
  // on its row, untouched away from it.
  EXPECT_EQ(bitmap.Pixel(15, 10)[0], 0x5A ^ 0xFF);
  EXPECT_EQ(bitmap.Pixel(15, 13)[0], 0x5A);
  EXPECT_EQ(bitmap.Pixel(25, 10)[0], 0x5A);
  Overlay::DrawSelectionMarks(&context_, arena_, view);
  EXPECT_EQ(bitmap.Bytes(), before);

  // Ends sharing their x draw nothing and leave the dirty bounds alone.
  selection.first[1] = {kFixedOne / 4, kFixedOne / 2};  // the same x as the first
  OverlayView vertical = view;
  vertical.dirty = {0, 0, 0, 0};
  Overlay::DrawSelectionMarks(&context_, arena_, vertical);
  EXPECT_EQ(bitmap.Bytes(), before);
  EXPECT_TRUE(vertical.dirty.IsEmpty());
  // Ends on different lines with the first flag clear draw nothing either.
  selection.first[1] = {kFixedOne / 2, row};
  selection.endLine = 4;
  Overlay::DrawSelectionMarks(&context_, arena_, vertical);
  EXPECT_EQ(bitmap.Bytes(), before);
  // No surface: nothing.
  OverlayView none;
  Overlay::DrawFocusRectangle(&context_, arena_, none, {0, 0, 10, 10});
  EXPECT_TRUE(none.dirty.IsEmpty());
}

TEST_F(OverlayTest, FramesAreLightAboveAndDarkBelow) {
  for (const bool sunken : {false, true}) {
    MemoryHostBitmap bitmap(runtime::kHostBgr24, 6, 4, 0x40);
    Overlay::DrawFrame(bitmap, arena_, 6, 4, sunken);
    const uint8_t light = sunken ? 127 : 255, dark = sunken ? 255 : 127;
    EXPECT_EQ(bitmap.Pixel(0, 0)[0], light);
    EXPECT_EQ(bitmap.Pixel(4, 0)[1], light);
    EXPECT_EQ(bitmap.Pixel(0, 2)[2], light);
    EXPECT_EQ(bitmap.Pixel(5, 0)[0], dark);  // the right column runs the full height
    EXPECT_EQ(bitmap.Pixel(0, 3)[0], dark);  // the bottom row the full width
    EXPECT_EQ(bitmap.Pixel(2, 2)[0], 0x40);
  }
}

class BitmapHost final : public testsupport::FakeHostServices {
 public:
  explicit BitmapHost(int32_t dpi, int available) : dpi_(dpi), available_(available) {}
  runtime::HostBitmap* CreateBitmap(int32_t width, int32_t height) override {
    if (available_-- <= 0) return nullptr;
    made.push_back(std::make_unique<MemoryHostBitmap>(runtime::kHostBgr24, width, height, 0));
    sizes.push_back(width);
    return made.back().get();
  }
  void DestroyBitmap(runtime::HostBitmap*) override { ++destroyed; }
  int32_t GetScreenDpi() override { return dpi_; }
  std::vector<std::unique_ptr<MemoryHostBitmap>> made;
  std::vector<int32_t> sizes;
  int destroyed = 0;

 private:
  int32_t dpi_;
  int available_;
};

TEST_F(OverlayTest, DensityPicksTheMetricSet) {
  struct Case {
    int32_t dpi;
    int32_t set, mark, corner, edge;
  };
  for (const Case& c :
       {Case{96, 0, 38, 23, 26}, Case{161, 0, 38, 23, 26}, Case{162, 1, 76, 45, 52}, Case{192, 1, 76, 45, 52}}) {
    const raster::DpiMetrics m = raster::DpiMetrics::ForDpi(c.dpi);
    EXPECT_EQ(m.set, c.set) << c.dpi;
    EXPECT_EQ(m.sizes[0], c.mark) << c.dpi;
    EXPECT_EQ(m.sizes[1], c.corner) << c.dpi;
    EXPECT_EQ(m.sizes[2], c.edge) << c.dpi;
  }
}

TEST_F(OverlayTest, DecorationsComeFromTheHostOrFailWithCodeOne) {
  BitmapHost host(192, 100);
  raster::DecorationBitmaps* decorations = raster::DecorationBitmaps::Create(&context_, arena_, host);
  EXPECT_EQ(host.sizes, (std::vector<int32_t>{76, 45, 45, 52}));  // the corner has a mask
  EXPECT_NE(decorations->masks[1], nullptr);
  EXPECT_EQ(host.made[0]->Pixel(0, 0)[0], 255);  // the shade starts white
  decorations->Release();
  EXPECT_EQ(host.destroyed, 4);

  for (const int available : {0, 2}) {
    BitmapHost poor(96, available);
    runtime::ErrorTrap trap(&context_);
    const bool ok = trap.Run([&] { raster::DecorationBitmaps::Create(&context_, arena_, poor); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(trap.Held().code, runtime::kOverflow);
    trap.SetHandled();
    trap.Close();
    EXPECT_EQ(poor.destroyed, available);  // what was made is given back
  }
}

}  // namespace
