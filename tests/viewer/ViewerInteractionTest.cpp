// The cases through the whole controller: a document opened by
// the viewer from a file, pen events on the page-view window, and Find
// Next from the menu command, over the recording host.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "runtime/HostWindow.h"
#include "tests/viewer/ViewerTestDocuments.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/DocumentInteraction.h"
#include "viewer/MenuTree.h"
#include "viewer/OpenDocument.h"
#include "viewer/PageView.h"
#include "viewer/ViewerApp.h"

namespace viewer {
namespace {

// The page-view window: 240 x 320 pixels.
class InteractionWindow : public runtime::HostWindow {
 public:
  void SetRect(const runtime::HostRect&) override {}
  void GetRect(runtime::HostRect* rect) const override { *rect = {0, 0, 240, 320}; }
  void SetText(const char16_t*) override {}
};

// Pages with Helvetica text and annotations.
std::string InteractionDocument(const std::vector<std::pair<std::string, std::string>>& pages,
                                const std::string& catalog = "") {
  std::vector<viewertest::TextPage> text;
  for (const auto& [content, entries] : pages) text.push_back({content, entries});
  return viewertest::TextPages(text, catalog);
}

class ViewerInteractionTest : public ::testing::Test {
 protected:
  ViewerInteractionTest() { platform::UseVirtualClock(true); }
  ~ViewerInteractionTest() override {
    ViewerApp::Destroy(app_);
    platform::UseVirtualClock(false);
  }
  void Open(const std::string& name, const std::string& bytes) {
    if (app_ == nullptr) {
      app_ = ViewerApp::Create(&host_, 0);
      ASSERT_NE(app_, nullptr);
      host_.scheduler = &app_->scheduler;
      app_->viewer.pageViewWindow = &window_;
    }
    const std::string path = viewertest::WriteTempFile(name, bytes);
    ASSERT_EQ(app_->OnCopyData(viewertest::DevicePathOf(path).c_str()), 1);
    ASSERT_NE(app_->viewer.ownedPageView, nullptr);
  }
  PageView& View() { return *app_->viewer.ownedPageView; }
  void Tap(int32_t x, int32_t y) {
    app_->OnMouseDown(x, y, &window_);
    app_->OnMouseUp(x, y, &window_);
  }
  // Find Next, then the scheduler as the work timer would run it until the
  // search stops at a match or ends.
  void FindNext() {
    app_->OnCommand(kCmdFindNext);
    app_->scheduler.RunUntil([&] { return app_->viewer.search.Settled(); });
  }
  // The texts of the message boxes shown since the log's line `from`.
  std::vector<std::string> Messages(size_t from = 0) const {
    std::vector<std::string> texts;
    for (size_t i = from; i < host_.log.size(); ++i) {
      const size_t at = host_.log[i].find(".SetText ");
      // The log quotes the text.
      if (at != std::string::npos && host_.log[i][0] == 'M') {
        std::string text = host_.log[i].substr(at + 9);
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
        texts.push_back(text);
      }
    }
    return texts;
  }

  viewersim::RecordingHost host_;
  InteractionWindow window_;
  ViewerApp* app_ = nullptr;
};

TEST_F(ViewerInteractionTest, TappedLinksLeadToTheirDestinations) {
  struct Case {
    const char* what;
    std::string annots;
    std::string catalog;
    int32_t page;
    int32_t zoomMode;
  };
  // Page 3 is object 14; the whole of page 1 is the link.
  const Case cases[] = {
      {"an explicit destination", "<< /Subtype /Link /Rect [0 0 612 792] /Dest [14 0 R /FitH 700] >>", "", 2,
       kZoomFitWidth},
      {"the later of overlapping links",
       "<< /Subtype /Link /Rect [0 0 612 792] /Dest [16 0 R /Fit] >> "
       "<< /Subtype /Link /Rect [0 0 612 792] /Dest [14 0 R /FitH 700] >>",
       "", 2, kZoomFitWidth},
      {"a named destination", "<< /Subtype /Link /Rect [0 0 612 792] /Dest /third >>",
       "/Dests << /third [14 0 R /Fit] >>", 2, kZoomFitPage},
      {"a GoTo action", "<< /Subtype /Link /Rect [0 0 612 792] /A << /S /GoTo /D [16 0 R /Fit] >> >>", "", 3,
       kZoomFitPage},
      {"a GoTo to a dictionary goes nowhere",
       "<< /Subtype /Link /Rect [0 0 612 792] /A << /S /GoTo /D << /S /GoTo /D [16 0 R /Fit] >> >> >>", "", 0,
       kZoomFitWidth},
      {"a URI link stays", "<< /Subtype /Link /Rect [0 0 612 792] /A << /S /URI /URI (http://x.test/) >> >>", "", 0,
       kZoomFitWidth},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open("links-" + std::to_string(n++) + ".pdf",
         InteractionDocument({{"", "/Annots [" + c.annots + "]"}, {"", ""}, {"", ""}, {"", ""}}, c.catalog));
    const size_t from = host_.log.size();
    Tap(50, 50);
    const bool uri = std::find(host_.log.begin() + static_cast<std::ptrdiff_t>(from), host_.log.end(), "OnOpenUri") !=
                     host_.log.end();
    EXPECT_EQ(uri, c.annots.find("/URI") != std::string::npos);
    EXPECT_EQ(View().CurrentPage(), c.page);
    EXPECT_EQ(View().Zoom().mode, c.zoomMode);
  }
}

TEST_F(ViewerInteractionTest, TheOpeningDestinationIsFollowedOnceInEveryForm) {
  struct Case {
    const char* what;
    std::string catalog;
    int32_t page;
    int32_t zoomMode;
  };
  // Page 2 is object 14, page 3 object 16.
  const std::string named = "/Dests << /third [14 0 R /Fit] >> /Names << /Dests << /Names [(fourth) [16 0 R /FitH 500]] >> >> ";
  const Case cases[] = {
      {"none", "", 0, kZoomFitWidth},
      {"an explicit destination", "/OpenAction [14 0 R /Fit]", 2, kZoomFitPage},
      {"a name in Dests", named + "/OpenAction /third", 2, kZoomFitPage},
      {"a string in the name tree", named + "/OpenAction (fourth)", 3, kZoomFitWidth},
      {"a go-to action", "/OpenAction << /S /GoTo /D [16 0 R /Fit] >>", 3, kZoomFitPage},
      {"a go-to action to a name", named + "/OpenAction << /S /GoTo /D /third >>", 2, kZoomFitPage},
      {"another action stays", "/OpenAction << /S /URI /URI (http://x.test/) >>", 0, kZoomFitWidth},
      {"a go-to to a dictionary stays", "/OpenAction << /S /GoTo /D << /D [16 0 R /Fit] >> >>", 0, kZoomFitWidth},
      {"a missing name stays", named + "/OpenAction /nowhere", 0, kZoomFitWidth},
      {"a page outside the document stays", "/OpenAction [9 /Fit]", 0, kZoomFitWidth},
      {"a number stays", "/OpenAction 7", 0, kZoomFitWidth},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open("opening-" + std::to_string(n++) + ".pdf",
         InteractionDocument({{"", ""}, {"", ""}, {"", ""}, {"", ""}}, c.catalog));
    EXPECT_EQ(View().CurrentPage(), c.page);
    EXPECT_EQ(View().Zoom().mode, c.zoomMode);
    // Used up by the page view that applied it.
    ASSERT_NE(app_->viewer.currentDocument, nullptr);
    EXPECT_EQ(app_->viewer.currentDocument->OpeningDestination().kind(), PendingDestination::kNothing);
  }
}

TEST_F(ViewerInteractionTest, APixelDragRightSetsTheLeadMargins) {
  Open("drag.pdf", InteractionDocument({{"", ""}, {"", ""}}));
  app_->OnMouseDown(100, 100, &window_);
  app_->OnMouseMove(101, 100, &window_);
  EXPECT_EQ(View().LeadMargins()[0], 144);
  EXPECT_EQ(View().LeadMargins()[1], 0);
  app_->OnMouseUp(101, 100, &window_);
}

TEST_F(ViewerInteractionTest, FindNextWalksTheMatchesThenCountsThem) {
  Open("hyph.pdf",
       InteractionDocument({{"BT /F1 12 Tf 72 700 Td (An exam-) Tj 0 -14 Td (ple of a word) Tj ET", ""},
                            {"BT /F1 12 Tf 72 700 Td (Another example) Tj ET", ""}}));
  app_->viewer.search.SetSearch(u"example", {});
  std::vector<int32_t> pages;
  for (int i = 0; i < 3; ++i) {
    FindNext();
    const DocumentInteraction* interaction = app_->viewer.documentInteraction;
    ASSERT_NE(interaction, nullptr);
    if (i < 2) {
      ASSERT_TRUE(interaction->selection.Has());
      pages.push_back(interaction->selection.Range().start.page);
    }
  }
  EXPECT_EQ(pages, (std::vector<int32_t>{0, 1}));
  const std::vector<std::string> messages = Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "Found 2 match(es)");
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::string& m) { return m.rfind("Reached", 0) == 0; }),
            0);
}

TEST_F(ViewerInteractionTest, WholeWordsAndCaseInARealFont) {
  Open("words.pdf", InteractionDocument({{"BT /F1 12 Tf 72 700 Td (the other one, The end) Tj ET", ""}}));
  struct Case {
    const char* word;
    SearchOptions options;
    const char* count;
  };
  const Case cases[] = {
      {"the", {false, true, false}, "Found 2 match(es)"},
      {"The", {true, false, false}, "Found 1 match(es)"},
      {"the", {true, false, false}, "Found 2 match(es)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.word) + (c.options.matchCase ? " case" : "") + (c.options.wholeWord ? " word" : ""));
    const size_t from = host_.log.size();
    // From the document's start: no match shown, so no wrap question.
    app_->viewer.documentInteraction->selection.Clear();
    app_->viewer.search.SetSearch(std::u16string(c.word, c.word + std::char_traits<char>::length(c.word)).c_str(),
                                  c.options);
    for (int i = 0; i < 4 && Messages(from).empty(); ++i) FindNext();
    ASSERT_FALSE(Messages(from).empty());
    EXPECT_EQ(Messages(from).back(), c.count);
  }
}

}  // namespace
}  // namespace viewer
