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
#include "tests/support/SmallPdfFile.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/DocumentPageView.h"

namespace viewer {
namespace {

// A 100 x 80 page with a red rectangle from (10, 15) to (50, 35).
std::string UnitRectPdf(const std::string& unit, int rotation) {
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 80] /Rotate " + std::to_string(rotation) +
          (unit.empty() ? "" : " /UserUnit " + unit) + " /Contents 4 0 R >>",
      testsupport::StreamBody("", "1 0 0 rg 10 15 40 20 re f"),
  });
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

    int x0 = 240, y0 = 320, x1 = 0, y1 = 0;
    for (int y = 0; y < 320; ++y) {
      for (int x = 0; x < 240; ++x) {
        const uint8_t* px = &rgb[(static_cast<size_t>(y) * 240 + x) * 3];
        if (px[0] < 200 || px[1] > 60 || px[2] > 60) continue;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x + 1), y1 = std::max(y1, y + 1);
      }
    }
    EXPECT_LT(x0, x1) << "no red pixels drawn";
    if (x0 >= x1) continue;
    // Without a unit, the rectangle's size on the screen is 40 x 20
    // points, turned with the page, times the screen's scale along each
    // axis.
    if (c.unit.empty()) {
      const bool turned = c.rotation == 90;
      EXPECT_NEAR(x1 - x0, (turned ? 20 : 40) * c.scaleX, 1.0);
      EXPECT_NEAR(y1 - y0, (turned ? 40 : 20) * c.scaleY, 1.0);
    }
    // And where the page matrix puts it.
    runtime::Matrix m;
    ASSERT_TRUE(view.View().PageToViewMatrix(0, m));
    const runtime::Rect mapped = runtime::Matrix::TransformRectBounds(
        {runtime::FixedFromInt(10), runtime::FixedFromInt(15), runtime::FixedFromInt(50), runtime::FixedFromInt(35)},
        m);
    EXPECT_NEAR(runtime::FixedToDouble(mapped.x0), x0, 1.0);
    EXPECT_NEAR(runtime::FixedToDouble(mapped.y0), y0, 1.0);
    EXPECT_NEAR(runtime::FixedToDouble(mapped.x1), x1, 1.0);
    EXPECT_NEAR(runtime::FixedToDouble(mapped.y1), y1, 1.0);
  }
  host.DestroyWindow(window);
}

}  // namespace
}  // namespace viewer
