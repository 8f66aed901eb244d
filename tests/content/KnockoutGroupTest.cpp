// Knockout transparency groups, painted through the page renderer and
// checked against colours worked out by hand: inside a knockout group each
// object is composited over the group's initial backdrop, not over the
// objects painted before it, and replaces them where it covers; a group
// nested in it starts from that initial backdrop too.
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

using KnockoutRgb = std::array<int, 3>;

// Renders a 100 x 100 page whose content is `page`, with /G a form over the
// whole page carrying the group `group` and drawing `content`, and /Inner a
// non-isolated, non-knockout group drawing `inner`. /Half sets ca 0.5,
// /Mul the Multiply blend mode. Returns the colours at user x = 20, 50, 80
// on the line y = 50.
std::array<KnockoutRgb, 3> RenderKnockoutPage(const std::string& page, const std::string& group,
                                              const std::string& content, const std::string& inner) {
  const std::string resources =
      "/Resources << /ExtGState << /Half << /ca 0.5 >> /Mul << /BM /Multiply >> >> /XObject << /G 5 0 R /Inner 6 0 R "
      ">> >>";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R " + resources + " >>",
      testsupport::StreamBody("", page),
      testsupport::StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Group << " + group + " >> " +
                                  resources,
                              content),
      testsupport::StreamBody(
          "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Group << /S /Transparency >> " + resources, inner),
  };
  contenttest::PagePixelSink pixels;
  content::CountingPaintTarget told;
  const content::PageRenderer::Result result = contenttest::RenderSmallFilePage(objects, pixels, &told);
  EXPECT_FALSE(result.failed);
  std::array<KnockoutRgb, 3> out{};
  for (int i = 0; i < 3; ++i) {
    const auto p = pixels.At(20 + 30 * i, 49);
    out[i] = {p[0], p[1], p[2]};
  }
  return out;
}

::testing::AssertionResult NearKnockoutColour(const KnockoutRgb& pixel, const KnockoutRgb& expected) {
  for (int c = 0; c < 3; ++c)
    if (std::abs(pixel[c] - expected[c]) > 2)
      return ::testing::AssertionFailure() << "(" << pixel[0] << "," << pixel[1] << "," << pixel[2] << ") expected ("
                                           << expected[0] << "," << expected[1] << "," << expected[2] << ")";
  return ::testing::AssertionSuccess();
}

constexpr KnockoutRgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kHalfBlueOverWhite{128, 128, 255},
    kHalfBlueOverRed{128, 0, 128}, kHalfBlueOverGreen{0, 128, 128}, kBlack{0, 0, 0};

struct KnockoutCase {
  const char* name;
  const char* page;     // the page's content; draws /G
  const char* group;    // /G's group dictionary
  const char* content;  // /G's content
  const char* inner;    // the content of /Inner, when /G draws it
  KnockoutRgb left, middle, right;  // at user x = 20, 50, 80
};

TEST(KnockoutGroupTest, ObjectsCompositeOverTheGroupsInitialBackdrop) {
  // Red over x 0..60, then blue at 50% over x 40..100.
  const char* redThenHalfBlue = "1 0 0 rg 0 0 60 100 re f /Half gs 0 0 1 rg 40 0 60 100 re f";
  // Blue everywhere, then /Inner, which paints red with Multiply over x 40..60.
  const char* blueThenInner = "0 0 1 rg 0 0 100 100 re f /Inner Do";
  const char* multipliedRed = "/Mul gs 1 0 0 rg 40 0 20 100 re f";
  const KnockoutCase cases[] = {
      // Without knockout the blue shows the red below it.
      {"plain group", "/G Do", "/S /Transparency /I true", redThenHalfBlue, "", kRed, kHalfBlueOverRed,
       kHalfBlueOverWhite},
      // The same in a group of its own layer (Multiply over white changes
      // nothing): the blue's opacity applies once.
      {"plain group in a layer", "/Mul gs /G Do", "/S /Transparency /I true", redThenHalfBlue, "", kRed,
       kHalfBlueOverRed, kHalfBlueOverWhite},
      // Isolated knockout: the blue is composited over nothing, so the red
      // under it is gone and the white page shows through.
      {"isolated knockout", "/G Do", "/S /Transparency /I true /K true", redThenHalfBlue, "", kRed,
       kHalfBlueOverWhite, kHalfBlueOverWhite},
      // Non-isolated knockout over green: the blue is composited over the
      // green the group started from.
      {"non-isolated knockout", "0 1 0 rg 0 0 100 100 re f /G Do", "/S /Transparency /K true", redThenHalfBlue, "",
       kRed, kHalfBlueOverGreen, kHalfBlueOverGreen},
      // A group nested in an isolated knockout group multiplies its red with
      // the knockout group's initial backdrop (nothing), not with the blue.
      {"group inside knockout", "/G Do", "/S /Transparency /I true /K true", blueThenInner, multipliedRed, kBlue,
       kRed, kBlue},
      {"group inside plain group", "/G Do", "/S /Transparency /I true", blueThenInner, multipliedRed, kBlue, kBlack,
       kBlue},
      // "K" that is not a boolean is false.
      {"K not a boolean", "/G Do", "/S /Transparency /I true /K 1", redThenHalfBlue, "", kRed, kHalfBlueOverRed,
       kHalfBlueOverWhite},
  };
  for (const KnockoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto colours = RenderKnockoutPage(c.page, c.group, c.content, c.inner);
    EXPECT_TRUE(NearKnockoutColour(colours[0], c.left)) << "left";
    EXPECT_TRUE(NearKnockoutColour(colours[1], c.middle)) << "middle";
    EXPECT_TRUE(NearKnockoutColour(colours[2], c.right)) << "right";
  }
}

}  // namespace
