// Find Next over a generated document: matches in order across pages and
// a hyphenated line end, whole words and case, the wrap question only
// when the search did not start at the document's start, backwards
// searches that skip the match shown, and the count at the end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/Scheduler.h"
#include "tests/viewer/DocumentViewFixture.h"
#include "viewer/DocumentSearchSource.h"
#include "viewer/SearchJob.h"
#include "viewer/SearchThread.h"
#include "viewer/Viewer.h"

namespace viewer {
namespace {

using viewertest::DocumentView;
using viewertest::GenerateDocument;
using viewertest::PageSpec;

// Keeps the message boxes' texts; questions get `answer`.
class SearchHost : public viewertest::LinkHost {
 public:
  struct Box : runtime::MessageBoxDialog {
    explicit Box(SearchHost* owner) : host(owner) {}
    void SetText(const char16_t* value) override { text = value; }
    void SetStyle(uint32_t value) override { style = value; }
    void SetTitle(const char16_t*) override {}
    int32_t RunModal() override {
      host->shown.push_back(text);
      return style == kMessageQuestion ? host->answer : 201;
    }
    SearchHost* host;
    std::u16string text;
    uint32_t style = 0;
  };
  runtime::MessageBoxDialog* CreateMessageBox() override {
    boxes.push_back(std::make_unique<Box>(this));
    return boxes.back().get();
  }
  void DestroyMessageBox(runtime::MessageBoxDialog*) override {}

  std::vector<std::unique_ptr<Box>> boxes;
  std::vector<std::u16string> shown;
  int32_t answer = kAnswerYes;
};

std::string Line(const std::string& text, int y = 700) {
  return "BT /F1 10 Tf 72 " + std::to_string(y) + " Td (" + text + ") Tj ET ";
}

// The hyphenation case: "exam-" ends page 1's first line, "ple" starts its
// second; page 2 says "example".
std::string HyphenDocument() {
  return GenerateDocument({PageSpec{"BT /F1 10 Tf 72 700 Td (an exam-) Tj 0 -14 Td (ple here) Tj ET", ""},
                           PageSpec{Line("one example"), ""}});
}

class ViewerSearchTest : public ::testing::Test {
 protected:
  void Open(const std::string& bytes) {
    doc_ = std::make_unique<DocumentView>(&context_, bytes);
    source_ = std::make_unique<DocumentSearchSource>(doc_->View(), doc_->Document(), doc_->selection, &doc_->fonts,
                                                     &doc_->fonts);
    viewer_.search.source = source_.get();
  }
  // One Find Next: the match then selected ("page.operation.glyph"), or
  // "-" when the search ended.
  std::string Next() {
    const size_t shownBefore = host_.shown.size();
    viewer_.search.FindNext();
    scheduler_.RunUntil([&] { return viewer_.search.Settled(); });
    if (host_.shown.size() > shownBefore && host_.shown.back().rfind(u"Found", 0) == 0) return "-";
    if (!doc_->selection.Has()) return "none";
    const runtime::TextRange& r = doc_->selection.Range();
    return std::to_string(r.start.page) + "." + std::to_string(r.start.operation) + "." +
           std::to_string(r.start.glyph);
  }

  runtime::LibraryContext context_;
  runtime::Scheduler scheduler_{&context_};
  SearchHost host_;
  Viewer viewer_{&context_, &host_};
  std::unique_ptr<DocumentView> doc_;
  std::unique_ptr<DocumentSearchSource> source_;
};

TEST_F(ViewerSearchTest, MatchesInOrderThenTheCountWithoutAWrapQuestion) {
  Open(HyphenDocument());
  viewer_.search.SetSearch(u"example", {});
  // Page 1: "exam-" (operation 4, glyph 3) joined with "ple"; page 2.
  EXPECT_EQ(Next(), "0.4.3");
  EXPECT_EQ(Next(), "1.4.4");
  EXPECT_EQ(Next(), "-");
  EXPECT_EQ(host_.shown, std::vector<std::u16string>{u"Found 2 match(es)"});
  EXPECT_FALSE(viewer_.busySoftKeys);
}

TEST_F(ViewerSearchTest, WholeWordsAndCase) {
  struct Case {
    const char* what;
    std::string text;
    std::u16string word;
    SearchOptions options;
    std::vector<std::string> found;
  };
  const Case cases[] = {
      {"whole word at the document's first word", "the other theme the", u"the", {false, true, false},
       {"0.4.0", "0.4.16"}},
      {"without whole word every occurrence", "the other theme", u"the", {}, {"0.4.0", "0.4.5", "0.4.10"}},
      {"match case skips other cases", "the The THE", u"The", {true, false, false}, {"0.4.4"}},
      {"no match at all", "nothing here", u"missing", {}, {}},
      {"backwards, the page's matches last first", "word x word x word", u"word", {false, false, true},
       {"0.4.14", "0.4.7", "0.4.0"}},
      {"backwards, overlapping matches", "aaaa", u"aa", {false, false, true}, {"0.4.2", "0.4.1", "0.4.0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.shown.clear();
    Open(GenerateDocument({PageSpec{Line(c.text), ""}}));
    viewer_.search.SetSearch(u"x", {});
    viewer_.search.SetSearch(c.word.c_str(), c.options);
    std::vector<std::string> found;
    for (std::string at = Next(); at != "-" && found.size() < 10; at = Next()) found.push_back(at);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(host_.shown.back(), u"Found " + std::u16string(1, static_cast<char16_t>(u'0' + c.found.size())) +
                                      u" match(es)");
  }
}

TEST_F(ViewerSearchTest, WrappingAndBackwards) {
  // Five pages; "word" on pages 0 and 3.
  std::vector<PageSpec> pages(5);
  pages[0].content = Line("word one");
  pages[3].content = Line("a word");
  Open(GenerateDocument(pages));
  doc_->View().GoToPage(2, false);
  viewer_.search.SetSearch(u"word", {});
  // From page 2: page 3's match, then the question, then page 0's.
  EXPECT_EQ(Next(), "3.4.2");
  EXPECT_EQ(Next(), "0.4.0");
  EXPECT_EQ(host_.shown.size(), 1u);
  EXPECT_EQ(Next(), "-");
  EXPECT_EQ(host_.shown.back(), u"Found 2 match(es)");

  // Saying no to the question ends the search with what was found.
  host_.shown.clear();
  host_.answer = 207;
  doc_->selection.Clear();
  doc_->View().GoToPage(1, false);
  viewer_.search.SetSearch(u"word", {false, false, true});
  EXPECT_EQ(Next(), "0.4.0");
  EXPECT_EQ(Next(), "-");
  EXPECT_EQ(host_.shown.size(), 2u);  // the question and the count
  EXPECT_EQ(host_.shown.back(), u"Found 1 match(es)");

  // Backwards from a match shown: that match is not found again.
  host_.shown.clear();
  host_.answer = kAnswerYes;
  doc_->View().GoToPage(3, false);
  viewer_.search.SetSearch(u"word", {});
  EXPECT_EQ(Next(), "3.4.2");
  viewer_.search.SetSearch(u"word", {false, false, true});
  EXPECT_EQ(Next(), "0.4.0");
  EXPECT_EQ(Next(), "3.4.2");  // after the question, from the end
  EXPECT_EQ(Next(), "-");

  // An empty string starts nothing.
  viewer_.search.SetSearch(u"", {});
  host_.shown.clear();
  viewer_.search.FindNext();
  EXPECT_TRUE(viewer_.search.Settled());
  EXPECT_TRUE(host_.shown.empty());
}

TEST_F(ViewerSearchTest, ASearchWaitsAtItsMatchOnItsThreadUntilFindNextOrTheDocumentGoes) {
  std::vector<PageSpec> pages(2);
  pages[0].content = Line("needle");
  pages[1].content = Line("needle");
  Open(GenerateDocument(pages));
  viewer_.search.SetSearch(u"needle", {});
  EXPECT_EQ(Next(), "0.4.0");
  // The thread is the viewer's long operation and waits at the match with
  // the main keys shown.
  SearchThread* thread = viewer_.search.Thread();
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(viewer_.longOperation, thread);
  EXPECT_TRUE(thread->AtMatch());
  EXPECT_FALSE(viewer_.busySoftKeys);
  EXPECT_EQ(viewer_.busyCount, 0);
  // Find Next resumes that thread rather than starting another.
  EXPECT_EQ(Next(), "1.4.0");
  EXPECT_EQ(viewer_.search.Thread(), thread);
  // The document goes while the search waits: its thread is killed
  // without a message, and the next Find Next starts a new search.
  viewer_.search.DropJob();
  EXPECT_EQ(viewer_.search.Thread(), nullptr);
  EXPECT_EQ(viewer_.longOperation, nullptr);
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_EQ(viewer_.busyCount, 0);
  doc_->selection.Clear();
  EXPECT_EQ(Next(), "0.4.0");
}

TEST_F(ViewerSearchTest, AMatchInTheLastPageBeforeTheWrapComesFirst) {
  std::vector<PageSpec> pages(3);
  pages[0].content = Line("needle");
  pages[2].content = Line("needle");
  Open(GenerateDocument(pages));
  doc_->View().GoToPage(1, false);
  viewer_.search.SetSearch(u"needle", {});
  EXPECT_EQ(Next(), "2.4.0");
  EXPECT_TRUE(host_.shown.empty());
  EXPECT_EQ(Next(), "0.4.0");
  EXPECT_EQ(host_.shown.size(), 1u);
}

}  // namespace
}  // namespace viewer
