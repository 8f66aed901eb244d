// Pages drawn by the viewer: what the window shows after the render threads
// ran, how a scroll reuses the page's bitmap and draws only the rows it
// exposed, and that drawing cut short by scrolling ends cleanly and leaves
// nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"
#include "tests/support/SmallPdfFile.h"
#include "tests/viewer/RedRectCheck.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/DocumentPageView.h"
#include "viewer/Viewer.h"
#include "tests/viewer/ViewerSimRun.h"

namespace viewer {
namespace {

// One 250 x 600 page with a red rectangle 60 x 40 points, 20 from the left
// and 50 from the top.
std::string RectsPdf() {
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 250 600] /Contents 4 0 R >>",
      testsupport::StreamBody("", "1 0 0 rg 20 510 60 40 re f"),
  });
}

struct Rgb {
  int r, g, b;
};

Rgb At(const testsupport::Picture& p, int x, int y) {
  const uint8_t* px = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
  return {px[0], px[1], px[2]};
}

bool Near(const Rgb& c, int r, int g, int b, int tolerance) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t start = line.find_first_not_of(' ');
    if (start != std::string::npos && line.compare(start, prefix.size(), prefix) == 0) lines.push_back(line.substr(start));
  }
  return lines;
}

TEST(PageRenderTest, ARectangleShowsAndALineScrollReusesTheBitmap) {
  platform::testing::TempFolder folder;
  const std::string pdf = folder.path() + "/rects.pdf";
  std::ofstream(pdf, std::ios::binary) << RectsPdf();
  const std::string a = folder.path() + "/a.png", b = folder.path() + "/b.png";
  int status = -1;
  const std::string output = RunSim("'" + pdf + "' --dpi 72 --size 300x300 --script 'zoom 1.0; idle; dump " + a +
                                        "; linedown; idle; dump " + b + "'",
                                    &status);
  ASSERT_EQ(status, 0) << output;
  testsupport::Picture first, second;
  ASSERT_TRUE(testsupport::ReadPng(a, first));
  ASSERT_TRUE(testsupport::ReadPng(b, second));
  ASSERT_EQ(first.width, 300);
  ASSERT_EQ(first.height, 300);

  // The page, 250 points wide at 72 dpi, is centred; its top-left corner
  // is 6 pixels below the window's top. The border is black, one pixel
  // wide, and a two-pixel shadow runs along the right and bottom.
  const int left = 25, top = 6, right = left + 250;
  EXPECT_TRUE(Near(At(first, left - 1, 100), 0, 0, 0, 0));
  EXPECT_TRUE(Near(At(first, 100, top - 1), 0, 0, 0, 0));
  EXPECT_TRUE(Near(At(first, right, 100), 0, 0, 0, 0));
  EXPECT_TRUE(Near(At(first, right + 1, 100), 0, 0, 0, 0));
  EXPECT_TRUE(Near(At(first, right + 2, 100), 0, 0, 0, 0));
  EXPECT_TRUE(Near(At(first, right + 1, top), 128, 128, 128, 8)) << "no shadow beside the top two rows";
  // Outside the page grey, the page white, the rectangle red.
  EXPECT_TRUE(Near(At(first, 5, 150), 128, 128, 128, 8));
  EXPECT_TRUE(Near(At(first, 290, 150), 128, 128, 128, 8));
  EXPECT_TRUE(Near(At(first, left + 150, 200), 255, 255, 255, 0));
  for (int y = top + 50; y < top + 90; ++y) {
    for (int x = left + 20; x < left + 80; ++x) ASSERT_TRUE(Near(At(first, x, y), 255, 0, 0, 1)) << x << "," << y;
  }
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{left + 19, top + 60}, {left + 80, top + 60},
                                                              {left + 40, top + 49}, {left + 40, top + 90}}) {
    EXPECT_TRUE(Near(At(first, x, y), 255, 255, 255, 0)) << x << "," << y;
  }

  // A line is half an inch: the second picture is the first moved up by
  // 36 rows where they overlap.
  int differing = 0;
  for (int y = 0; y + 36 < 300; ++y) {
    for (int x = 0; x < 300; ++x) {
      const Rgb p = At(first, x, y + 36), q = At(second, x, y);
      differing += p.r != q.r || p.g != q.g || p.b != q.b;
    }
  }
  EXPECT_EQ(differing, 0);

  // Once opened (at the width of the window) and zoomed, one bitmap as
  // large as the page's part in the window; after the scroll it is reused
  // and only the 30 page rows it exposed are drawn.
  const std::string afterOpen = output.substr(output.find("open -> 1"));
  EXPECT_EQ(LinesStartingWith(afterOpen, "CreateBitmap"), std::vector<std::string>{"CreateBitmap 250 300"});
  EXPECT_EQ(LinesStartingWith(output, "DrawArea"),
            (std::vector<std::string>{"DrawArea page 0 0 0 250 300 [off main]",
                                      "DrawArea page 0 0 300 250 330 [off main]"}));
}

TEST(PageRenderTest, WithoutADocumentTheWindowIsOneGreyFill) {
  runtime::LibraryContext context;
  viewersim::RecordingHost host;
  Viewer viewer(&context, &host, 0);
  viewer.Start(nullptr);
  viewer.Relayout(240, 320);
  viewer.PaintWindow(nullptr);
  viewer.PaintWindow(viewer.pageViewWindow);
  int width = 0, height = 0;
  const std::vector<uint8_t> rgb = viewersim::RecordingHost::CanvasPixels(viewer.pageViewWindow, &width, &height);
  ASSERT_EQ(width, 240);
  ASSERT_EQ(height, 320);
  // Grey (128, 128, 128) as the 16-bit screen holds it, the same all over.
  for (size_t i = 0; i < rgb.size(); i += 3) {
    ASSERT_EQ(rgb[i], rgb[0]);
    ASSERT_EQ(rgb[i + 1], rgb[1]);
    ASSERT_EQ(rgb[i + 2], rgb[2]);
  }
  EXPECT_NEAR(rgb[0], 128, 8);
  EXPECT_NEAR(rgb[1], 128, 8);
}

// Pages heavy enough to take many slices of a render thread's budget.
std::string BusyPages(int pages) {
  std::string content;
  for (int i = 0; i < 1500; ++i) {
    content += "0." + std::to_string(i % 10) + " g " + std::to_string(10 + (i * 7) % 560) + " " +
               std::to_string(10 + (i * 13) % 760) + " 30 20 re f\n";
  }
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>"};
  std::string kids;
  for (int i = 0; i < pages; ++i) kids += std::to_string(4 + i) + " 0 R ";
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
  objects.push_back(testsupport::StreamBody("", content));
  for (int i = 0; i < pages; ++i) {
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 3 0 R >>");
  }
  return testsupport::SmallPdfFile(objects);
}

// The window's pixels as the viewer paints them.
std::vector<uint8_t> Painted(DocumentPageView& view, viewersim::RecordingHost& host, runtime::HostWindow* window) {
  host.Record("paint");
  runtime::ViewSurface* surface = window->OpenSurface();
  view.View().PaintVisibleCells(*surface, {0, 0, 240, 320});
  int width = 0, height = 0;
  return viewersim::RecordingHost::CanvasPixels(window, &width, &height);
}

TEST(PageRenderTest, ScrollingWhileAPageDrawsRestartsItCleanlyAndLeaksNothing) {
  runtime::LibraryContext context;
  runtime::Scheduler scheduler(&context);
  context.threadingEnabled = true;
  viewersim::RecordingHost host;
  runtime::HostWindow* window = host.CreateViewWindow(nullptr, true);
  window->SetRect({0, 0, 240, 320});
  const uint64_t before = context.memory.bytesInUse;
  std::vector<uint8_t> interrupted, calm;
  {
    const std::string bytes = BusyPages(3);
    pdftest::OpenDocument document(&context, bytes);
    MarginPoint size;
    size.width = 240;
    size.height = 320;
    {
      DocumentPageView view(&context, *document, &host, window, size, 96);
      // 100 scrolls, more than a window down and back up by turns, each
      // while the pages are still being drawn: the threads get two passes between
      // scrolls.
      int cutShort = 0;
      for (int step = 0; step < 100; ++step) {
        view.View().ScrollLine(step % 2 == 0 ? ScrollDirection::kDown : ScrollDirection::kUp,
                               step % 2 == 0 ? 400 : 352, false);
        view.View().RefreshLayout();
        int passes = 0;
        scheduler.RunUntil([&] { return ++passes > 2; });
        cutShort += view.View().HasPendingWork();
      }
      EXPECT_GT(cutShort, 40) << "the pages were drawn faster than the scrolls came";
      scheduler.RunUntil([&] { return !view.View().HasPendingWork(); });
      EXPECT_FALSE(view.View().HasPendingWork());
      for (uint32_t i = 0; i < view.Render().Queue().Size(); ++i) {
        EXPECT_EQ(view.Render().Queue()[i]->state, kRequestDone);
      }
      EXPECT_LE(host.liveBitmaps, view.Render().Queue().Size());
      interrupted = Painted(view, host, window);
    }
    EXPECT_EQ(host.liveBitmaps, 0u);
    // The same place drawn without interruption looks the same.
    {
      DocumentPageView view(&context, *document, &host, window, size, 96);
      for (int step = 0; step < 100; ++step) {
        view.View().ScrollLine(step % 2 == 0 ? ScrollDirection::kDown : ScrollDirection::kUp,
                               step % 2 == 0 ? 400 : 352, false);
      }
      view.View().RefreshLayout();
      scheduler.RunUntil([&] { return !view.View().HasPendingWork(); });
      calm = Painted(view, host, window);
    }
  }
  EXPECT_TRUE(interrupted == calm);
  EXPECT_EQ(host.liveBitmaps, 0u);
  EXPECT_EQ(context.memory.bytesInUse, before);
  host.DestroyWindow(window);
}

// A 200 x 160 page with a red rectangle from (20, 30) to (60, 50): not
// centred either way, so a mapping that turns the wrong way or forgets an
// offset misses it.
std::string OffCentreRectPdf(int pageRotation) {
  return viewertest::RedRectPdf(200, 160, "/Rotate " + std::to_string(pageRotation), "20 30 40 20");
}

TEST(PageRenderTest, ThePageToViewMatrixCoversTheDrawnPixelsInEveryRotation) {
  runtime::LibraryContext context;
  runtime::Scheduler scheduler(&context);
  context.threadingEnabled = true;
  viewersim::RecordingHost host;
  runtime::HostWindow* window = host.CreateViewWindow(nullptr, true);
  window->SetRect({0, 0, 240, 320});
  struct Case {
    int pageRotation, quarterTurns;
  };
  for (const Case c : {Case{0, 0}, Case{0, 1}, Case{0, 2}, Case{0, 3}, Case{90, 0}, Case{90, 1}, Case{90, 3}}) {
    SCOPED_TRACE("page /Rotate " + std::to_string(c.pageRotation) + ", view turned " +
                 std::to_string(c.quarterTurns) + " quarter turn(s)");
    const std::string bytes = OffCentreRectPdf(c.pageRotation);
    pdftest::OpenDocument document(&context, bytes);
    MarginPoint size;
    size.width = 240;
    size.height = 320;
    DocumentPageView view(&context, *document, &host, window, size, 96);
    // 72 dpi: the whole page shows in the window whichever way it is turned.
    view.View().SetZoom(kZoomExplicit, 0xC000);
    for (int i = 0; i < c.quarterTurns; ++i) view.View().RotateRight();
    view.View().RefreshLayout();
    scheduler.RunUntil([&] { return !view.View().HasPendingWork(); });
    const std::vector<uint8_t> rgb = Painted(view, host, window);

    const viewertest::PixelBox drawn = viewertest::RedPixelBounds(rgb, 240, 320);
    ASSERT_FALSE(drawn.Empty()) << "no red pixels drawn";
    viewertest::ExpectPageMatrixCovers(view.View(), 20, 30, 60, 50, drawn);
  }
  host.DestroyWindow(window);
}

}  // namespace
}  // namespace viewer
