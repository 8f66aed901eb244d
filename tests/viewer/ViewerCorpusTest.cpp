// The viewer's first screen of corpus pages at 240 x 320 on a 16-bit
// screen: every pixel of the page shown matches the probe's own render of
// that page at the same size in RGB565, after the same dither. A sample of
// the corpus, one file in twenty; a comparison with a reference render:
// normal build only.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/Scheduler.h"
#include "streams/FileStream.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/DocumentPageView.h"

namespace viewer {
namespace {

constexpr size_t kSampleStep = 20;

struct Screen {
  bool shown = false;
  std::vector<uint8_t> rgb;
  runtime::IntRect pageRect, visible;
  double dpi = 0;
};

// The viewer's first screen of `path`; not shown when the file does not
// open or its first page is not what the view shows.
Screen ViewerScreen(const std::string& path) {
  Screen screen;
  runtime::LibraryContext context;
  runtime::Scheduler scheduler(&context);
  context.threadingEnabled = true;
  context.memory.SetBudget(runtime::kHostMemoryBudget);
  viewersim::RecordingHost host;
  runtime::HostWindow* window = host.CreateViewWindow(nullptr, true);
  window->SetRect({0, 0, 240, 320});
  runtime::ErrorTrap trap(&context);
  const bool ran = trap.Run([&] {
    pdftest::DocumentHolder holder{&context};
    std::error_code ignored;
    const std::u16string device = platform::DevicePathFromHost(std::filesystem::absolute(path, ignored).string());
    holder.document = pdf::Document::Open(&context, streams::FileStream::Open(&context, device.c_str()));
    if (!holder.document->SetupSecurity("Standard", nullptr, 0) || !holder.document->EncryptionSupported()) return;
    MarginPoint size;
    size.width = 240;
    size.height = 320;
    DocumentPageView view(&context, *holder.document, &host, window, size, 96);
    scheduler.RunUntil([&] { return !view.View().HasPendingWork(); });
    const RenderRegion& region = view.Render();
    for (uint32_t i = 0; i < region.Queue().Size(); ++i) {
      const RenderRequest* request = region.Queue()[i];
      if (request->page != 0 || request->bitmap == nullptr || view.View().Rotation() != 0) continue;
      screen.pageRect = request->pageRect;
      screen.visible = request->visible;
      const PageLayout& layout = view.View().Layout();
      screen.dpi = 72.0 * runtime::FixedToDouble(runtime::FixedMul(layout.effectiveZoom, layout.params.scaleX));
      runtime::ViewSurface* surface = window->OpenSurface();
      view.View().PaintVisibleCells(*surface, {0, 0, 240, 320});
      int width = 0, height = 0;
      screen.rgb = viewersim::RecordingHost::CanvasPixels(window, &width, &height);
      screen.shown = !screen.rgb.empty();
    }
  });
  if (!ran) {
    trap.SetHandled();
    trap.Close();
    screen.shown = false;
  }
  host.DestroyWindow(window);
  return screen;
}

TEST(ViewerCorpusTest, FirstScreensMatchTheProbesRgb565Render) {
  if (pdftest::kSanitizerBuild) GTEST_SKIP() << "reference comparison: normal build only";
  const std::vector<std::string> files = pdftest::CorpusFiles();
  if (files.empty()) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "no corpus in " << pdftest::CorpusDir();
    GTEST_SKIP() << "no corpus";
  }
  platform::testing::TempFolder folder;
  int compared = 0;
  for (size_t i = 0; i < files.size(); i += kSampleStep) {
    const std::string path = pdftest::CorpusDir() + "/" + files[i];
    const Screen screen = ViewerScreen(path);
    if (!screen.shown) continue;
    char dpi[64];
    std::snprintf(dpi, sizeof dpi, "%.17g", screen.dpi);
    testsupport::Picture probe;
    const std::string out = folder.path() + "/page.png";
    std::remove(out.c_str());
    pdftest::RunProbe("render '" + path + "' 1 --dpi " + dpi + " --format rgb565 -o '" + out + "'");
    if (!testsupport::ReadPng(out, probe)) continue;
    ++compared;
    int differing = 0, outside = 0;
    std::string first;
    for (int32_t y = screen.visible.y0; y < screen.visible.y1; ++y) {
      for (int32_t x = screen.visible.x0; x < screen.visible.x1; ++x) {
        const int32_t px = x - screen.pageRect.x0, py = y - screen.pageRect.y0;
        if (px >= probe.width || py >= probe.height) {
          ++outside;
          continue;
        }
        const uint8_t* ours = &screen.rgb[(static_cast<size_t>(y) * 240 + x) * 3];
        const uint8_t* theirs = &probe.rgb[(static_cast<size_t>(py) * probe.width + px) * 3];
        const bool differs = ours[0] != theirs[0] || ours[1] != theirs[1] || ours[2] != theirs[2];
        if (differs && differing == 0) first = std::to_string(px) + "," + std::to_string(py);
        differing += differs;
      }
    }
    EXPECT_EQ(differing, 0) << files[i] << " at " << dpi << " dpi, first at page pixel " << first;
    // The layout rounds the page's size its own way: a row or column more.
    EXPECT_LE(outside, 320 + 240) << files[i];
  }
  EXPECT_GT(compared, static_cast<int>(files.size() / kSampleStep / 2));
}

}  // namespace
}  // namespace viewer
