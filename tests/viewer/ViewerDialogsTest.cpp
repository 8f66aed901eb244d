// The zoom dialog and the external zoom, the properties dialog, the
// go-to-page dialog, the page box and the navigation keys, over a viewer
// with a document open on the recording host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/WideText.h"
#include "tests/pdf/CorpusFiles.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/pdf/ProbeRunner.h"
#include "tests/viewer/ViewerTestDocuments.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/MenuTree.h"
#include "viewer/PageView.h"
#include "viewer/ViewerApp.h"
#include "viewer/WideDecimal.h"
#include "viewer/ZoomPresets.h"

namespace viewer {
namespace {

using runtime::Fixed;

std::string Pages(int pages, const std::string& info = "") {
  return viewertest::PlainPages(pages, info);
}

std::u16string DevicePath(const std::string& hostPath) { return viewertest::DevicePathOf(hostPath); }

uint32_t FloatBits(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

class ViewerDialogsTest : public ::testing::Test {
 protected:
  ViewerDialogsTest() { platform::UseVirtualClock(true); }
  ~ViewerDialogsTest() override {
    ViewerApp::Destroy(app);
    platform::UseVirtualClock(false);
  }
  // A started viewer (toolbar included) showing `bytes`.
  void OpenBytes(const std::string& name, const std::string& bytes, uint32_t options = 2) {
    app = ViewerApp::Create(&host, options);
    ASSERT_NE(app, nullptr);
    host.scheduler = &app->scheduler;
    app->OpenInitialDocument(nullptr);
    const std::string path = viewertest::WriteTempFile("dialogs-" + name, bytes);
    ASSERT_EQ(app->OnCopyData(DevicePath(path).c_str()), 1);
    host.log.clear();
  }
  void OpenPath(const std::string& path) {
    app = ViewerApp::Create(&host, 0);
    ASSERT_NE(app, nullptr);
    host.scheduler = &app->scheduler;
    app->OpenInitialDocument(nullptr);
    ASSERT_EQ(app->OnCopyData(DevicePath(path).c_str()), 1) << path;
  }
  int32_t CurrentPage() { return app->viewer.pageView->State().currentPage; }
  std::u16string Shown(uint32_t id) { return host.lastPropertiesDialog->items[id]; }

  viewersim::RecordingHost host;
  ViewerApp* app = nullptr;
};

TEST(ZoomPresetsTest, PreselectionAndChosenPercentages) {
  // The dialog's preselection for the current zoom: the nearest preset,
  // the larger on a tie, the last above them all.
  const struct {
    Fixed zoom;
    int32_t percent;
    int32_t preset;
  } shown[] = {
      {runtime::kFixedOne, 100, 100},
      {runtime::FixedDiv(110 << 16, 100 << 16), 110, 100},  // 10 from 100, 15 from 125
      {runtime::FixedDiv(12 << 16, 100 << 16), 12, 16},     // 4 from each of 8 and 16
      {runtime::FixedFromInt(12), 1200, 1000},
      {5242, 8, 8},
      {0, 1, 8},                          // at least 1 %
      {-runtime::kFixedOne, 1, 8},        // before any page view
      {0x7FFFFFFF, 32768, 1000},          // too large to show as a percentage
  };
  for (const auto& c : shown) {
    SCOPED_TRACE(c.zoom);
    EXPECT_EQ(ZoomPercent(c.zoom), c.percent);
    EXPECT_EQ(kZoomPresets[SelectZoomPreset(ZoomPercent(c.zoom))], c.preset);
  }
  // What the dialog's value sets: within 1 % and 1000 %, so that a huge
  // value cannot overflow the conversion.
  const struct {
    int32_t value;
    Fixed zoom;
  } chosen[] = {
      {100, runtime::kFixedOne}, {150, 0x18000},         {0, 655},        {-7, 655},
      {1000, 0xA0000},           {40000, 0xA0000},       {INT32_MAX, 0xA0000},
  };
  for (const auto& c : chosen) EXPECT_EQ(ZoomFromPercent(c.value), c.zoom) << c.value;
}

TEST(WideDecimalTest, LeadingDigitsOfAnyScriptSaturating) {
  const struct {
    std::u16string text;
    uint32_t value;
  } cases[] = {
      {u"", 0},
      {u"0", 0},
      {u"-12", 0},  // a minus sign reads as no number
      {u"12abc", 12},
      {u"7 8", 7},
      {u"\uFF13\uFF14", 34},         // full-width
      {u"\u0661\u0660", 10},         // Arabic-Indic
      {u"\u0967\u096F", 19},         // Devanagari
      {u"\u0E52\u0031", 21},         // Thai and ASCII mixed
      {u"\u0669\u0030\u096A", 904},  // three scripts
      {u"4294967295", UINT32_MAX},
      {u"4294967296", UINT32_MAX},
      {u"99999999999", UINT32_MAX},
      {std::u16string(400, u'9'), UINT32_MAX},
      {u"\u002F", 0},  // just below '0'
      {u"\u003A", 0},  // just above '9'
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseWideDecimal(c.text.c_str()), c.value) << viewersim::LogText(c.text.c_str());
  }
  EXPECT_EQ(ParseWideDecimal(nullptr), 0u);
}

TEST_F(ViewerDialogsTest, ZoomDialogAndTheExternalZoom) {
  OpenBytes("zoom.pdf", Pages(3));
  // The zoom another program sets: a usable float becomes an explicit zoom,
  // and WM_USER answers the zoom in effect.
  app->SetZoomFactor(FloatBits(1.5f));
  EXPECT_EQ(app->viewer.pageView->State().fitMode, kZoomExplicit);
  EXPECT_EQ(app->viewer.currentZoom, 0x18000);
  EXPECT_EQ(app->GetZoomFactor(), FloatBits(1.5f));
  for (const float bad : {0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity()}) {
    app->SetZoomFactor(FloatBits(bad));
    EXPECT_EQ(app->viewer.currentZoom, 0x18000) << bad;
  }
  app->SetZoomFactor(FloatBits(50.0f));  // held at the largest zoom
  EXPECT_EQ(app->viewer.currentZoom, 0xA0000);

  // The dialog shows the presets with the current zoom's nearest selected;
  // OK sets the chosen percentage, Cancel nothing.
  host.zoomValue = 125;
  app->SetZoomFactor(FloatBits(1.1f));
  app->OnCommand(kCmdZoomTo);
  ASSERT_NE(host.lastZoomDialog, nullptr);
  EXPECT_EQ(host.lastZoomDialog->presets.size(), kZoomPresetCount);
  EXPECT_EQ(host.lastZoomDialog->current, 110);
  EXPECT_EQ(kZoomPresets[host.lastZoomDialog->selected], 100);
  EXPECT_EQ(host.lastZoomDialog->items[1501], u"Current zoom :");
  EXPECT_EQ(app->viewer.currentZoom, runtime::FixedDiv(125 << 16, 100 << 16));
  host.zoomResult = 202;
  host.zoomValue = 300;
  app->OnCommand(kCmdZoomTo);
  EXPECT_EQ(app->viewer.currentZoom, runtime::FixedDiv(125 << 16, 100 << 16));
  // A value of 0 is taken as 1 %, which the page view holds at its least.
  host.zoomResult = 201;
  host.zoomValue = 0;
  app->OnCommand(kCmdZoomTo);
  EXPECT_EQ(app->viewer.currentZoom, kMinZoom);
}

TEST_F(ViewerDialogsTest, PropertiesShowTheInformationOrDots) {
  const struct {
    const char* what;
    std::string info;
    std::u16string title, subject, author, keywords, modified;
  } cases[] = {
      {"every field",
       "<< /Title (A title) /Subject (What) /Author (Who) /Keywords (k1, k2) "
       "/ModDate (D:20240131235958+01'00') >>",
       u"A title", u"What", u"Who", u"k1, k2", u"2024/01/31 23:59:58 +01:00"},
      {"a Unicode title and a missing subject", "<< /Title <FEFF00C904A9> /Author 7 >>",
       u"\u00C9\u04A9", u"", u"", u"", u""},
      {"no Info", "", u"...", u"...", u"...", u"...", u"..."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ViewerApp::Destroy(app);
    app = nullptr;
    OpenBytes("info.pdf", Pages(1, c.info));
    const int32_t busy = app->viewer.busyCount;
    app->OnCommand(kCmdDetails);
    ASSERT_NE(host.lastPropertiesDialog, nullptr);
    EXPECT_EQ(Shown(1401), u"Name");
    EXPECT_EQ(Shown(1409), u"Modified");
    EXPECT_EQ(Shown(1402), c.title);
    EXPECT_EQ(Shown(1404), c.subject);
    EXPECT_EQ(Shown(1406), c.author);
    EXPECT_EQ(Shown(1408), c.keywords);
    EXPECT_EQ(Shown(1410), c.modified);
    EXPECT_EQ(app->viewer.busyCount, busy);
  }
}

TEST_F(ViewerDialogsTest, ClosingThePropertiesBeforeTheJobEndsRestoresTheBusyState) {
  OpenBytes("closing.pdf", Pages(1, "<< /Title (Late) >>"));
  const int32_t busy = app->viewer.busyCount;
  // The job gives way at its first piece of work: the dialog is closed
  // while it still reads.
  app->context.workBudget = 0;
  host.runJobsInDialogs = false;
  bool runningWhileShown = false;
  host.whilePropertiesRun = [&] {
    runtime::CoThread* job = app->viewer.infoJob.Get();
    runningWhileShown = job != nullptr && !job->IsIdle();
  };
  app->OnCommand(kCmdDetails);
  host.whilePropertiesRun = nullptr;
  EXPECT_TRUE(runningWhileShown);
  EXPECT_EQ(app->viewer.infoJob.Get(), nullptr);
  EXPECT_EQ(app->viewer.busyCount, busy);
  EXPECT_FALSE(host.busyCursor);
  // The next Details starts a new job, which finishes.
  host.runJobsInDialogs = true;
  app->OnCommand(kCmdDetails);
  EXPECT_EQ(Shown(1402), u"Late");
  EXPECT_EQ(app->viewer.busyCount, busy);
}

// The properties of corpus files against pdfinfo: title, subject, author,
// keywords and the modification date (the fields the dialog has).
TEST_F(ViewerDialogsTest, PropertiesOfCorpusFilesMatchPdfinfo) {
  if (pdftest::kSanitizerBuild) GTEST_SKIP() << "a reference comparison, not a crash sweep";
  const std::string dir = pdftest::CorpusDir();
  const std::string files[] = {"160F-2019.pdf", "alphatrans.pdf", "blendmode.pdf"};
  if (dir.empty() || !std::filesystem::exists(dir + "/pdf/" + files[0])) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "no corpus";
    GTEST_SKIP() << "no corpus";
  }
  if (pdftest::RunCommand("pdfinfo -v 2>&1").status != 0) {
    if (pdftest::UnderContinuousIntegration()) FAIL() << "pdfinfo is missing";
    GTEST_SKIP() << "pdfinfo is missing";
  }
  auto utf8 = [](const std::u16string& text) { return platform::Utf8FromWide(text); };
  auto digits = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c >= '0' && c <= '9') out += c;
    }
    return out;
  };
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const std::string path = dir + "/pdf/" + name;
    const pdftest::ProbeResult info = pdftest::RunCommand("pdfinfo -rawdates '" + path + "'");
    ASSERT_EQ(info.status, 0);
    std::map<std::string, std::string> fields;
    std::istringstream lines(info.out);
    for (std::string line; std::getline(lines, line);) {
      const size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      const size_t start = line.find_first_not_of(' ', colon + 1);
      std::string value = start == std::string::npos ? "" : line.substr(start);
      while (!value.empty() && value.back() == ' ') value.pop_back();
      fields[line.substr(0, colon)] = value;
    }
    ViewerApp::Destroy(app);
    app = nullptr;
    OpenPath(path);
    app->OnCommand(kCmdDetails);
    ASSERT_NE(host.lastPropertiesDialog, nullptr);
    EXPECT_EQ(utf8(Shown(1402)), fields["Title"]);
    EXPECT_EQ(utf8(Shown(1404)), fields["Subject"]);
    EXPECT_EQ(utf8(Shown(1406)), fields["Author"]);
    EXPECT_EQ(utf8(Shown(1408)), fields["Keywords"]);
    EXPECT_EQ(digits(utf8(Shown(1410))), digits(fields["ModDate"]));
  }
}

TEST_F(ViewerDialogsTest, GoToPageDialogAsksAgainUntilThePageExists) {
  OpenBytes("goto.pdf", Pages(10));
  // 0 and a number past any page are explained and asked again; the third
  // answer goes.
  host.goToPageAnswers = {u"0", u"99999999999", u"10"};
  app->OnCommand(kCmdPageNumber);
  EXPECT_EQ(CurrentPage(), 9);
  const std::vector<std::string> expected = {
      "CreateGoToPageDialog -> G1",
      "G1.SetItemText 1601 \"Enter page number:\"",
      "G1.SetItemText 1602 \"Total Pages:\"",
      "G1.SetItemText 1603 \"10\"",
      "G1.SetItemText 1604 \"1\"",
      "G1.RunModal -> 201 \"0\"",
      "M1.SetText \"Page number cannot be negative or 0\"",
      "DestroyGoToPageDialog G1",
      "G2.RunModal -> 201 \"99999999999\"",
      "M2.SetText \"Given page number exceeds the maximum pages\"",
      "DestroyGoToPageDialog G2",
      "G3.RunModal -> 201 \"10\"",
      "DestroyGoToPageDialog G3",
  };
  size_t at = 0;
  for (const std::string& line : host.log) {
    if (at < expected.size() && line == expected[at]) ++at;
  }
  EXPECT_EQ(at, expected.size()) << "missing: " << (at < expected.size() ? expected[at] : "");

  const struct {
    std::u16string typed;
    int32_t page;  // -1: cancelled or asked again
  } answers[] = {{u"1", 0}, {u"\uFF13", 2}, {u"5abc", 4}, {u"11", -1}, {u"-2", -1}};
  for (const auto& c : answers) {
    SCOPED_TRACE(viewersim::LogText(c.typed.c_str()));
    host.goToPageAnswers = {c.typed};
    const int32_t before = CurrentPage();
    app->OnCommand(kCmdPageNumber);
    EXPECT_EQ(CurrentPage(), c.page < 0 ? before : c.page);
  }
}

TEST_F(ViewerDialogsTest, PageBoxGoesToTheTypedPageOrShowsTheCurrentAgain) {
  OpenBytes("box.pdf", Pages(10));
  auto* box = static_cast<viewersim::RecordedEdit*>(app->viewer.pageNumberEdit);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text, u"1/10");
  const struct {
    std::u16string typed;
    int32_t page;
    const char* message;  // nullptr: none
  } cases[] = {
      {u"7", 6, nullptr},
      {u"\uFF12", 1, nullptr},
      {u"3rd", 2, nullptr},
      {u"0", 2, "Page number cannot be negative or 0"},
      {u"-4", 2, "Page number cannot be negative or 0"},
      {u"", 2, "Page number cannot be negative or 0"},
      {u"11", 2, "Given page number exceeds the maximum pages"},
      {u"99999999999", 2, "Given page number exceeds the maximum pages"},
      {u"003", 2, nullptr},  // the page shown: the box is written again
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(viewersim::LogText(c.typed.c_str()));
    host.log.clear();
    box->text = c.typed;
    app->GoToTypedPage(box);
    EXPECT_EQ(CurrentPage(), c.page);
    const std::string page = std::to_string(c.page + 1) + "/10";
    EXPECT_EQ(box->text, std::u16string(page.begin(), page.end()));
    bool shown = false;
    for (const std::string& line : host.log) {
      shown = shown || (c.message != nullptr &&
                        line.find(std::string(".SetText \"") + c.message) != std::string::npos);
    }
    EXPECT_EQ(shown, c.message != nullptr);
  }
  // Enter in another control is not the page box's.
  box->text = u"9";
  app->GoToTypedPage(app->viewer.pageViewWindow);
  EXPECT_EQ(CurrentPage(), 2);
}

TEST_F(ViewerDialogsTest, NavigationKeys) {
  host.screenDpi = 120;
  OpenBytes("keys.pdf", Pages(10));
  runtime::HostWindow* view = app->viewer.pageViewWindow;
  auto* pageView = static_cast<PageView*>(app->viewer.pageView);
  // Down from the top: the lead margin below is three halves of an inch,
  // the others none.
  app->OnKeyDown(view);
  EXPECT_EQ(pageView->LeadMargins()[static_cast<int>(ScrollDirection::kDown)], 180);
  EXPECT_EQ(pageView->LeadMargins()[static_cast<int>(ScrollDirection::kUp)], 0);
  app->OnKeyUp(view);
  EXPECT_EQ(pageView->LeadMargins()[static_cast<int>(ScrollDirection::kUp)], 180);
  EXPECT_EQ(pageView->LeadMargins()[static_cast<int>(ScrollDirection::kDown)], 0);

  const struct {
    const char* what;
    std::function<void()> key;
    int32_t page;
  } steps[] = {
      {"End", [&] { app->OnKeyEnd(view); }, 9},
      {"next page at the end", [&] { app->OnCommand(kCmdNextPage); }, 9},
      {"Home", [&] { app->OnKeyHome(nullptr); }, 0},
      {"previous page at the start", [&] { app->OnCommand(kCmdPreviousPage); }, 0},
      {"next page", [&] { app->OnCommand(kCmdNextPage); }, 1},
      {"last page", [&] { app->OnCommand(kCmdLastPage); }, 9},
      {"previous page", [&] { app->OnCommand(kCmdPreviousPage); }, 8},
      {"first page", [&] { app->OnCommand(kCmdFirstPage); }, 0},
      {"End typed into the page box", [&] { app->OnKeyEnd(app->viewer.pageNumberEdit); }, 0},
  };
  for (const auto& step : steps) {
    step.key();
    EXPECT_EQ(CurrentPage(), step.page) << step.what;
  }
}

TEST_F(ViewerDialogsTest, NothingWithoutADocument) {
  app = ViewerApp::Create(&host, 2);
  ASSERT_NE(app, nullptr);
  host.scheduler = &app->scheduler;
  app->OpenInitialDocument(nullptr);
  host.log.clear();
  app->OnCommand(kCmdZoomTo);
  app->OnCommand(kCmdPageNumber);
  app->OnCommand(kCmdDetails);
  app->SetZoomFactor(FloatBits(2.0f));
  app->OnKeyDown(app->viewer.pageViewWindow);
  app->OnKeyEnd(nullptr);
  app->GoToTypedPage(app->viewer.pageNumberEdit);
  EXPECT_TRUE(host.log.empty()) << host.log.front();
}

}  // namespace
}  // namespace viewer
