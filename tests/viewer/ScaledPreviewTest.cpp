// The old drawing of a page shown scaled on its new bitmap after a zoom,
// until the page is drawn again: where the pixels land, that the host's
// own scaling is used when it has one, and that a turn or an unfinished
// drawing gives no preview.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/LibraryContext.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/FakeHostServices.h"
#include "tests/support/SmallPdfFile.h"
#include "tests/viewer/ViewerSimRun.h"
#include "viewer/HostBitmap.h"
#include "viewer/ScaledPreview.h"

namespace viewer {
namespace {

// 16-bit pixels in memory; the host cannot scale between them.
class PreviewBitmap final : public runtime::HostBitmap {
 public:
  PreviewBitmap(int32_t width, int32_t height) : pixels_(static_cast<size_t>(width * height), 0) {
    layout_ = {runtime::kHostRgb565, width, height, reinterpret_cast<uint8_t*>(pixels_.data()),
               int64_t{width} * 2};
  }
  const runtime::HostPixelLayout* Begin(uintptr_t) override { return &layout_; }
  void End() override {}
  const runtime::HostPixelLayout* Layout() override { return &layout_; }
  uint16_t& At(int32_t x, int32_t y) { return pixels_[static_cast<size_t>(y * layout_.width + x)]; }

 private:
  runtime::HostPixelLayout layout_;
  std::vector<uint16_t> pixels_;
};

class PreviewHost : public testsupport::FakeHostServices {
 public:
  runtime::HostBitmap* CreateBitmap(int32_t width, int32_t height) override {
    return new PreviewBitmap(width, height);
  }
  void DestroyBitmap(runtime::HostBitmap* bitmap) override { delete static_cast<PreviewBitmap*>(bitmap); }
};

runtime::Matrix Scale(double s, double e, double f) {
  const auto fixed = [](double v) { return static_cast<runtime::Fixed>(v * 65536.0); };
  return {fixed(s), 0, 0, fixed(-s), fixed(e), fixed(f)};
}

TEST(ScaledPreviewTest, TheOldPixelsLandScaledWhereTheSamePartOfThePageNowLies) {
  runtime::LibraryContext context;
  PreviewHost host;
  // The old drawing: page pixels 10..30 of a page at scale 1 (page space
  // y up, 100 high), with one marked 4 x 4 square at page pixels (20, 20).
  HostBitmap from(&context, &host, 20, 20);
  auto& old = static_cast<PreviewBitmap&>(from.Handle());
  for (int y = 10; y < 14; ++y) {
    for (int x = 10; x < 14; ++x) old.At(x, y) = 0xF800;
  }
  // At scale 2 the same part is page pixels 20..60; the new bitmap holds
  // page pixels from (30, 30) on.
  HostBitmap to(&context, &host, 40, 40);
  const runtime::IntRect dest =
      ScaledPreview::Copy(from, 10, 10, Scale(1, 0, 100), to, 30, 30, Scale(2, 0, 200));
  EXPECT_EQ(dest.x0, 0);
  EXPECT_EQ(dest.y0, 0);
  EXPECT_EQ(dest.x1, 30);
  EXPECT_EQ(dest.y1, 30);
  auto& now = static_cast<PreviewBitmap&>(to.Handle());
  // The square now covers new page pixels 40..48, bitmap pixels 10..18.
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x < 18 && y >= 10 && y < 18;
      ASSERT_EQ(now.At(x, y), inside ? 0xF800 : 0) << x << "," << y;
    }
  }
}

// The viewer shows a preview after a zoom step and none after a turn.
TEST(ScaledPreviewTest, AZoomStepPreviewsTheWholeWindowAndATurnNothing) {
  platform::testing::TempFolder folder;
  const std::string pdf = folder.path() + "/rects.pdf";
  std::ofstream(pdf, std::ios::binary) << testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 250 600] /Contents 4 0 R >>",
      testsupport::StreamBody("", "1 0 0 rg 20 510 60 40 re f"),
  });
  int status = -1;
  const std::string output =
      RunSim("'" + pdf + "' --dpi 72 --size 300x300 --script 'zoom 1.0; idle; zoomin; idle; rotr; idle'", &status);
  ASSERT_EQ(status, 0) << output;
  std::vector<std::string> previews;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    const size_t start = line.find("Preview");
    if (start != std::string::npos) previews.push_back(line.substr(start));
  }
  // Opened at the window's width (287 pixels), then zoom 1: the old
  // drawing shrunk onto the 250 pixels of the page. A step to 1.25 makes
  // the page wider and taller than the window: the old pixels cover all of
  // the new bitmap. The turn shows none.
  EXPECT_EQ(previews, (std::vector<std::string>{"Preview page 0 0 0 250 261 [off main]",
                                                "Preview page 0 0 0 300 300 [off main]"}))
      << output;
}

}  // namespace
}  // namespace viewer
