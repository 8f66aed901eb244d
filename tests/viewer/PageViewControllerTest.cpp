// The controller's commands and keys driving a real page view: the zoom,
// rotation and paging script a user runs, end to end through the commands.
#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"
#include "tests/support/FakeHostServices.h"
#include "viewer/MenuTree.h"
#include "viewer/PageView.h"
#include "viewer/Viewer.h"

namespace viewer {
namespace {

class TenLetterPages : public PageSizeSource {
 public:
  int32_t PageCount() const override { return 10; }
  pdf::PageInfo Page(int32_t) override {
    return {0, 0, {0, 0, runtime::FixedFromInt(612), runtime::FixedFromInt(792)}};
  }
  runtime::Fixed LargestWidth() const override { return runtime::FixedFromInt(turned_ ? 792 : 612); }
  runtime::Fixed LargestHeight() const override { return runtime::FixedFromInt(turned_ ? 612 : 792); }
  void SetViewRotation(int32_t degrees) override { turned_ = degrees == 90 || degrees == 270; }

 private:
  bool turned_ = false;
};

TEST(PageViewControllerTest, ZoomRotateAndPageThroughTheCommands) {
  runtime::LibraryContext context;
  testsupport::FakeHostServices host;
  Viewer viewer(&context, &host);
  TenLetterPages pages;
  MarginPoint size;
  size.width = 240;
  size.height = 320;
  PageView view(&context, pages, nullptr, size, 96);
  viewer.pageView = &view;

  EXPECT_EQ(view.DeviceScaleX(), 87381);
  view.SetZoom(kZoomExplicit, 9 << 16);
  viewer.ExecuteCommand(kCmdZoomIn);
  EXPECT_EQ(view.EffectiveZoom(), 0xA0000);
  EXPECT_EQ(viewer.OnKeyCommand(u'1'), 1);  // zoom in by key
  EXPECT_EQ(view.EffectiveZoom(), 0xA0000);
  for (int i = 0; i < 4; ++i) viewer.ExecuteCommand(kCmdRotateRight);
  EXPECT_EQ(view.Rotation(), 0);
  EXPECT_EQ(view.LargestWidth(), runtime::FixedFromInt(612));
  EXPECT_EQ(view.LargestHeight(), runtime::FixedFromInt(792));
  viewer.ExecuteCommand(kCmdLastPage);
  EXPECT_EQ(view.CurrentPage(), 9);
  viewer.ExecuteCommand(kCmdNextPage);
  EXPECT_EQ(view.CurrentPage(), 9);
  viewer.ExecuteCommand(kCmdFirstPage);
  EXPECT_EQ(view.CurrentPage(), 0);
  viewer.ExecuteCommand(kCmdZoomOut);
  EXPECT_EQ(view.EffectiveZoom(), runtime::FixedDiv(0xA0000, kZoomStep));
  viewer.pageView = nullptr;
}

}  // namespace
}  // namespace viewer
