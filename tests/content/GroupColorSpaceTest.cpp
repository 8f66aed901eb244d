// A transparency group's own colour space: an isolated group composes in
// the space its "CS" names and is converted into the page's space when
// composited back; a non-isolated one, or one without a transparency "S",
// keeps the page's space.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/Renderer.h"
#include "tests/content/PagePixelSink.h"

namespace {

// Red painted inside a group drawn over the whole 20 x 20 page, sampled at
// its centre.
contenttest::PagePixelSink::Rgb RedInsideGroup(const std::string& group) {
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 20 20] /Contents 4 0 R /Resources << /XObject << /G 5 0 R >> >> >>",
      testsupport::StreamBody("", "/G Do"),
      testsupport::StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 20 20] /Group << " + group + " >>",
                              "1 0 0 rg 0 0 20 20 re f"),
  };
  contenttest::PagePixelSink pixels;
  content::CountingPaintTarget told;
  const content::PageRenderer::Result result = contenttest::RenderSmallFilePage(objects, pixels, &told);
  EXPECT_FALSE(result.failed) << group;
  return pixels.At(10, 10);
}

TEST(GroupColorSpaceTest, AnIsolatedGroupComposesInItsOwnSpace) {
  // Gray has no hue: the red comes back as a gray.
  const auto gray = RedInsideGroup("/S /Transparency /I true /CS /DeviceGray");
  EXPECT_EQ(gray[0], gray[1]);
  EXPECT_EQ(gray[1], gray[2]);
  EXPECT_LT(gray[0], 200);
  EXPECT_GT(gray[0], 20);
  // The page's own space, a non-isolated group and a group that is no
  // transparency group leave the red as it is.
  const contenttest::PagePixelSink::Rgb red{255, 0, 0};
  for (const char* group : {"/S /Transparency /I true /CS /DeviceRGB", "/S /Transparency /CS /DeviceGray",
                            "/S /Foo /I true /CS /DeviceGray", "/S /Transparency /I true /CS /NoSuchSpace"})
    EXPECT_EQ(RedInsideGroup(group), red) << group;
}

}  // namespace
