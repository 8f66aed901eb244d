// A generated page with images painted through the painter, checked
// against colours worked out by hand from the samples (within one level,
// sample centres only): an RGB image, an image mask in a half-alpha fill,
// an inline image, a soft-masked image, a clipped image, and an image of a
// kind not decoded (JPX) that is reported while the rest of the page
// paints.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "content/Renderer.h"
#include "fonts/DocumentFontSource.h"
#include "tests/content/PagePixelSink.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using Rgb = std::array<int, 3>;

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

TEST(RendererImageTest, GeneratedPageShowsItsImages) {
  const auto image = [](const std::string& entries, const std::string& data) {
    return testsupport::StreamBody("/Type /XObject /Subtype /Image /Width 2 /Height 2 " + entries, data);
  };
  // Each image fills a 20-point square; its 2 x 2 samples are 10 points.
  const std::string content =
      "q 20 0 0 20 10 70 cm /Rgb Do Q\n"
      "q 0 0 1 rg /Half gs 20 0 0 20 40 70 cm /Stencil Do Q\n"
      "q 20 0 0 20 70 70 cm BI /W 2 /H 2 /CS /G /BPC 8 /F /AHx ID 00FF8040> EI Q\n"
      "q 20 0 0 20 10 40 cm /Soft Do Q\n"
      "q 40 40 10 10 re W n 20 0 0 20 40 40 cm /Rgb Do Q\n"
      "q 20 0 0 20 70 40 cm /Jpx Do Q\n"
      "0 1 0 rg 70 10 20 20 re f\n";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R /Resources << /ExtGState << /Half << "
      "/ca 0.5 >> >> /XObject << /Rgb 5 0 R /Stencil 6 0 R /Soft 7 0 R /Jpx 9 0 R >> >> >>",
      testsupport::StreamBody("", content),
      image("/ColorSpace /DeviceRGB /BitsPerComponent 8", Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255})),
      image("/ImageMask true", Bytes({0x80, 0x40})),
      image("/ColorSpace /DeviceRGB /BitsPerComponent 8 /SMask 8 0 R",
            Bytes({255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0})),
      image("/ColorSpace /DeviceGray /BitsPerComponent 8", Bytes({0, 255, 128, 64})),
      image("/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /JPXDecode", "not a codestream"),
  };
  contenttest::PagePixelSink page;
  content::CountingPaintTarget told;
  const content::PageRenderer::Result result = contenttest::RenderSmallFilePage(objects, page, &told);
  ASSERT_FALSE(result.failed) << result.error.domain << " " << result.error.code;
  struct Expected {
    const char* what;
    int x, y;  // user space, a sample's centre
    Rgb colour;
  };
  const Expected expected[] = {
      {"RGB top left", 15, 85, {255, 0, 0}},
      {"RGB top right", 25, 85, {0, 255, 0}},
      {"RGB bottom left", 15, 75, {0, 0, 255}},
      {"RGB bottom right", 25, 75, {255, 255, 255}},
      // Samples 1 keep the paper; samples 0 take the half-alpha blue.
      {"stencil top left", 45, 85, {255, 255, 255}},
      {"stencil top right", 55, 85, {128, 128, 255}},
      {"stencil bottom left", 45, 75, {128, 128, 255}},
      {"stencil bottom right", 55, 75, {255, 255, 255}},
      {"inline top left", 75, 85, {0, 0, 0}},
      {"inline top right", 85, 85, {255, 255, 255}},
      {"inline bottom left", 75, 75, {128, 128, 128}},
      {"inline bottom right", 85, 75, {64, 64, 64}},
      // Red over white by the soft mask's 0, 255, 128 and 64.
      {"soft top left", 15, 55, {255, 255, 255}},
      {"soft top right", 25, 55, {255, 0, 0}},
      {"soft bottom left", 15, 45, {255, 127, 127}},
      {"soft bottom right", 25, 45, {255, 191, 191}},
      // Only the bottom-left sample lies inside the clip.
      {"clipped inside", 45, 45, {0, 0, 255}},
      {"clipped outside", 55, 55, {255, 255, 255}},
      {"clipped outside", 45, 55, {255, 255, 255}},
      // The JPX image is passed over; the fill after it is painted.
      {"JPX", 80, 50, {255, 255, 255}},
      {"fill after the JPX image", 80, 20, {0, 255, 0}},
  };
  for (const Expected& e : expected) {
    const Rgb got = page.At(e.x, 99 - e.y);
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(got[c], e.colour[c], 1) << e.what << " channel " << c << ": " << got[0] << "," << got[1] << ","
                                          << got[2];
    }
  }
  EXPECT_EQ(told.Count(1), 1u);
}

}  // namespace
