// Soft masks set by "gs", painted through the page renderer and checked
// against colours worked out by hand: a luminosity mask whose group paints
// the left half white, an alpha mask whose group paints the lower half at
// 50%, a transfer function that inverts, a white backdrop colour, /None
// and Q ending the mask, a clip set under a mask, a transparency group
// composited through a mask, and a mask whose group sets itself.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "content/PageRenderer.h"
#include "content/Renderer.h"
#include "tests/content/PagePixelSink.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using MaskRgb = std::array<int, 3>;

struct MaskedPage {
  contenttest::PagePixelSink pixels;
  content::PageRenderer::Result result;
  content::CountingPaintTarget told;
};

// A 100 x 100 point page at 72 dpi (user (x, y) is device (x, 99 - y)).
void RenderMaskedPage(const std::string& content, MaskedPage& page) {
  const std::string halfWhite = testsupport::StreamBody(
      "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Group << /S /Transparency /CS /DeviceGray >>",
      "1 g 0 0 50 100 re f");
  const std::string halfAlpha = testsupport::StreamBody(
      "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Resources << /ExtGState << /H << /ca 0.5 >> >> >>",
      "/H gs 0 g 0 0 100 50 re f");
  const std::string selfMasking = testsupport::StreamBody(
      "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Resources << /ExtGState << /Self 9 0 R >> >>",
      "/Self gs 1 g 0 0 100 100 re f");
  const std::string yellowGroup = testsupport::StreamBody(
      "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Group << /S /Transparency >>", "1 1 0 rg 0 0 100 100 re f");
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R /Resources << /ExtGState << "
      "/L << /SMask << /S /Luminosity /G 5 0 R >> >> "
      "/A << /SMask << /S /Alpha /G 6 0 R >> >> "
      "/T << /SMask << /S /Luminosity /G 5 0 R /TR << /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] /N 1 >> >> >> "
      "/B << /SMask << /S /Luminosity /G 5 0 R /BC [1] >> >> "
      "/N << /SMask /None >> /Self 9 0 R "
      "/Bad << /SMask << /S /Luminosity >> >> >> "
      "/XObject << /Y 8 0 R /E 10 0 R >> >> >>",
      testsupport::StreamBody("", content),
      halfWhite,
      halfAlpha,
      selfMasking,
      yellowGroup,
      "<< /SMask << /S /Luminosity /G 7 0 R >> >>",
      testsupport::StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 100 100]", ""),
  };
  page.result = contenttest::RenderSmallFilePage(objects, page.pixels, &page.told);
}

::testing::AssertionResult NearColour(const MaskRgb& pixel, const MaskRgb& expected) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(pixel[c] - expected[c]) > 2)
      return ::testing::AssertionFailure() << "(" << pixel[0] << "," << pixel[1] << "," << pixel[2] << ") expected ("
                                           << expected[0] << "," << expected[1] << "," << expected[2] << ")";
  return ::testing::AssertionSuccess();
}

struct MaskCase {
  const char* name;
  const char* content;
  // The colours at user (25, 75), (75, 75), (25, 25), (75, 25).
  MaskRgb leftTop, rightTop, leftBottom, rightBottom;
};

constexpr MaskRgb kMaskRed{255, 0, 0}, kMaskWhite{255, 255, 255}, kMaskHalfRed{255, 128, 128}, kMaskYellow{255, 255, 0};

class SoftMaskRenderTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(SoftMaskRenderTest, PaintsThroughTheMask) {
  const MaskCase& test = GetParam();
  MaskedPage page;
  RenderMaskedPage(test.content, page);
  ASSERT_FALSE(page.result.failed) << page.result.error.domain << " " << page.result.error.code;
  auto at = [&](int x, int y) { return page.pixels.At(x, 99 - y); };
  EXPECT_TRUE(NearColour(at(25, 75), test.leftTop));
  EXPECT_TRUE(NearColour(at(75, 75), test.rightTop));
  EXPECT_TRUE(NearColour(at(25, 25), test.leftBottom));
  EXPECT_TRUE(NearColour(at(75, 25), test.rightBottom));
  EXPECT_EQ(page.told.Count(4), 0u);
}

const MaskCase kMaskCases[] = {
    // White over the black backdrop on the left, the backdrop alone right.
    {"Luminosity", "/L gs 1 0 0 rg 0 0 100 100 re f", kMaskRed, kMaskWhite, kMaskRed, kMaskWhite},
    {"Alpha", "/A gs 1 0 0 rg 0 0 100 100 re f", kMaskWhite, kMaskWhite, kMaskHalfRed, kMaskHalfRed},
    {"TransferInverts", "/T gs 1 0 0 rg 0 0 100 100 re f", kMaskWhite, kMaskRed, kMaskWhite, kMaskRed},
    {"WhiteBackdrop", "/B gs 1 0 0 rg 0 0 100 100 re f", kMaskRed, kMaskRed, kMaskRed, kMaskRed},
    {"NoneEndsTheMask", "/L gs /N gs 1 0 0 rg 0 0 100 100 re f", kMaskRed, kMaskRed, kMaskRed, kMaskRed},
    {"RestoreEndsTheMask", "q /L gs Q 1 0 0 rg 0 0 100 100 re f", kMaskRed, kMaskRed, kMaskRed, kMaskRed},
    // A clip that is no whole-pixel rectangle, set while the mask is in
    // force: both apply, and the mask still applies once the clip ends.
    {"ClipUnderTheMask", "/L gs q 0 50.5 100 49 re W n 1 0 0 rg 0 0 100 100 re f Q 0 0 1 rg 0 0 100 40 re f", kMaskRed,
     kMaskWhite, MaskRgb{0, 0, 255}, kMaskWhite},
    {"GroupThroughTheMask", "/L gs /Y Do", kMaskYellow, kMaskWhite, kMaskYellow, kMaskWhite},
};

INSTANTIATE_TEST_SUITE_P(Cases, SoftMaskRenderTest, ::testing::ValuesIn(kMaskCases),
                         [](const ::testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

// A mask that cannot be built (no group), and one whose group sets itself
// as the mask, end, are reported, and the page paints on without them.
TEST(SoftMaskFailureTest, BrokenAndSelfMaskingMasksAreReportedAndSkipped) {
  for (const char* content : {"/Bad gs 1 0 0 rg 0 0 100 100 re f", "/Self gs 1 0 0 rg 0 0 100 100 re f"}) {
    MaskedPage page;
    RenderMaskedPage(content, page);
    ASSERT_FALSE(page.result.failed) << content;
    EXPECT_GE(page.told.Count(4), 1u) << content;
    auto at = [&](int x, int y) { return page.pixels.At(x, 99 - y); };
    EXPECT_TRUE(NearColour(at(75, 25), kMaskRed)) << content;
  }
}

// A mask's group is played as a form each time the mask is set, and
// counts with the page's other forms: once the page has played as many
// forms as a run allows, the mask is reported and the page paints on
// without it. One form fewer, and the mask still applies.
TEST(SoftMaskFailureTest, MaskGroupsCountWithThePagesForms) {
  struct Case {
    uint32_t emptyForms;
    MaskRgb right;
    bool reported;
  };
  const uint32_t limit = content::ContentHandler::kMaxFormPlays;
  for (const Case c : {Case{limit - 1, kMaskWhite, false}, Case{limit, kMaskRed, true}}) {
    std::string content;
    for (uint32_t i = 0; i < c.emptyForms; ++i) content += "/E Do ";
    content += "/L gs 1 0 0 rg 0 0 100 100 re f";
    MaskedPage page;
    RenderMaskedPage(content, page);
    ASSERT_FALSE(page.result.failed) << c.emptyForms;
    auto at = [&](int x, int y) { return page.pixels.At(x, 99 - y); };
    EXPECT_TRUE(NearColour(at(25, 50), kMaskRed)) << c.emptyForms;
    EXPECT_TRUE(NearColour(at(75, 50), c.right)) << c.emptyForms;
    EXPECT_EQ(page.told.Count(4) != 0, c.reported) << c.emptyForms;
  }
}

}  // namespace
