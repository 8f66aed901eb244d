#include "viewer/ViewerApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "resources/UIStringTable.h"
#include "runtime/Event.h"
#include "tests/runtime/ThreadFixture.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/BusyHold.h"

namespace viewer {
namespace {

using SimHost = viewersim::RecordingHost;

// A page view that records the requests it is given.
class RecordingPageView : public PageViewCommands {
 public:
  PageViewState State() const override { return state; }
  void ZoomIn() override { Note("ZoomIn"); }
  void ZoomOut() override { Note("ZoomOut"); }
  void SetZoom(int32_t mode, runtime::Fixed factor) override {
    Note("SetZoom " + std::to_string(mode) + " " + std::to_string(factor));
  }
  void SetPenTool(uint32_t tool) override { Note("SetPenTool " + std::to_string(tool)); }
  void RotateLeft() override { Note("RotateLeft"); }
  void RotateRight() override { Note("RotateRight"); }
  void SetLayoutMode(int32_t mode) override { Note("SetLayoutMode " + std::to_string(mode)); }
  void NextPage() override { Note("NextPage"); }
  void PreviousPage() override { Note("PreviousPage"); }
  void FirstPage() override { Note("FirstPage"); }
  void LastPage() override { Note("LastPage"); }
  void Scroll(ScrollDirection direction, int64_t pixels) override {
    static const char* const kNames[] = {"left", "right", "up", "down"};
    Note(std::string("Scroll ") + kNames[static_cast<int>(direction)] + " " +
         std::to_string(pixels));
  }
  bool HasPendingWork() const override { return pending; }
  void HoldPaint() override { Stamp("HoldPaint"); }
  void ReleasePaint() override { Stamp("ReleasePaint"); }
  void MarkQueuedRequests() override { Stamp("MarkQueuedRequests"); }
  void FlushInvalidRect() override { Stamp("FlushInvalidRect"); }

  // The requests, without the pump's calls.
  std::string Requests() const {
    std::string all;
    for (const std::string& call : calls) all += (all.empty() ? "" : "; ") + call;
    return all;
  }

  PageViewState state;
  bool pending = false;
  std::vector<std::string> calls;
  // The pump's calls with the virtual time in milliseconds.
  std::vector<std::pair<std::string, int64_t>> pump;

 private:
  void Note(std::string call) {
    calls.push_back(std::move(call));
    // A request is posted work until the page view's thread takes it.
    pending = postMakesWork;
  }
  void Stamp(const char* what) {
    int64_t now = 0;
    platform::QueryPerformanceCounter(&now);
    pump.emplace_back(what, now / 1000);
  }

 public:
  bool postMakesWork = false;
};

// The lines of the log that make something, in order.
std::vector<std::string> Creations(const std::vector<std::string>& log) {
  std::vector<std::string> made;
  for (const std::string& line : log) {
    if (line.rfind("Create", 0) == 0 || line.rfind("ShowSplash", 0) == 0 ||
        line.rfind("SetActiveViewText", 0) == 0 || line.rfind("SetPendingText", 0) == 0) {
      made.push_back(line);
    }
  }
  return made;
}

bool Contains(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

class ViewerAppTest : public runtime::ThreadFixture {
 protected:
  // An application over the fixture's virtual clock; the fixture's own
  // context and scheduler stay unused.
  std::unique_ptr<ViewerApp> MakeApp(uint32_t options) {
    auto app = std::make_unique<ViewerApp>(&host, options);
    host.scheduler = &app->scheduler;
    return app;
  }
  SimHost host;
};

TEST_F(ViewerAppTest, StartMakesTheControlsSplashTimerAndMenuBarInOrder) {
  struct Case {
    uint32_t options;
    std::vector<std::string> made;
  };
  const std::string title = "\"Vantrel Folvane Zo\"";
  const std::vector<std::string> head = {"SetPendingText " + title,
                                         "CreateViewWindow parent=none -> W1",
                                         "CreateTreeView parent=W1 -> T2"};
  const std::vector<std::string> tail = {"SetActiveViewText", "ShowSplash 1500 " + title};
  auto join = [&](std::vector<std::string> middle, const std::string& timer) {
    std::vector<std::string> all = head;
    all.insert(all.end(), middle.begin(), middle.end());
    all.insert(all.end(), tail.begin(), tail.end());
    all.push_back("CreateTimer 1500 -> " + timer);
    all.push_back("CreateMenuBar 103,127");
    return all;
  };
  const Case cases[] = {
      // Pocket PC with the toolbar: the button bar, then the page view,
      // then the toolbar's fit-width, page number, find, zoom-out, zoom-in.
      {7, join({"CreateViewWindow parent=W1 -> W3", "CreateButton parent=W3 -> B4",
                "CreateViewWindow parent=W1 scrollBars -> W5", "CreateViewWindow parent=W1 -> W6",
                "CreateButton parent=W6 -> B7", "CreateEdit parent=W6 -> E8",
                "CreateButton parent=W6 -> B9", "CreateButton parent=W6 -> B10",
                "CreateButton parent=W6 -> B11"},
               "timer1")},
      {0, join({"CreateViewWindow parent=W1 scrollBars -> W3"}, "timer1")},
      {4, join({"CreateViewWindow parent=W1 -> W3", "CreateButton parent=W3 -> B4",
                "CreateViewWindow parent=W1 scrollBars -> W5"},
               "timer1")},
      {2, join({"CreateViewWindow parent=W1 scrollBars -> W3", "CreateViewWindow parent=W1 -> W4",
                "CreateButton parent=W4 -> B5", "CreateEdit parent=W4 -> E6",
                "CreateButton parent=W4 -> B7", "CreateButton parent=W4 -> B8",
                "CreateButton parent=W4 -> B9"},
               "timer1")},
  };
  for (const Case& c : cases) {
    {
      SimHost local;
      ViewerApp app(&local, c.options);
      local.scheduler = &app.scheduler;
      app.OpenInitialDocument(nullptr);
      EXPECT_EQ(Creations(local.log), c.made) << "options " << c.options;
      // The page view has the focus; the edit box starts empty.
      EXPECT_TRUE(Contains(local.log, app.viewer.pageViewWindow != nullptr
                                          ? SimHost::NameOf(app.viewer.pageViewWindow) +
                                                ".Focus"
                                          : "?"));
      EXPECT_EQ(app.viewer.initialPath, nullptr);
      // The container is moved onto the work area.
      EXPECT_TRUE(Contains(local.log, "W1.SetRect 0 0 240 320"));
      const size_t before = local.log.size();
      app.viewer.DestroyHostControls();
      // Every control made is destroyed, through the operation of its kind.
      size_t controls = 0;
      for (const std::string& line : c.made) {
        controls += line.find(" -> ") != std::string::npos && line.rfind("CreateTimer", 0) != 0;
      }
      EXPECT_EQ(local.log.size() - before, controls) << "options " << c.options;
      EXPECT_EQ(local.log.back(), "DestroyWindow W1");
      EXPECT_EQ(app.viewer.mainContainer, nullptr);
    }
  }
}

TEST_F(ViewerAppTest, AControlTheHostCannotMakeEndsTheStartWithCodeOneAndLeaksNothing) {
  for (uint32_t failing = 1; failing <= 11; ++failing) {
    SimHost local;
    local.failControl = failing;
    {
      ViewerApp app(&local, 7);
      const runtime::ErrorRecord error = Caught([&] { app.OpenInitialDocument(u"/a.pdf"); });
      EXPECT_TRUE(error.IsRuntime(runtime::kOverflow)) << failing;
      EXPECT_FALSE(Contains(local.log, "ShowSplash 1500 \"Vantrel Folvane Zo\""));
    }
    // Everything made before the failure went back to the host.
    for (const auto& control : local.Controls()) {
      EXPECT_FALSE(SimHost::InfoOf(control.get())->alive) << failing;
    }
  }
}

TEST_F(ViewerAppTest, TheStartTimerGoesAndTheGivenPathOrTheDialogsFollow) {
  auto app = MakeApp(1);
  app->OpenInitialDocument(u"/docs/a.pdf");
  ASSERT_EQ(host.LiveTimers().size(), 1u);
  EXPECT_EQ(host.LiveTimers()[0]->milliseconds, kSplashMilliseconds);
  host.Fire(host.LiveTimers()[0]);
  EXPECT_TRUE(host.LiveTimers().empty());
  EXPECT_EQ(app->viewer.startTimer, nullptr);
  EXPECT_EQ(std::u16string(app->viewer.keptPath), u"/docs/a.pdf");
  EXPECT_FALSE(Contains(host.log, "CreateListDialog 1 -> null"));

  // Without a path the recent files are offered, then the browser.
  auto second = MakeApp(1);
  host.log.clear();
  second->OpenInitialDocument(nullptr);
  host.Fire(host.LiveTimers().back());
  EXPECT_TRUE(Contains(host.log, "CreateListDialog 1 -> null"));
  EXPECT_TRUE(Contains(host.log, "CreateFileBrowser -> null"));
}

TEST_F(ViewerAppTest, MemoryLimitsFollowTheHostsBudget) {
  struct Case {
    uint32_t budget;
    uint64_t soft, hard, counted, purge;
  } cases[] = {
      {runtime::kHostMemoryBudget, 9437184, 10485760, 4294967295u, 2097152},
      {0, 9000000, 4294967295u, 500000, 2000000},
      {0xFFFFFFFFu, 9000000, 4294967295u, 500000, 2000000},
      // B x 9 / 10 in 64 bits: no wrap for a budget near 4 GiB.
      {0xFFFFFFF0u, 3865470552u, 0xFFFFFFF0u, 4294967295u, 858993456},
      {10, 9, 10, 4294967295u, 2},
  };
  for (const Case& c : cases) {
    host.memoryBudget = c.budget;
    ViewerApp app(&host, 0);
    EXPECT_EQ(app.context.memory.softLimit, c.soft) << c.budget;
    EXPECT_EQ(app.context.memory.hardLimit, c.hard) << c.budget;
    EXPECT_EQ(app.context.memory.largestCountedBlock, c.counted) << c.budget;
    EXPECT_EQ(app.context.memory.minimumPurge, c.purge) << c.budget;
    EXPECT_EQ(app.context.viewer, &app.viewer);
    EXPECT_TRUE(app.context.threadingEnabled);
  }
  ViewerApp::Destroy(nullptr);
  ViewerApp* made = ViewerApp::Create(&host, 0);
  ASSERT_NE(made, nullptr);
  ViewerApp::Destroy(made);
}

// The menu tree under each option word, as the host dumps it.
TEST_F(ViewerAppTest, MenuTreeFollowsTheOptionsAndThePageCount) {
  const std::string tools =
      "103 \"Tools\"\n"
      "  104 \"Zoom\"\n"
      "    105 \"In\" [1]\n"
      "    106 \"Out\" [3]\n";
  const std::string zoomRest =
      "    108 \"To %\"\n"
      "    109 \"Fit Screen\" [2]\n"
      "    110 \"Fit Width\"\n"
      "  111 \"Find\"\n"
      "    112 \"Text\" [7]\n"
      "    113 \"Next\" [*]\n"
      "  114 \"View\"\n"
      "    115 \"Rotate Right\" [9]\n"
      "    116 \"Rotate Left\" [8]\n";
  const std::string goTo =
      "  121 \"Go To\"\n"
      "    122 \"Page Number\"\n"
      "    123 \"Next Page\" [6]\n"
      "    124 \"Previous Page\" [4]\n"
      "    125 \"First Page\"\n"
      "    126 \"Last Page\"\n";
  const std::string fullScreen = "    -\n    120 \"Full Screen\"\n";
  auto menu = [](bool bookmarks) {
    return std::string("127 \"Menu\"\n  128 \"Open\"\n") +
           (bookmarks ? "  130 \"Bookmarks\"\n" : "") +
           "  133 \"Details\"\n  134 \"About Vantrel Folvane\"\n  102 \"Exit\"\n";
  };
  struct Case {
    uint32_t options;
    int32_t pages;
    std::string dump;
  } cases[] = {
      {7, 0,
       tools + "    107 \"Quick Zoom\"\n" + zoomRest +
           "    -\n    117 \"Single Page\"\n    118 \"Continuous\"\n" + fullScreen + goTo +
           menu(false)},
      {0, 5,
       tools + zoomRest + "    -\n    117 \"Single Page\"\n    118 \"Continuous\"\n" + fullScreen +
           goTo + menu(true)},
      // No single-page mode, reflow offered: a separator, Continuous, Reflow.
      {kOptionNoSinglePage | kOptionReflow, 5,
       tools + zoomRest + "    -\n    118 \"Continuous\"\n    119 \"Reflow\"\n" + fullScreen +
           goTo + menu(true)},
      // Neither: no layout items and no separator before them.
      {kOptionNoSinglePage, 5, tools + zoomRest + fullScreen + goTo + menu(true)},
      {kOptionReflow, 5,
       tools + zoomRest +
           "    -\n    117 \"Single Page\"\n    118 \"Continuous\"\n    119 \"Reflow\"\n" +
           fullScreen + goTo + menu(true)},
      // A one-page document has no Go To.
      {0, 1,
       tools + zoomRest + "    -\n    117 \"Single Page\"\n    118 \"Continuous\"\n" + fullScreen +
           menu(true)},
  };
  for (const Case& c : cases) {
    MenuTree tree;
    tree.Build(0, c.options, c.pages, u"Busy");
    EXPECT_EQ(viewersim::DumpMenu(tree.Root()), c.dump) << c.options << "/" << c.pages;
    EXPECT_EQ(viewersim::DumpMenu(tree.OkCancelPair()), "135 \"OK\"\n136 \"Cancel\"\n");
    EXPECT_EQ(viewersim::DumpMenu(tree.BookmarkPair()), "131 \"Select\"\n132 \"Cancel\"\n");
    EXPECT_EQ(viewersim::DumpMenu(tree.BusyPair()), "101 \"Busy\"\n136 \"Cancel\"\n");
    EXPECT_EQ(viewersim::DumpMenu(tree.OkOnly()), "135 \"OK\"\n");
  }
  // Every text comes from the row of the language asked for.
  MenuTree german;
  german.Build(1, 0, 0, u"");
  EXPECT_EQ(std::u16string(german.Root()->text), resources::GetUIString(1, 61));
  EXPECT_EQ(std::u16string(german.Find(kCmdExit)->text), resources::GetUIString(1, 6));
}

TEST_F(ViewerAppTest, PopupStatesFollowThePageView) {
  auto app = MakeApp(kOptionQuickZoom | kOptionReflow);
  app->OpenInitialDocument(nullptr);
  Viewer& viewer = app->viewer;
  auto flags = [&](uint32_t id) {
    runtime::MenuItemDesc* item = viewer.menu.Find(id);
    return std::string(item->grayed ? "g" : "-") + (item->checked ? "c" : "-");
  };
  // No page view: everything that needs one is grayed.
  EXPECT_EQ(viewer.GetMenuForPopup(0), viewer.menu.Root()->submenu);
  for (uint32_t id : {105u, 106u, 107u, 108u, 109u, 110u, 112u, 113u, 115u, 116u, 117u, 118u,
                      119u, 120u, 122u, 123u, 124u, 125u, 126u, 130u, 133u}) {
    EXPECT_EQ(flags(id), "g-") << id;
  }
  EXPECT_EQ(flags(128), "--");
  EXPECT_EQ(flags(134), "--");

  RecordingPageView view;
  view.state.hasCurrentPage = true;
  view.state.hasDocument = true;
  view.state.pageCount = 1;
  view.state.penTool = kPenZoomRectangle;
  view.state.fitMode = kZoomFitPage;
  view.state.layoutMode = kLayoutContinuous;
  viewer.pageView = &view;
  EXPECT_EQ(viewer.GetMenuForPopup(kCmdZoom)->id, kCmdZoomIn);
  EXPECT_EQ(flags(kCmdQuickZoom), "-c");
  EXPECT_EQ(flags(kCmdFitScreen), "-c");
  EXPECT_EQ(flags(kCmdFitWidth), "--");
  EXPECT_EQ(viewer.GetMenuForPopup(kCmdView)->id, kCmdRotateRight);
  // One page: Continuous is grayed and unchecked even in continuous mode.
  EXPECT_EQ(flags(kCmdContinuous), "g-");
  EXPECT_EQ(flags(kCmdSinglePage), "--");
  view.state.pageCount = 3;
  viewer.fullScreen = true;
  viewer.GetMenuForPopup(kCmdView);
  EXPECT_EQ(flags(kCmdContinuous), "-c");
  EXPECT_EQ(flags(kCmdFullScreen), "-c");
  viewer.GetMenuForPopup(kCmdFind);
  EXPECT_EQ(flags(kCmdFindText), "--");
  EXPECT_EQ(flags(kCmdFindNext), "g-");  // no search string
  viewer.searchString = u"word";
  viewer.GetMenuForPopup(kCmdFind);
  EXPECT_EQ(flags(kCmdFindNext), "--");
  viewer.GetMenuForPopup(kCmdMenu);
  EXPECT_EQ(flags(kCmdBookmarks), "g-");  // no outline
  EXPECT_EQ(flags(kCmdDetails), "--");
  viewer.hasOutline = true;
  EXPECT_EQ(viewer.GetMenuForPopup(kCmdMenu)->id, kCmdOpen);
  EXPECT_EQ(flags(kCmdBookmarks), "--");

  // Go To by layout mode and position.
  struct Go {
    int32_t mode, first, current, count;
    bool firstWhole, lastWhole;
    bool next, previous;
  } goTable[] = {
      {kLayoutSinglePage, 0, 0, 5, false, false, true, false},
      {kLayoutSinglePage, 4, 4, 5, false, false, false, true},
      {kLayoutReflowSingle, 3, 0, 5, false, false, true, true},
      // Two-up: page 0 partly out of view still lets the view step back.
      {kLayoutTwoUp, 0, 1, 4, false, false, true, true},
      {kLayoutTwoUp, 0, 1, 4, true, false, true, false},
      {kLayoutTwoUp, 0, 0, 4, false, false, true, false},
      {kLayoutTwoUpCover, 2, 2, 4, false, false, true, true},
      {kLayoutTwoUpCover, 2, 2, 4, false, true, false, true},
      {kLayoutTwoUpCover, 2, 3, 4, false, false, false, true},
      // Other modes go by the current page.
      {kLayoutContinuous, 0, 2, 5, false, false, true, true},
      {kLayoutContinuous, 0, 0, 1, false, false, false, false},
  };
  for (const Go& g : goTable) {
    view.state.layoutMode = g.mode;
    view.state.firstViewPage = g.first;
    view.state.currentPage = g.current;
    view.state.pageCount = g.count;
    view.state.firstPageWhollyInView = g.firstWhole;
    view.state.lastPageWhollyInView = g.lastWhole;
    viewer.GetMenuForPopup(kCmdGoTo);
    const std::string where = std::to_string(g.mode) + "/" + std::to_string(g.first) + "/" +
                              std::to_string(g.current);
    EXPECT_EQ(flags(kCmdNextPage), g.next ? "--" : "g-") << where;
    EXPECT_EQ(flags(kCmdPreviousPage), g.previous ? "--" : "g-") << where;
    EXPECT_EQ(flags(kCmdPageNumber), g.next || g.previous ? "--" : "g-") << where;
    EXPECT_EQ(flags(kCmdFirstPage), g.current > 0 ? "--" : "g-") << where;
    EXPECT_EQ(flags(kCmdLastPage), g.current < g.count - 1 ? "--" : "g-") << where;
  }
  viewer.pageView = nullptr;
}

}  // namespace
}  // namespace viewer
