// Documents opened, laid out and positioned by their opening destination:
// broken boxes and broken destinations must still give a usable view.
#include <gtest/gtest.h>

#include <string>

#include "pdf/Document.h"
#include "pdf/PageInfoTable.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "viewer/ActionRunner.h"
#include "viewer/DocumentPageSizes.h"
#include "viewer/PageView.h"
#include "viewer/PendingDestination.h"

namespace viewer {
namespace {

// Five pages in objects 3..7; `mediaBox` on the page tree, `openAction`
// (or nothing) in the catalog.
std::string FivePages(const std::string& mediaBox, const std::string& openAction) {
  pdftest::PdfWriter writer;
  std::string catalog = "<< /Type /Catalog /Pages 2 0 R";
  if (!openAction.empty()) catalog += " /OpenAction " + openAction;
  writer.Object(1, catalog + " >>");
  std::string kids;
  for (uint32_t i = 0; i < 5; ++i) {
    writer.Object(3 + i, "<< /Type /Page /Parent 2 0 R >>");
    kids += std::to_string(3 + i) + " 0 R ";
  }
  writer.Object(2, "<< /Type /Pages /Count 5 /MediaBox " + mediaBox + " /Kids [" + kids + "] >>");
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

TEST(PageViewDocumentTest, OpeningDestinationsPositionTheView) {
  struct Case {
    const char* what;
    std::string mediaBox, openAction;
    int32_t page;
    int32_t zoomMode;
    runtime::Fixed zoom;  // checked in the explicit mode only
  };
  const Case cases[] = {
      {"no open action", "[0 0 612 792]", "", 0, kZoomFitWidth, 0},
      {"an XYZ destination with a zoom", "[0 0 612 792]", "[6 0 R /XYZ 0 792 2]", 3, kZoomExplicit,
       0x20000},
      {"a Fit destination", "[0 0 612 792]", "[5 0 R /Fit]", 2, kZoomFitPage, 0},
      {"a page given by number", "[0 0 612 792]", "[4 /FitH 500]", 4, kZoomFitWidth, 0},
      {"a page outside the document is dropped", "[0 0 612 792]", "[99 /Fit]", 0, kZoomFitWidth, 0},
      {"a destination without a kind is dropped", "[0 0 612 792]", "[5 0 R]", 0, kZoomFitWidth, 0},
      {"a go-to action leads to its D", "[0 0 612 792]", "<< /S /GoTo /D [5 0 R /Fit] >>", 2, kZoomFitPage,
       0},
      {"another action is left alone", "[0 0 612 792]", "<< /S /URI /URI (http://x.test/) >>", 0,
       kZoomFitWidth, 0},
      {"a go-to to a dictionary is dropped", "[0 0 612 792]", "<< /S /GoTo /D << /D [5 0 R /Fit] >> >>", 0,
       kZoomFitWidth, 0},
      {"a value that is no destination is dropped", "[0 0 612 792]", "12", 0, kZoomFitWidth, 0},
      {"a zero-size box with a destination", "[0 0 0 0]", "[5 0 R /XYZ null null 0]", 2, kZoomFitWidth,
       0},
      {"a zero-size box fitted", "[0 0 0 0]", "[7 0 R /FitR 10 10 10 20]", 4, kZoomExplicit, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    runtime::LibraryContext context;
    const std::string bytes = FivePages(c.mediaBox, c.openAction);
    pdftest::OpenDocument document(&context, bytes);
    const int32_t count = document->GetPageCount();
    ASSERT_EQ(count, 5);
    pdf::PageInfoTable table(&context, *document, count);
    table.AvailablePages().Add(0, count);
    DocumentPageSizes sizes(table);
    MarginPoint view;
    view.width = 240;
    view.height = 320;
    PageView pageView(&context, sizes, nullptr, view, 96);
    // As the viewer opens a document: captured, then applied with its
    // errors dropped.
    PendingDestination opening(&context);
    opening.FillFromOpenAction(*document);
    ActionRunner actions(&context, *document, pageView, nullptr);
    runtime::CatchAllExceptCancel(&context, [&] { actions.ApplyPendingDestination(opening); });
    EXPECT_EQ(pageView.CurrentPage(), c.page);
    EXPECT_EQ(pageView.Zoom().mode, c.zoomMode);
    if (c.zoomMode == kZoomExplicit && c.zoom != 0) {
      EXPECT_EQ(pageView.EffectiveZoom(), c.zoom);
    }
    const runtime::Fixed zoom = pageView.EffectiveZoom();
    EXPECT_GE(zoom, kMinZoom);
    EXPECT_LE(zoom, kMaxZoom);
    // The view keeps working after the open.
    pageView.NextPage();
    pageView.ZoomIn();
    pageView.RotateRight();
    const ScrollBarRecord bars = pageView.ScrollBars();
    EXPECT_LE(bars.vertical.position, bars.vertical.range);
  }
}

}  // namespace
}  // namespace viewer
