// The pictures of the viewer's owner-drawn buttons, drawn through the main
// window procedure's WM_DRAWITEM into the device context the button lends.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ShellWindowFixture.h"
#include "platform/Controls.h"
#include "shell/HostServices.h"
#include "shell/HostWindow.h"
#include "shell/MainWindowProc.h"
#include "shell/OffscreenBitmap.h"
#include "shell/Settings.h"
#include "shell/ViewerAppAdapter.h"
#include "viewer/ViewerApp.h"

namespace shell {
namespace {

// The rows of a 24-bit bitmap, `width` pixels each.
std::vector<std::vector<uint8_t>> Rows(runtime::HostBitmap& bitmap, int32_t width, int32_t first, int32_t count) {
  const runtime::HostPixelLayout* layout = bitmap.Begin(0);
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = first; y < first + count; ++y) {
    const uint8_t* row = layout->firstRow + layout->rowStride * y;
    rows.emplace_back(row, row + 3 * width);
  }
  bitmap.End();
  return rows;
}

class ButtonPictureTest : public testing::ShellWindowTest {
 protected:
  void Start(const char* device) {
    UseDevice(device, 24);
    platform::UnregisterClassW(kMainWindowClass, nullptr);
    ASSERT_TRUE(RegisterWindowClasses(MainWindowProc));
    app_ = viewer::ViewerApp::Create(&host_, kOptionPocketPc);
    ASSERT_NE(app_, nullptr);
    adapter_ = std::make_unique<ViewerAppAdapter>(app_);
    App().viewer = adapter_.get();
    app_->OpenInitialDocument(nullptr);
  }
  void TearDown() override {
    App().viewer = nullptr;
    viewer::ViewerApp::Destroy(app_);
    testing::ShellWindowTest::TearDown();
  }

  // Asks the button's parent to draw it into a fresh bitmap, as the button
  // control does when it paints.
  OffscreenBitmap* Draw(runtime::HostWindow* control, bool pressed) {
    auto* button = dynamic_cast<HostWindow*>(control);
    OffscreenBitmap* target = OffscreenBitmap::Create(80, 80);
    platform::DRAWITEMSTRUCT item{};
    item.CtlType = platform::ODT_BUTTON;
    item.itemAction = platform::ODA_DRAWENTIRE;
    item.itemState = pressed ? platform::ODS_SELECTED : 0;
    item.hwndItem = button->Handle();
    item.hDC = target->DeviceContext();
    platform::SendMessageW(platform::GetParent(button->Handle()), platform::WM_DRAWITEM, 0,
                           reinterpret_cast<platform::LPARAM>(&item));
    targets_.emplace_back(target);
    return target;
  }

  HostServices host_;
  viewer::ViewerApp* app_ = nullptr;
  std::unique_ptr<ViewerAppAdapter> adapter_;
  std::vector<std::unique_ptr<OffscreenBitmap>> targets_;
};

TEST_F(ButtonPictureTest, EachButtonShowsItsPictureAtTheScreensDensity) {
  struct Case {
    const char* device;
    int32_t side;  // of the square buttons
  };
  for (const Case& c : {Case{"pocketpc-qvga", 32}, Case{"pocketpc-vga", 64}}) {
    SCOPED_TRACE(c.device);
    Start(c.device);
    viewer::Viewer& viewer = app_->viewer;
    for (runtime::HostWindow* button : {viewer.fitWidthButton, viewer.findButton, viewer.zoomOutButton,
                                        viewer.zoomInButton, viewer.bookmarksButton}) {
      OffscreenBitmap* normal = Draw(button, false);
      OffscreenBitmap* pressed = Draw(button, true);
      viewer::ButtonImageHolder* images = viewer.PictureOf(button);
      ASSERT_NE(images, nullptr);
      ASSERT_NE(images->Normal(), nullptr);
      if (button != viewer.bookmarksButton) {
        EXPECT_EQ(images->Width(), c.side);
        EXPECT_EQ(images->Height(), c.side);
      }
      const int32_t width = images->Width(), height = images->Height();
      // The picture is copied as it is, the pressed one for a press, and
      // nothing beyond it is touched.
      EXPECT_TRUE(Rows(*normal, width, 0, height) == Rows(*images->Normal(), width, 0, height));
      EXPECT_TRUE(Rows(*pressed, width, 0, height) == Rows(*images->Pressed(), width, 0, height));
      EXPECT_FALSE(Rows(*normal, width, 0, height) == Rows(*pressed, width, 0, height));
      EXPECT_TRUE(Rows(*normal, 80, height, 1)[0] == std::vector<uint8_t>(240, 0));
    }
    App().viewer = nullptr;
    viewer::ViewerApp::Destroy(app_);
    app_ = nullptr;
  }
}

TEST_F(ButtonPictureTest, APartialButtonShowsTheLowerRowsOfItsPictureAtItsTop) {
  Start("pocketpc-qvga");
  viewer::Viewer& viewer = app_->viewer;
  viewer.partialButton = viewer.zoomInButton;
  viewer.buttonFullHeight = 32;
  struct Case {
    int32_t level;
    int32_t rows;  // rows drawn
  };
  for (const Case& c : {Case{10, 10}, Case{0, 0}, Case{32, 32}, Case{50, 32}}) {
    SCOPED_TRACE(c.level);
    viewer.buttonLevel = c.level;
    viewer.wholeButtonImage = false;
    OffscreenBitmap* drawn = Draw(viewer.zoomInButton, false);
    viewer::ButtonImageHolder* images = viewer.PictureOf(viewer.zoomInButton);
    if (c.rows > 0) {
      EXPECT_TRUE(Rows(*drawn, 32, 0, c.rows) == Rows(*images->Normal(), 32, 32 - c.rows, c.rows));
    }
    if (c.rows < 32) {
      EXPECT_TRUE(Rows(*drawn, 32, c.rows, 1)[0] == std::vector<uint8_t>(96, 0));
    }
  }
  // With the whole picture asked for, it is drawn whole.
  viewer.wholeButtonImage = true;
  OffscreenBitmap* whole = Draw(viewer.zoomInButton, false);
  EXPECT_TRUE(Rows(*whole, 32, 0, 32) == Rows(*viewer.PictureOf(viewer.zoomInButton)->Normal(), 32, 0, 32));
}

}  // namespace
}  // namespace shell
