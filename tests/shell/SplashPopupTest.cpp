#include "shell/SplashPopup.h"

#include <gtest/gtest.h>

#include <vector>

#include "ShellDialogFixture.h"
#include "platform/Screen.h"
#include "shell/AppImage.h"
#include "shell/AppState.h"

namespace shell {
namespace {

class SplashPopupTest : public testing::ShellDialogTest {
 protected:
  void TearDown() override {
    SplashPopup::SetBufferAllocator(nullptr);
    testing::ShellDialogTest::TearDown();
  }
};

uint8_t* NoMemory(size_t) { return nullptr; }

// The splash goes 1500 virtual milliseconds after its first paint, whether
// that paint could draw the picture or not.
TEST_F(SplashPopupTest, ClosesAfterItsTimeAlsoWhenThePaintCannotDraw) {
  UseDevice("pocketpc-qvga");
  for (const bool memory : {true, false}) {
    SCOPED_TRACE(memory ? "drawn" : "no paint buffer");
    SplashPopup::SetBufferAllocator(memory ? nullptr : &NoMemory);
    host_.ShowSplash(1500, u"Vantrel Folvane");
    SplashPopup* splash = host_.Splash();
    ASSERT_NE(splash, nullptr);
    const platform::HWND window = splash->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(App().splashShowing, 1);
    EXPECT_TRUE(splash->FirstPaintPending());
    Pump();
    EXPECT_FALSE(splash->FirstPaintPending());
    const platform::RECT drawn = splash->LastDrawnArea();
    if (memory) {
      // Between the task bar and the bottom of the work area.
      platform::RECT work{};
      platform::SystemParametersInfoW(platform::SPI_GETWORKAREA, 0, &work, 0);
      EXPECT_EQ(drawn.top, work.top);
      EXPECT_EQ(drawn.right - drawn.left, 240);
      EXPECT_LE(drawn.bottom, work.bottom);
    } else {
      EXPECT_EQ(drawn.right - drawn.left, 0);
    }
    RunFor(1499);
    EXPECT_TRUE(platform::IsWindow(window));
    EXPECT_EQ(App().splashShowing, 1);
    RunFor(1);
    EXPECT_FALSE(platform::IsWindow(window));
    EXPECT_EQ(App().splashShowing, 0);
  }
}

TEST_F(SplashPopupTest, FlagClearsWhenTheWindowGoesOrCannotBeMade) {
  UseDevice("pocketpc-qvga");
  host_.ShowSplash(1500, u"Vantrel Folvane");
  ASSERT_NE(host_.Splash(), nullptr);
  EXPECT_EQ(App().splashShowing, 1);
  platform::DestroyWindow(host_.Splash()->Window());
  EXPECT_EQ(App().splashShowing, 0);
  // Without its template no window can be made: nothing waits for it.
  platform::ClearResources();
  host_.ShowSplash(1500, u"Vantrel Folvane");
  EXPECT_EQ(host_.Splash(), nullptr);
  EXPECT_EQ(App().splashShowing, 0);
}

// The picture is scaled by the smaller of the two ratios and centred on
// white; the margins stay white.
TEST_F(SplashPopupTest, PictureFitsTheAreaCentredOnWhite) {
  struct Area {
    int width, height;
  };
  for (const Area area : {Area{240, 294}, Area{480, 300}, Area{7, 9}}) {
    SCOPED_TRACE(std::to_string(area.width) + "x" + std::to_string(area.height));
    const int stride = (area.width * 24 + 31) / 32 * 4;
    std::vector<uint8_t> buffer(static_cast<size_t>(stride) * area.height, 0);
    ASSERT_TRUE(DrawSplashPicture(area.width, area.height, 1, 3, stride, buffer.data(), false));
    // The scale is a 16.16 value; the scaled size is in whole pixels.
    const int64_t scale = std::min((int64_t{area.width} << 16) / 442, (int64_t{area.height} << 16) / 586);
    const int width = static_cast<int>((442 * scale) >> 16);
    const int height = static_cast<int>((586 * scale) >> 16);
    const int left = (area.width - width) / 2;
    const int top = (area.height - height) / 2;
    int drawnLeft = area.width, drawnRight = -1, drawnTop = area.height, drawnBottom = -1;
    for (int y = 0; y < area.height; ++y) {
      for (int x = 0; x < area.width; ++x) {
        const uint8_t* pixel = buffer.data() + static_cast<size_t>(y) * stride + x * 3;
        if (pixel[0] == 255 && pixel[1] == 255 && pixel[2] == 255) continue;
        drawnLeft = std::min(drawnLeft, x);
        drawnRight = std::max(drawnRight, x);
        drawnTop = std::min(drawnTop, y);
        drawnBottom = std::max(drawnBottom, y);
      }
    }
    // The picture's background reaches its edges: what is not white is
    // exactly the scaled picture.
    EXPECT_EQ(drawnLeft, left);
    EXPECT_EQ(drawnRight, left + width - 1);
    EXPECT_EQ(drawnTop, top);
    EXPECT_EQ(drawnBottom, top + height - 1);
  }
  // No buffer, or no area: nothing is touched.
  std::vector<uint8_t> untouched(64, 7);
  for (const Area area : {Area{0, 4}, Area{4, 0}, Area{-3, 4}, Area{4, -3}}) {
    DrawSplashPicture(area.width, area.height, 1, 3, 16, untouched.data(), false);
    EXPECT_EQ(untouched, std::vector<uint8_t>(64, 7));
  }
  EXPECT_TRUE(DrawSplashPicture(10, 10, 1, 3, 32, nullptr, false));
}

}  // namespace
}  // namespace shell
