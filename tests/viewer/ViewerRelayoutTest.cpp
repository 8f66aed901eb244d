// The main container's layout: the divider between the bookmark tree and
// the page view, the button bar, the toolbar's controls and what shows on
// Pocket PC and Smartphone screens.
#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/MenuTree.h"
#include "viewer/Viewer.h"

namespace viewer {
namespace {

using runtime::HostRect;


::testing::AssertionResult HasRect(const runtime::HostWindow* window, const HostRect& r) {
  const viewersim::ControlInfo* info = viewersim::RecordingHost::InfoOf(window);
  if (info == nullptr) return ::testing::AssertionFailure() << "no such control";
  const HostRect& a = info->rect;
  if (a.left == r.left && a.top == r.top && a.right == r.right && a.bottom == r.bottom) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "rect " << a.left << " " << a.top << " " << a.right << " " << a.bottom;
}

bool Shown(const runtime::HostWindow* window) { return viewersim::RecordingHost::InfoOf(window)->shown; }

class ViewerRelayoutTest : public ::testing::Test {
 protected:
  void StartWith(uint32_t options) {
    viewer_ = std::make_unique<Viewer>(&context_, &host_, options);
    viewer_->Start(nullptr);
  }
  runtime::LibraryContext context_;
  viewersim::RecordingHost host_;
  std::unique_ptr<Viewer> viewer_;
};

TEST_F(ViewerRelayoutTest, PocketPcWithBookmarksSplitsAtTheMiddleOfTheDividersRange) {
  StartWith(kOptionPocketPc | kOptionToolbar);
  Viewer& v = *viewer_;
  v.hasOutline = true;
  v.bookmarksShown = true;
  v.Relayout(240, 320);
  // 3 x 23 up to 320 - 4 x 23 - 38, halfway between.
  EXPECT_EQ(v.splitMinimum, 69);
  EXPECT_EQ(v.splitMaximum, 190);
  EXPECT_EQ(v.splitPosition, 129);
  EXPECT_TRUE(HasRect(v.bookmarkTree, {0, 0, 240, 129}));
  EXPECT_TRUE(Shown(v.bookmarkTree));
  EXPECT_TRUE(HasRect(v.buttonBar, {0, 129, 240, 152}));
  EXPECT_TRUE(HasRect(v.bookmarksButton, {109, 0, 130, 23}));
  EXPECT_TRUE(HasRect(v.pageViewWindow, {0, 152, 240, 282}));
  EXPECT_TRUE(HasRect(v.toolbar, {0, 282, 240, 320}));
  // B = 32, H = 38: margin 4, gap 2, the box min(96, 240 - 136 - 2) wide.
  EXPECT_TRUE(HasRect(v.fitWidthButton, {4, 4, 36, 36}));
  EXPECT_TRUE(HasRect(v.findButton, {38, 4, 70, 36}));
  EXPECT_TRUE(HasRect(v.pageNumberEdit, {72, 4, 168, 36}));
  EXPECT_TRUE(HasRect(v.zoomInButton, {204, 4, 236, 36}));
  EXPECT_TRUE(HasRect(v.zoomOutButton, {170, 4, 202, 36}));

  // A divider dragged beyond its range comes back at the next layout.
  v.splitPosition = 500;
  v.Relayout(240, 320);
  EXPECT_EQ(v.splitPosition, 190);
  v.splitPosition = 3;
  v.Relayout(240, 320);
  EXPECT_EQ(v.splitPosition, 69);

  // Bookmarks hidden: the page view starts below the bar's room.
  v.bookmarksShown = false;
  v.Relayout(240, 320);
  EXPECT_FALSE(Shown(v.bookmarkTree));
  EXPECT_TRUE(HasRect(v.pageViewWindow, {0, 26, 240, 282}));
}

TEST_F(ViewerRelayoutTest, SmartphoneBookmarksTakeTheWholeWindowUntilToggledBack) {
  StartWith(kOptionToolbar);
  Viewer& v = *viewer_;
  v.hasOutline = true;
  v.ToggleBookmarks();
  EXPECT_TRUE(v.bookmarksShown);
  EXPECT_TRUE(Shown(v.bookmarkTree));
  EXPECT_FALSE(Shown(v.pageViewWindow));
  EXPECT_FALSE(Shown(v.toolbar));
  EXPECT_TRUE(HasRect(v.bookmarkTree, {0, 0, 240, 320}));
  v.ToggleBookmarks();
  EXPECT_FALSE(Shown(v.bookmarkTree));
  EXPECT_TRUE(Shown(v.pageViewWindow));
  EXPECT_TRUE(HasRect(v.pageViewWindow, {0, 0, 240, 282}));
}

TEST_F(ViewerRelayoutTest, NarrowAndFullScreenToolbars) {
  struct Case {
    const char* what;
    int32_t width;
    bool fullScreen, keep;
    HostRect toolbar, box, page;
  };
  const Case cases[] = {
      {"a toolbar too narrow for the box gives it no width", 100, false, false, {0, 282, 100, 320},
       {50, 4, 50, 36}, {0, 0, 100, 282}},
      {"full screen puts the toolbar out of sight", 240, true, false, {0, 320, 240, 320}, {}, {0, 0, 240, 320}},
      {"full screen keeps it on request", 240, true, true, {0, 282, 240, 320}, {72, 4, 168, 36}, {0, 0, 240, 282}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartWith(kOptionToolbar);
    Viewer& v = *viewer_;
    v.fullScreen = c.fullScreen;
    v.keepToolbarInFullScreen = c.keep;
    v.Relayout(c.width, 320);
    EXPECT_TRUE(HasRect(v.toolbar, c.toolbar));
    if (!c.fullScreen || c.keep) {
      EXPECT_TRUE(HasRect(v.pageNumberEdit, c.box));
    }
    EXPECT_TRUE(HasRect(v.pageViewWindow, c.page));
    viewer_.reset();
  }
}

TEST_F(ViewerRelayoutTest, DoubleResolutionScreensGetTheLargeControls) {
  host_.screenDpi = 192;
  StartWith(kOptionPocketPc | kOptionToolbar);
  Viewer& v = *viewer_;
  EXPECT_EQ(v.toolbarHeight, 76);
  EXPECT_EQ(v.barThickness, 45);
  EXPECT_EQ(v.barOffset, 52);
  EXPECT_EQ(v.buttonSize, 64);
}

}  // namespace
}  // namespace viewer
