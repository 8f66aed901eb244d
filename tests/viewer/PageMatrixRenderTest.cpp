// A page is drawn with the matrix its cell was laid out with: pages with a
// user unit other than 1 and screens whose pixels are not square put the
// page's pixels exactly where the view's page matrix (which links, marks
// and the selection use) says they are.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/viewer/RedRectCheck.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/DocumentPageView.h"

namespace viewer {
namespace {

// A 100 x 80 page with a red rectangle from (10, 15) to (50, 35).
std::string UnitRectPdf(const std::string& unit, int rotation) {
  return viewertest::RedRectPdf(100, 80, "/Rotate " + std::to_string(rotation) + (unit.empty() ? "" : " /UserUnit " + unit),
                                "10 15 40 20");
}

TEST(PageMatrixRenderTest, UserUnitsAndNonSquarePixelsDrawWhereTheLayoutPlacesThePage) {
  runtime::LibraryContext context;
  runtime::Scheduler scheduler(&context);
  context.threadingEnabled = true;
  viewersim::RecordingHost host;
  runtime::HostWindow* window = host.CreateViewWindow(nullptr, true);
  window->SetRect({0, 0, 240, 320});
  struct Case {
    const char* what;
    std::string unit;
    int rotation;
    // Device pixels per point along x and y, at zoom 1.
    double scaleX, scaleY;
  };
  const Case cases[] = {
      {"square pixels", "", 0, 1.0, 1.0},
      {"user unit 2", "2", 0, 1.0, 1.0},
      {"user unit 0.5", "0.5", 90, 1.0, 1.0},
      {"pixels twice as tall as wide", "", 0, 2.0, 1.0},
      {"pixels half as tall as wide, page turned", "", 90, 1.0, 2.0},
      {"user unit 3 on pixels of 1.5 by 1", "3", 0, 1.0, 1.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The document reads its bytes where they are.
    const std::string bytes = UnitRectPdf(c.unit, c.rotation);
    pdftest::OpenDocument document(&context, bytes);
    MarginPoint size;
    size.width = 240;
    size.height = 320;
    DocumentPageView view(&context, *document, &host, window, size, 72);
    view.View().SetDeviceScale(runtime::FixedFromFloatRounded(c.scaleX), runtime::FixedFromFloatRounded(c.scaleY));
    view.View().SetZoom(kZoomExplicit, runtime::kFixedOne);
    view.View().RefreshLayout();
    scheduler.RunUntil([&] { return !view.View().HasPendingWork(); });
    host.Record("paint");
    runtime::ViewSurface* surface = window->OpenSurface();
    view.View().PaintVisibleCells(*surface, {0, 0, 240, 320});
    int width = 0, height = 0;
    const std::vector<uint8_t> rgb = viewersim::RecordingHost::CanvasPixels(window, &width, &height);
    ASSERT_EQ(width, 240);

    const viewertest::PixelBox drawn = viewertest::RedPixelBounds(rgb, 240, 320);
    EXPECT_FALSE(drawn.Empty()) << "no red pixels drawn";
    if (drawn.Empty()) continue;
    // Without a unit, the rectangle's size on the screen is 40 x 20
    // points, turned with the page, times the screen's scale along each
    // axis.
    if (c.unit.empty()) {
      const bool turned = c.rotation == 90;
      EXPECT_NEAR(drawn.x1 - drawn.x0, (turned ? 20 : 40) * c.scaleX, 1.0);
      EXPECT_NEAR(drawn.y1 - drawn.y0, (turned ? 40 : 20) * c.scaleY, 1.0);
    }
    // And where the page matrix puts it.
    viewertest::ExpectPageMatrixCovers(view.View(), 10, 15, 50, 35, drawn);
  }
  host.DestroyWindow(window);
}

}  // namespace
}  // namespace viewer
