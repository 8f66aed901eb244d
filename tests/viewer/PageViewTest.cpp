#include "viewer/PageView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/ErrorRecord.h"
#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"

namespace viewer {
namespace {

using runtime::Fixed;
using runtime::FixedFromInt;

// Pages of one size in points, some replaced.
class SizedPages : public PageSizeSource {
 public:
  SizedPages(int32_t count, runtime::Rect box) : count_(count) {
    base_.estimated = 0;
    base_.box = box;
  }
  int32_t PageCount() const override { return count_; }
  pdf::PageInfo Page(int32_t) override { return base_; }
  Fixed LargestWidth() const override { return turned_ ? Height() : Width(); }
  Fixed LargestHeight() const override { return turned_ ? Width() : Height(); }
  void SetViewRotation(int32_t degrees) override { turned_ = degrees == 90 || degrees == 270; }

 private:
  Fixed Width() const { return base_.box.x1 - base_.box.x0; }
  Fixed Height() const { return base_.box.y1 - base_.box.y0; }
  bool turned_ = false;
  int32_t count_;
  pdf::PageInfo base_;
};

class CountingRender : public RenderScheduling {
 public:
  void UpdateRenderRequests(const PageLayout&) override { ++updates; }
  void InvalidateAll() override { ++invalidations; }
  int updates = 0, invalidations = 0;
};

constexpr runtime::Rect kLetter{0, 0, 612 << 16, 792 << 16};

MarginPoint Handheld() {
  MarginPoint v;
  v.width = 240;
  v.height = 320;
  return v;
}

class PageViewTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  CountingRender render;
};

TEST_F(PageViewTest, ZoomRotationAndPagingScript) {
  // zoom 9.0; zoomin; zoomin; four right turns; last; next.
  SizedPages pages(10, kLetter);
  PageView view(&context, pages, &render, Handheld(), 96);
  EXPECT_EQ(view.DeviceScaleX(), 87381);
  EXPECT_EQ(view.DeviceScaleY(), 87381);
  view.DoSetZoom(kZoomExplicit, 9 << 16);
  EXPECT_EQ(view.EffectiveZoom(), 9 << 16);
  view.ZoomIn();
  EXPECT_EQ(view.EffectiveZoom(), 0xA0000);
  view.ZoomIn();
  EXPECT_EQ(view.EffectiveZoom(), 0xA0000);
  const Fixed width = view.LargestWidth(), height = view.LargestHeight();
  for (int i = 0; i < 4; ++i) {
    view.RotateRight();
    if (i == 0) {
      EXPECT_EQ(view.LargestWidth(), height);
      EXPECT_EQ(view.LargestHeight(), width);
    }
    view.RefreshLayout();
  }
  EXPECT_EQ(view.Rotation(), 0);
  EXPECT_EQ(view.LargestWidth(), width);
  EXPECT_EQ(view.LargestHeight(), height);
  EXPECT_EQ(render.invalidations, 4);
  view.LastPage();
  EXPECT_EQ(view.CurrentPage(), 9);
  view.NextPage();
  EXPECT_EQ(view.CurrentPage(), 9);
  EXPECT_GT(render.updates, 0);
}

TEST_F(PageViewTest, ZoomLimitsAndValuesFromOutside) {
  SizedPages pages(3, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomExplicit, 5242);
  EXPECT_EQ(view.EffectiveZoom(), 5242);
  view.ZoomOut();
  EXPECT_EQ(view.EffectiveZoom(), 5242);
  EXPECT_FALSE(view.ParamsChanged());

  struct Case {
    double value;
    bool accepted;
    Fixed effective;
  };
  const Case cases[] = {
      {2.0, true, 0x20000},      {1000.0, true, 0xA0000}, {0.0001, true, 5242},
      {0.0, false, 0x20000},     {-3.0, false, 0x20000},  {std::nan(""), false, 0x20000},
      {INFINITY, false, 0x20000},
  };
  for (const Case& c : cases) {
    view.DoSetZoom(kZoomExplicit, 0x20000);
    EXPECT_EQ(view.SetZoomFromFloat(kZoomExplicit, c.value), c.accepted) << c.value;
    EXPECT_EQ(view.EffectiveZoom(), c.effective) << c.value;
  }
  // A zoom mode outside 0..3 changes nothing.
  view.DoSetZoom(9, 0x10000);
  EXPECT_EQ(view.Zoom().mode, kZoomExplicit);
}

TEST_F(PageViewTest, EnteringReflowRaisesALowZoom) {
  struct Case {
    Fixed before, after;
  };
  const Case cases[] = {{0x8000, 52428}, {0x20000, 0x20000}};
  for (const Case& c : cases) {
    SizedPages pages(3, kLetter);
    PageView view(&context, pages, nullptr, Handheld(), 96);
    view.DoSetZoom(kZoomFitWidth, 0);
    view.DoSetZoom(kZoomExplicit, c.before);
    view.SetLayoutMode(kLayoutReflow);
    EXPECT_EQ(view.LayoutMode(), kLayoutReflow);
    EXPECT_EQ(view.Zoom().mode, kZoomExplicit);
    EXPECT_EQ(view.Zoom().factor, c.after) << c.before;
  }
}

TEST_F(PageViewTest, PagingInSinglePageAndContinuousModes) {
  SizedPages pages(10, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.SetLayoutMode(kLayoutSinglePage);
  view.DoSetZoom(kZoomFitPage, 0);
  EXPECT_EQ(view.CurrentPage(), 0);
  EXPECT_FALSE(view.CanGoPrevious());
  view.NextPage();
  EXPECT_EQ(view.CurrentPage(), 1);
  view.LastPage();
  EXPECT_EQ(view.CurrentPage(), 9);
  EXPECT_FALSE(view.CanGoNext());
  view.NextPage();
  EXPECT_FALSE(view.ParamsChanged());
  view.PreviousPage();
  EXPECT_EQ(view.CurrentPage(), 8);

  // Continuous, fit page: each page fits; previous skips over those
  // wholly shown and lands on page 0 at most.
  view.SetLayoutMode(kLayoutContinuous);
  view.GoToPage(5, false);
  EXPECT_EQ(view.CurrentPage(), 5);
  view.NextPage();
  EXPECT_EQ(view.CurrentPage(), 6);
  view.FirstPage();
  EXPECT_EQ(view.CurrentPage(), 0);
}

TEST_F(PageViewTest, LineScrollingAndTheEndOfTheDocument) {
  SizedPages pages(2, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomFitWidth, 0);
  const Fixed zoom = view.EffectiveZoom();
  const int64_t before = view.Layout().window.y0;
  view.ScrollLine(ScrollDirection::kDown, 48, false);
  view.RefreshLayout();
  EXPECT_EQ(view.Layout().window.y0 - before, 48);
  EXPECT_EQ(view.LeadMargins()[static_cast<int>(ScrollDirection::kDown)], 144);
  EXPECT_EQ(view.EffectiveZoom(), zoom);
  // At the bottom of the last page a further line changes nothing.
  view.LastPage();
  for (int i = 0; i < 100; ++i) view.ScrollHalf(ScrollDirection::kDown);
  view.RefreshLayout();
  const runtime::Rect64 end = view.Layout().window;
  EXPECT_EQ(end.y1, view.Layout().content.y1);
  view.ScrollLine(ScrollDirection::kDown, 48, false);
  view.RefreshLayout();
  EXPECT_EQ(view.Layout().window, end);
  EXPECT_EQ(view.CurrentPage(), 1);

  // Single page: a line at the page's bottom turns to the next page's top.
  SizedPages ten(10, kLetter);
  PageView single(&context, ten, nullptr, Handheld(), 96);
  single.SetLayoutMode(kLayoutSinglePage);
  single.DoSetZoom(kZoomFitWidth, 0);
  for (int i = 0; i < 100; ++i) single.ScrollLine(ScrollDirection::kDown, 48, true);
  EXPECT_EQ(single.CurrentPage(), 0);
  single.ScrollLine(ScrollDirection::kDown, 48, false);
  EXPECT_EQ(single.CurrentPage(), 1);
  EXPECT_EQ(single.Layout().window.y0, single.Layout().content.y0);
}

TEST_F(PageViewTest, ScrollRectIntoViewByCode) {
  SizedPages pages(1, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomExplicit, 0x10000);
  view.GoToPage(0, false);
  view.RefreshLayout();
  // A small rectangle near the visible top-left stays put with code 5.
  runtime::Matrix m;
  ASSERT_TRUE(view.PageToViewMatrix(0, m));
  runtime::Rect inside{FixedFromInt(100), FixedFromInt(700), FixedFromInt(120), FixedFromInt(720)};
  const runtime::Rect shown = runtime::Matrix::TransformRectBounds(inside, m);
  ASSERT_GE(shown.x0, 5 << 16);
  ASSERT_LE(shown.y1, (320 - 5) << 16);
  view.ScrollRectIntoView(0, inside, kAlignIfHidden, 5);
  EXPECT_FALSE(view.ParamsChanged());

  // A rectangle taller than the window is centred vertically.
  const runtime::Rect tall{FixedFromInt(10), FixedFromInt(0), FixedFromInt(20), FixedFromInt(792)};
  view.ScrollRectIntoView(0, tall, kAlignIfHidden, 5);
  view.RefreshLayout();
  ASSERT_TRUE(view.PageToViewMatrix(0, m));
  const runtime::Rect placed = runtime::Matrix::TransformRectBounds(tall, m);
  const int64_t top = placed.y0 >> 16, bottom = placed.y1 >> 16;
  EXPECT_LE(std::abs((top + bottom) - 320), 2) << top << " " << bottom;

  // Code 0 brings a rectangle's top-left to the margin.
  const runtime::Rect far{FixedFromInt(300), FixedFromInt(400), FixedFromInt(350), FixedFromInt(430)};
  view.ScrollRectIntoView(0, far, 0, 5);
  view.RefreshLayout();
  ASSERT_TRUE(view.PageToViewMatrix(0, m));
  const runtime::Rect at = runtime::Matrix::TransformRectBounds(far, m);
  EXPECT_NEAR(at.x0 >> 16, 5, 1);
  EXPECT_NEAR(at.y0 >> 16, 5, 1);
}

TEST_F(PageViewTest, DestinationsPositionTheView) {
  SizedPages pages(10, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomExplicit, 0x10000);

  pdf::DestinationView outside;
  outside.page = 10;
  const auto error = testsupport::CaughtError(&context, [&] { view.GoToDestination(outside); });
  ASSERT_TRUE(error.has_value());
  EXPECT_TRUE(error->Is(runtime::kViewerDomain, 1));

  // "XYZ" puts (left, top) at the window's corner.
  pdf::DestinationView xyz;
  xyz.page = 4;
  std::strcpy(xyz.kind, "XYZ");
  xyz.parameters[0] = FixedFromInt(100);
  xyz.parameters[1] = FixedFromInt(600);
  xyz.present[0] = xyz.present[1] = 1;
  view.GoToDestination(xyz);
  view.RefreshLayout();
  EXPECT_EQ(view.CurrentPage(), 4);
  runtime::Matrix m;
  ASSERT_TRUE(view.PageToViewMatrix(4, m));
  Fixed x = FixedFromInt(100), y = FixedFromInt(600);
  runtime::Matrix::TransformPointInPlace(m, x, y);
  EXPECT_NEAR(x >> 16, 0, 1);
  EXPECT_NEAR(y >> 16, 0, 1);

  // The null marker on left keeps the left at the page's edge side.
  pdf::DestinationView keepLeft = xyz;
  keepLeft.parameters[0] = kDestinationNull;
  keepLeft.parameters[1] = FixedFromInt(400);
  view.GoToDestination(keepLeft);
  view.RefreshLayout();
  ASSERT_TRUE(view.PageToViewMatrix(4, m));
  x = 0;
  y = FixedFromInt(400);
  runtime::Matrix::TransformPointInPlace(m, x, y);
  EXPECT_NEAR(y >> 16, 0, 1);

  // "Fit" switches to fit page; "FitR" without width zooms by 1.25.
  pdf::DestinationView fit;
  fit.page = 2;
  std::strcpy(fit.kind, "Fit");
  view.GoToDestination(fit);
  EXPECT_EQ(view.Zoom().mode, kZoomFitPage);
  EXPECT_EQ(view.CurrentPage(), 2);
  const Fixed fitted = view.EffectiveZoom();
  pdf::DestinationView rect;
  rect.page = 2;
  std::strcpy(rect.kind, "FitR");
  rect.parameters[0] = rect.parameters[2] = FixedFromInt(300);
  rect.parameters[1] = FixedFromInt(300);
  rect.parameters[3] = FixedFromInt(400);
  for (uint8_t& g : rect.present) g = 1;
  view.GoToDestination(rect);
  EXPECT_EQ(view.Zoom().mode, kZoomExplicit);
  EXPECT_EQ(view.EffectiveZoom(), runtime::FixedMul(fitted, kZoomStep));

  // An unknown fit type changes nothing.
  view.RefreshLayout();
  pdf::DestinationView odd;
  odd.page = 7;
  std::strcpy(odd.kind, "Zoom");
  view.GoToDestination(odd);
  EXPECT_FALSE(view.ParamsChanged());
}

TEST_F(PageViewTest, ZeroSizePagesAndEmptyDocumentsStaySafe) {
  SizedPages flat(3, runtime::Rect{0, 0, 0, 0});
  PageView view(&context, flat, nullptr, Handheld(), 96);
  for (int32_t mode : {kZoomFitWidth, kZoomFitHeight, kZoomFitPage}) {
    view.DoSetZoom(mode, 0);
    EXPECT_LE(view.EffectiveZoom(), kMaxZoom);
    view.ZoomIn();
    view.ZoomOut();
    view.NextPage();
    view.RotateLeft();
    view.ScrollThumbTo(true, 5, 0, 0);
    view.ScrollLine(ScrollDirection::kDown, 48, false);
    const ScrollBarRecord bars = view.ScrollBars();
    EXPECT_LE(bars.vertical.range, 0x7FFFFFFF);
  }
  SizedPages none(0, kLetter);
  PageView empty(&context, none, nullptr, Handheld(), 96);
  empty.NextPage();
  empty.ZoomIn();
  empty.ScrollBy(10, 10);
  empty.ScrollThumbTo(false, 1, 1, 1);
  EXPECT_FALSE(empty.CanGoNext());
  EXPECT_TRUE(empty.ScrollBars().vertical.hidden);
}

TEST_F(PageViewTest, AMillionPagesScrollWithinThirtyOneBits) {
  SizedPages pages(1000000, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomExplicit, 0xA0000);
  view.GoToPage(999999, false);
  EXPECT_EQ(view.CurrentPage(), 999999);
  const ScrollBarRecord bars = view.ScrollBars();
  EXPECT_FALSE(bars.vertical.hidden);
  EXPECT_LE(bars.vertical.position + bars.vertical.page, bars.vertical.range);
  EXPECT_GT(bars.vertical.position, bars.vertical.range - bars.vertical.range / 1000);
  // The thumb dragged to the middle lands near page 500,000.
  view.ScrollThumbTo(true, bars.vertical.range / 2, bars.vertical.page, bars.vertical.range);
  const int32_t middle = view.CurrentPage();
  EXPECT_NEAR(middle, 500000, 2);
}

TEST_F(PageViewTest, ThumbsFollowTheRotation) {
  SizedPages pages(1, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomExplicit, 0x20000);
  view.RefreshLayout();
  // Upright, the horizontal thumb at 0 shows the left edge.
  view.ScrollThumbTo(false, 0, 10, 100);
  view.RefreshLayout();
  EXPECT_EQ(view.Layout().window.x0, view.Layout().content.x0);
  // Turned half-way, position 0 shows the far end.
  view.RotateRight();
  view.RotateRight();
  view.RefreshLayout();
  view.ScrollThumbTo(false, 0, 10, 100);
  view.RefreshLayout();
  EXPECT_EQ(view.Layout().window.x1, view.Layout().content.x1);
}

TEST_F(PageViewTest, ThePageShownSurvivesTurnsResizesAndZooms) {
  SizedPages pages(20, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomExplicit, 0x10000);
  view.GoToPage(12, false);
  ASSERT_EQ(view.CurrentPage(), 12);
  view.ScrollBy(0, 100);
  EXPECT_EQ(view.CurrentPage(), 12);
  view.RotateRight();
  EXPECT_EQ(view.CurrentPage(), 12);
  view.RotateLeft();
  EXPECT_EQ(view.CurrentPage(), 12);
  view.SetViewSize(320, 240);
  EXPECT_EQ(view.CurrentPage(), 12);
  view.SetViewSize(240, 320);
  view.ZoomIn();
  view.ZoomOut();
  EXPECT_EQ(view.CurrentPage(), 12);
  view.SetLayoutMode(kLayoutSinglePage);
  EXPECT_EQ(view.CurrentPage(), 12);
  view.SetLayoutMode(kLayoutContinuous);
  EXPECT_EQ(view.CurrentPage(), 12);
}

TEST_F(PageViewTest, ExtremeRequestsStayDefined) {
  constexpr int64_t kLow = std::numeric_limits<int64_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int64_t>::max();
  SizedPages pages(4, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.ScrollBy(kLow, kHigh);
  view.ScrollBy(kHigh, kLow);
  view.ScrollLine(ScrollDirection::kUp, kHigh, false);
  view.ScrollThumbTo(true, kHigh, kHigh, kHigh);
  view.ScrollThumbTo(false, kLow, kLow, kLow);
  view.ZoomToRect({kLow, kLow, kHigh, kHigh});
  view.ZoomToRect({kHigh, kHigh, kLow, kLow});
  view.SetViewSize(-5, std::numeric_limits<int32_t>::max());
  view.ScrollRectIntoView(1, {runtime::kFixedMin, runtime::kFixedMin, runtime::kFixedMax, runtime::kFixedMax},
                          4, std::numeric_limits<int32_t>::max());
  pdf::DestinationView far;
  far.page = 3;
  std::strcpy(far.kind, "XYZ");
  far.parameters[0] = runtime::kFixedMax;
  far.parameters[1] = runtime::kFixedMin;
  far.parameters[2] = runtime::kFixedMax;
  far.present[0] = far.present[1] = far.present[2] = 1;
  view.GoToDestination(far);
  std::strcpy(far.kind, "FitR");
  far.present[3] = 1;
  far.parameters[3] = runtime::kFixedMin;
  view.GoToDestination(far);
  EXPECT_GE(view.EffectiveZoom(), kMinZoom);
  EXPECT_LE(view.EffectiveZoom(), kMaxZoom);
  EXPECT_LT(view.CurrentPage(), 4);
  EXPECT_EQ(ThumbToLayout({kHigh, 1, kHigh}, false, kHigh) >= 0, true);
}

class RecordingViewSink : public ViewChangeSink {
 public:
  void SetScrollBars(const ScrollBarRecord& b) override {
    bars = b;
    order.push_back('b');
  }
  void ShowPageAndZoom(int32_t p, Fixed z) override {
    page = p;
    zoom = z;
    order.push_back('p');
  }
  ScrollBarRecord bars;
  int32_t page = -2;
  Fixed zoom = 0;
  std::string order;
};

TEST_F(PageViewTest, AfterAChangeTheBarsThenThePageAreReported) {
  SizedPages pages(10, kLetter);
  PageView view(&context, pages, nullptr, Handheld(), 96);
  view.DoSetZoom(kZoomFitWidth, 0);
  view.GoToPage(6, false);
  RecordingViewSink sink;
  view.AfterViewChange(sink);
  EXPECT_EQ(sink.order, "bp");
  EXPECT_EQ(sink.page, 6);
  EXPECT_EQ(sink.zoom, view.EffectiveZoom());
  EXPECT_FALSE(sink.bars.vertical.hidden);
  EXPECT_TRUE(sink.bars.horizontal.hidden);
  const runtime::Rect64& w = view.Layout().window;
  const runtime::Rect64& c = view.Layout().content;
  EXPECT_EQ(sink.bars.vertical.position, w.y0 - c.y0);
  EXPECT_EQ(sink.bars.vertical.page, w.y1 - w.y0);
  EXPECT_EQ(sink.bars.vertical.range, c.y1 - c.y0);

  SizedPages none(0, kLetter);
  PageView empty(&context, none, nullptr, Handheld(), 96);
  RecordingViewSink quiet;
  empty.AfterViewChange(quiet);
  EXPECT_EQ(quiet.page, -1);
  EXPECT_TRUE(quiet.bars.vertical.hidden);
}

}  // namespace
}  // namespace viewer
