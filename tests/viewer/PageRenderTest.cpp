// Pages drawn by the viewer: what the window shows after the render threads
// ran, how a scroll reuses the page's bitmap and draws only the rows it
// exposed, and that drawing cut short by scrolling ends cleanly and leaves
// nothing behind.
#include <gtest/gtest.h>

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

  // One bitmap, as large as the page's part in the window; after the
  // scroll it is reused and only the 30 page rows it exposed are drawn.
  EXPECT_EQ(LinesStartingWith(output, "CreateBitmap"), std::vector<std::string>{"CreateBitmap 250 300"});
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

}  // namespace
}  // namespace viewer
