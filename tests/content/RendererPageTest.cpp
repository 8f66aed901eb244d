// A generated page painted through the painter, checked against colours
// worked out by hand (within one level; anti-aliased edges are not
// sampled): a red square, a 50%-alpha blue square over it, a "W n" clip, a
// form drawn twice (parsed once), a Multiply-blended transparency group,
// text in render modes 3 and 7, and the painted-area bounds.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "content/Renderer.h"
#include "fonts/DocumentFontSource.h"
#include "runtime/ErrorTrap.h"
#include "tests/content/PagePixelSink.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using Rgb = std::array<int, 3>;

using PixelSink = contenttest::PagePixelSink;

::testing::AssertionResult Near(const Rgb& pixel, const Rgb& expected) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(pixel[c] - expected[c]) > 1)
      return ::testing::AssertionFailure() << "(" << pixel[0] << "," << pixel[1] << "," << pixel[2] << ") expected ("
                                           << expected[0] << "," << expected[1] << "," << expected[2] << ")";
  return ::testing::AssertionSuccess();
}

struct RenderedPage {
  PixelSink pixels;
  content::PageRenderer::Result result;
  uint32_t formBuilds = 0;
  content::CountingPaintTarget told;
};

// A 100 x 100 point page with `content` and the resources below, rendered
// at 72 dpi: user (x, y) is device pixel (x, 99 - y).
void RenderPage(const std::string& content, RenderedPage& page) {
  const std::string form = testsupport::StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 100 100]",
                                                   "0.5 g 70 10 10 10 re f");
  // A group drawing yellow, composited with Multiply over what lies below.
  const std::string group = testsupport::StreamBody(
      "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Group << /S /Transparency >>", "1 1 0 rg 10 60 20 20 re f");
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R /Resources << /ExtGState << "
      "/Half << /ca 0.5 >> /Multiply << /BM /Multiply >> >> /XObject << /Fm1 5 0 R /Grp 6 0 R >> /Font << /F1 7 0 R "
      ">> >> >>",
      testsupport::StreamBody("", content),
      form,
      group,
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
  };
  page.result = contenttest::RenderSmallFilePage(objects, page.pixels, &page.told, &page.formBuilds);
}

TEST(RendererPageTest, GeneratedPagePaintsTheHandComputedColours) {
  RenderedPage page;
  RenderPage(
      "1 0 0 rg 10 10 10 10 re f\n"
      "q /Half gs 0 0 1 rg 15 15 10 10 re f Q\n"
      "q 40 40 20 20 re W n 0 1 0 rg 30 30 40 40 re f Q\n"
      "/Fm1 Do q 1 0 0 1 0 15 cm /Fm1 Do Q\n"
      "0 1 1 rg 20 60 20 20 re f\n"
      "q /Multiply gs /Grp Do Q\n",
      page);
  ASSERT_FALSE(page.result.failed) << page.result.error.domain << " " << page.result.error.code;
  ASSERT_EQ(page.result.width, 100);
  const Rgb white{255, 255, 255}, red{255, 0, 0};
  auto at = [&](int x, int y) { return page.pixels.At(x, 99 - y); };
  EXPECT_TRUE(Near(at(12, 12), red));
  // Half blue over red, and over the paper.
  EXPECT_TRUE(Near(at(17, 17), {128, 0, 128}));
  EXPECT_TRUE(Near(at(22, 22), {128, 128, 255}));
  // Green only inside the clip.
  EXPECT_TRUE(Near(at(50, 50), {0, 255, 0}));
  EXPECT_TRUE(Near(at(35, 35), white));
  EXPECT_TRUE(Near(at(65, 65), white));
  // The form twice, from one parse (the group is the other form parsed);
  // its gray is the same in both places.
  EXPECT_EQ(page.formBuilds, 2u);
  EXPECT_TRUE(Near(at(75, 15), at(75, 30)));
  EXPECT_TRUE(Near(at(75, 15), {128, 128, 128}) || Near(at(75, 15), {127, 127, 127}));
  EXPECT_TRUE(Near(at(75, 22), white));
  // Yellow multiplied: over the cyan it leaves green, over the paper yellow.
  EXPECT_TRUE(Near(at(25, 70), {0, 255, 0}));
  EXPECT_TRUE(Near(at(15, 70), {255, 255, 0}));
  EXPECT_TRUE(Near(at(35, 70), {0, 255, 255}));
  // Everything painted lies inside the painted-area bounds.
  EXPECT_LE(page.result.painted.x0, 10);
  EXPECT_GE(page.result.painted.x1, 80);
  EXPECT_EQ(page.told.Count(1), 0u);
}

TEST(RendererPageTest, InvisibleTextPaintsNothingAndClippingTextOnlyClips) {
  RenderedPage page;
  RenderPage(
      "BT /F1 40 Tf 3 Tr 10 50 Td (HH) Tj ET\n"
      "q BT /F1 40 Tf 7 Tr 10 10 Td (HH) Tj ET 0 0 1 rg 0 0 100 100 re f Q\n",
      page);
  ASSERT_FALSE(page.result.failed);
  int blue = 0, other = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) {
      const Rgb p = page.pixels.At(x, y);
      if (p == Rgb{255, 255, 255}) continue;
      // Mode 3 leaves the upper half white; the clip keeps the blue to the
      // glyphs of the lower line.
      (99 - y < 45 && p[2] > p[0] ? blue : other)++;
    }
  EXPECT_GT(blue, 100);
  EXPECT_EQ(other, 0);
}

TEST(RendererPageTest, PaintedBoundsCoverOneSquareExactly) {
  RenderedPage page;
  RenderPage("q 0 0 1 rg 5 85 10 10 re f Q", page);
  // User (5, 85)-(15, 95) is device x 5-15, y 5-15.
  EXPECT_EQ(page.result.painted.x0, 5);
  EXPECT_EQ(page.result.painted.y0, 5);
  EXPECT_EQ(page.result.painted.x1, 15);
  EXPECT_EQ(page.result.painted.y1, 15);
}

}  // namespace
