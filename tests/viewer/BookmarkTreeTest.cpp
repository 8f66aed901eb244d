// Bookmarks of an opened document in the host's tree, followed from the
// tree, replaced by the next document, and released however deep.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "runtime/CoThread.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/BookmarkTree.h"
#include "viewer/MenuTree.h"
#include "viewer/PageView.h"
#include "viewer/ViewerApp.h"

namespace viewer {
namespace {

// Five pages (objects 3..7) and `outline` objects from 10 on; the catalog
// holds `catalogExtra` ("/Outlines 10 0 R", named destinations).
std::string WithOutline(const std::string& catalogExtra,
                        const std::vector<std::pair<uint32_t, std::string>>& outline) {
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R " + catalogExtra + " >>");
  writer.Object(2,
                "<< /Type /Pages /Count 5 /MediaBox [0 0 612 792] "
                "/Kids [3 0 R 4 0 R 5 0 R 6 0 R 7 0 R] >>");
  for (uint32_t i = 3; i <= 7; ++i) writer.Object(i, "<< /Type /Page /Parent 2 0 R >>");
  for (const auto& [number, body] : outline) writer.Object(number, body);
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

// Three levels: an open chapter with a closed section holding a
// subsection, a section reached by a named go-to action, a chapter without
// a destination and one with.
std::string ThreeLevels() {
  return WithOutline(
      "/Outlines 10 0 R /Dests << /sec12 [6 0 R /Fit] >>",
      {
          {10, "<< /Type /Outlines /First 11 0 R /Last 13 0 R /Count 4 >>"},
          {11, "<< /Title (Chapter 1) /Parent 10 0 R /Next 12 0 R /First 14 0 R /Last 15 0 R "
               "/Count 2 /Dest [3 0 R /Fit] >>"},
          {12, "<< /Title (Chapter 2) /Parent 10 0 R /Prev 11 0 R /Next 13 0 R >>"},
          {13, "<< /Title (Chapter 3) /Parent 10 0 R /Prev 12 0 R /Dest [7 0 R /Fit] >>"},
          {14, "<< /Title (Section 1.1) /Parent 11 0 R /Next 15 0 R /First 16 0 R /Last 16 0 R "
               "/Count -1 /Dest [4 0 R /XYZ 0 792 0] >>"},
          {15, "<< /Title (Section 1.2) /Parent 11 0 R /Prev 14 0 R "
               "/A << /S /GoTo /D /sec12 >> >>"},
          {16, "<< /Title (Sub 1.1.1) /Parent 14 0 R /Dest [5 0 R /FitH 700] >>"},
      });
}

std::u16string WriteDocument(const std::string& name, const std::string& bytes) {
  const std::string path = testing::TempDir() + "/bookmarks-" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return platform::DevicePathFromHost(std::filesystem::absolute(path).string());
}

class BookmarkTreeTest : public ::testing::Test {
 protected:
  BookmarkTreeTest() { platform::UseVirtualClock(true); }
  ~BookmarkTreeTest() override {
    ViewerApp::Destroy(app);
    platform::UseVirtualClock(false);
  }
  // A started viewer (its controls made, no document yet).
  void Make(uint32_t options) {
    app = ViewerApp::Create(&host, options);
    ASSERT_NE(app, nullptr);
    host.scheduler = &app->scheduler;
    app->OpenInitialDocument(nullptr);
  }
  // Opens the document and lets its outline job finish.
  int32_t Open(const std::u16string& path) {
    const int32_t opened = app->OnCopyData(path.c_str());
    app->scheduler.RunUntil([&] {
      runtime::CoThread* job = app->viewer.outlineJob.Get();
      return job == nullptr || job->IsIdle();
    });
    return opened;
  }
  viewersim::RecordedTree& Tree() {
    return *dynamic_cast<viewersim::RecordedTree*>(app->viewer.bookmarkTree);
  }
  int32_t CurrentPage() { return app->viewer.pageView->State().currentPage; }
  // Selects the row with this text.
  void Select(const std::u16string& text) {
    Tree().selected = -1;
    for (size_t i = 0; i < Tree().rows.size(); ++i) {
      if (Tree().rows[i].item->TreeText() == text) Tree().selected = static_cast<int32_t>(i);
    }
    ASSERT_GE(Tree().selected, 0);
  }

  viewersim::RecordingHost host;
  ViewerApp* app = nullptr;
};

TEST_F(BookmarkTreeTest, AThreeLevelOutlineFillsTheTreeAndLeadsToItsPages) {
  Make(0);
  ASSERT_EQ(Open(WriteDocument("three-levels.pdf", ThreeLevels())), 1);
  EXPECT_TRUE(app->viewer.hasOutline);
  // Open branches expanded, closed ones collapsed, as the file says.
  EXPECT_EQ(Tree().Dump(),
            "+ \"Chapter 1\"\n"
            "  - \"Section 1.1\"\n"
            "    \"Sub 1.1.1\"\n"
            "  \"Section 1.2\"\n"
            "\"Chapter 2\"\n"
            "\"Chapter 3\"\n");

  // Select (command 131) goes to the page; on a Smartphone the tree then
  // gives way to the page view.
  const struct {
    const char16_t* row;
    int32_t page;  // -1: no destination, nothing happens
  } rows[] = {
      {u"Chapter 3", 4},   {u"Chapter 1", 0}, {u"Section 1.1", 1},
      {u"Sub 1.1.1", 2},   {u"Section 1.2", 3}, {u"Chapter 2", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(viewersim::LogText(row.row));
    app->viewer.GoToBookmark(nullptr, false);  // no entry: nothing
    app->OnCommand(kCmdBookmarks);
    ASSERT_TRUE(app->viewer.bookmarksShown);
    const int32_t before = CurrentPage();
    Select(row.row);
    app->OnCommand(kCmdSelect);
    if (row.page < 0) {
      EXPECT_EQ(CurrentPage(), before);
      EXPECT_TRUE(app->viewer.bookmarksShown);
      app->OnCommand(kCmdBookmarks);
    } else {
      EXPECT_EQ(CurrentPage(), row.page);
      EXPECT_FALSE(app->viewer.bookmarksShown);
    }
  }
  // Without a selection Select does nothing.
  Tree().selected = -1;
  app->OnCommand(kCmdSelect);
  EXPECT_FALSE(app->viewer.bookmarksShown);
}

TEST_F(BookmarkTreeTest, AnItemsActionComesBeforeItsDestAndRunsItsChain) {
  Make(0);
  ASSERT_EQ(Open(WriteDocument(
                "actions.pdf",
                WithOutline("/Outlines 10 0 R",
                            {
                                {10, "<< /Type /Outlines /First 11 0 R /Last 13 0 R /Count 3 >>"},
                                {11, "<< /Title (Both) /Parent 10 0 R /Next 12 0 R "
                                     "/A << /S /GoTo /D [5 0 R /Fit] >> /Dest [3 0 R /Fit] >>"},
                                {12, "<< /Title (Chain) /Parent 10 0 R /Prev 11 0 R /Next 13 0 R "
                                     "/A << /S /GoTo /D [6 0 R /Fit] /Next << /S /GoTo /D [null /FitH 500] >> >> >>"},
                                {13, "<< /Title (Link) /Parent 10 0 R /Prev 12 0 R "
                                     "/A << /S /URI /URI (http://x.test/) >> >>"},
                            }))),
            1);
  const struct {
    const char16_t* row;
    int32_t page;
    int32_t fitMode;
  } rows[] = {
      {u"Both", 2, kZoomFitPage},
      // The chained action's null page is the view's page, where the first
      // action led.
      {u"Chain", 3, kZoomFitWidth},
      // Leads somewhere the view does not follow: the tree still gives way.
      {u"Link", 3, kZoomFitWidth},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(viewersim::LogText(row.row));
    app->OnCommand(kCmdBookmarks);
    ASSERT_TRUE(app->viewer.bookmarksShown);
    Select(row.row);
    app->OnCommand(kCmdSelect);
    EXPECT_EQ(CurrentPage(), row.page);
    EXPECT_EQ(app->viewer.pageView->State().fitMode, row.fitMode);
    EXPECT_FALSE(app->viewer.bookmarksShown);
  }
}

TEST_F(BookmarkTreeTest, PocketPcFollowsASelectionChangeAndKeepsTheTree) {
  Make(kOptionPocketPc);
  ASSERT_EQ(Open(WriteDocument("pocket.pdf", ThreeLevels())), 1);
  app->OnCommand(kCmdBookmarks);
  ASSERT_TRUE(app->viewer.bookmarksShown);
  Select(u"Sub 1.1.1");
  app->OnBookmarkSelected();
  EXPECT_EQ(CurrentPage(), 2);
  EXPECT_TRUE(app->viewer.bookmarksShown);
}

TEST_F(BookmarkTreeTest, TheNextDocumentReplacesTheTree) {
  Make(0);
  ASSERT_EQ(Open(WriteDocument("first.pdf", ThreeLevels())), 1);
  ASSERT_EQ(Tree().rows.size(), 6u);
  const size_t clearedBefore = [&] {
    size_t n = 0;
    for (const std::string& line : host.log) n += line == "T2.DeleteAll";
    return n;
  }();

  // "Outlines" without "Last": no bookmarks, the tree is emptied.
  const std::string noLast = WithOutline(
      "/Outlines 10 0 R",
      {{10, "<< /Type /Outlines /First 11 0 R /Count 1 >>"},
       {11, "<< /Title (Lonely) /Parent 10 0 R /Dest [3 0 R /Fit] >>"}});
  ASSERT_EQ(Open(WriteDocument("no-last.pdf", noLast)), 1);
  EXPECT_FALSE(app->viewer.hasOutline);
  EXPECT_TRUE(Tree().rows.empty());
  EXPECT_EQ(app->viewer.bookmarks, nullptr);
  size_t cleared = 0;
  for (const std::string& line : host.log) cleared += line == "T2.DeleteAll";
  EXPECT_EQ(cleared, clearedBefore + 1);
  const std::string menu = viewersim::DumpMenu(app->viewer.GetMenuForPopup(kCmdMenu));
  EXPECT_NE(menu.find("130 \"Bookmarks\" grayed"), std::string::npos) << menu;

  // A failed open leaves the shown document's (empty) tree alone; the
  // next good one brings its own.
  EXPECT_EQ(Open(WriteDocument("broken.pdf", "%PDF-1.4\nnothing here")), 0);
  EXPECT_TRUE(Tree().rows.empty());
  ASSERT_EQ(Open(WriteDocument("again.pdf", ThreeLevels())), 1);
  EXPECT_EQ(Tree().rows.size(), 6u);
}

TEST(BookmarkEntriesTest, ReleasingAVeryDeepOrWideTreeNeedsNoRecursion) {
  runtime::LibraryContext context;
  for (const bool deep : {true, false}) {
    SCOPED_TRACE(deep ? "deep" : "wide");
    const uint64_t before = context.memory.bytesInUse;
    BookmarkEntry* first = nullptr;
    BookmarkEntry* last = nullptr;
    for (int i = 0; i < 200000; ++i) {
      auto* entry = runtime::NewObject<BookmarkEntry>(&context, nullptr);
      if (first == nullptr) {
        first = entry;
      } else if (deep) {
        last->firstChild = entry;
      } else {
        last->next = entry;
      }
      last = entry;
    }
    BookmarkTree::ReleaseOutlineEntries(&context, first);
    EXPECT_EQ(context.memory.bytesInUse, before);
  }
}

}  // namespace
}  // namespace viewer
