#include "viewer/ViewerApp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Gdi.h"
#include "resources/UIStringTable.h"
#include "runtime/Event.h"
#include "runtime/RecordCache.h"
#include "tests/runtime/ThreadFixture.h"
#include "tools/viewer-sim/RecordingHost.h"
#include "viewer/BusyHold.h"
#include "viewer/PageViewBusy.h"

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
  void GoToPage(int32_t page, bool skip) override {
    Note("GoToPage " + std::to_string(page) + (skip ? " skip" : ""));
  }
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
  // The given path is opened (it is no file: the open fails quietly).
  EXPECT_TRUE(Contains(host.log, "AddRecentFile \"/docs/a.pdf\""));
  EXPECT_EQ(app->viewer.keptPath, nullptr);
  EXPECT_EQ(app->viewer.currentPath, nullptr);
  EXPECT_FALSE(Contains(host.log, "CreateListDialog 1 -> null"));

  // Without a path the recent files are offered, then the browser.
  SimHost other;
  ViewerApp second(&other, 1);
  other.scheduler = &second.scheduler;
  second.OpenInitialDocument(nullptr);
  other.Fire(other.LiveTimers().back());
  EXPECT_TRUE(Contains(other.log, "CreateListDialog 1 -> null"));
  EXPECT_TRUE(Contains(other.log, "CreateFileBrowser -> null"));
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
  // Without a host the start fails like a control the host cannot make.
  ViewerApp hostless(nullptr, 0);
  EXPECT_TRUE(Caught([&] { hostless.OpenInitialDocument(nullptr); }).IsRuntime(runtime::kOverflow));
  hostless.OnCommand(kCmdAbout);
  hostless.OnCommand(kCmdExit);
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
    EXPECT_EQ(viewersim::DumpMenu(tree.FindCancelPair()), "112 \"Find\"\n136 \"Cancel\"\n");
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

// Every command id, with and without a page view: what reaches the page
// view and what reaches the host.
TEST_F(ViewerAppTest, EveryCommandReachesItsHandler) {
  struct Case {
    uint32_t id;
    const char* requests;            // with a page view
    std::vector<std::string> lines;  // host lines, with a page view
    bool needsPageView;              // nothing at all without one
  };
  const Case cases[] = {
      {101, "", {}, true},
      {103, "", {}, true},
      {104, "", {}, true},
      {105, "ZoomIn", {}, true},
      {106, "ZoomOut", {}, true},
      {107, "SetPenTool 0", {}, true},  // the zoom rectangle is on: back to pan
      {108, "SetZoom 0 65536", {"CreateZoomDialog -> Z1", "Z1.RunModal -> 201 100", "DestroyZoomDialog Z1"}, true},
      {109, "SetZoom 3 0", {}, true},
      {110, "SetZoom 1 0", {}, true},
      {111, "", {}, true},
      {112, "", {"CreateFindDialog -> null"}, true},
      {113, "", {}, true},  // no search string
      {114, "", {}, true},
      {115, "RotateRight", {}, true},
      {116, "RotateLeft", {}, true},
      {117, "SetLayoutMode 0", {}, true},
      {118, "SetLayoutMode 3", {}, true},
      {119, "SetLayoutMode 5", {}, true},
      {121, "", {}, true},
      {122, "", {"CreateGoToPageDialog -> G1", "G1.RunModal -> 202", "DestroyGoToPageDialog G1"}, true},
      {123, "NextPage", {}, true},
      {124, "PreviousPage", {}, true},
      {125, "FirstPage", {}, true},
      {126, "LastPage", {}, true},
      {127, "", {}, true},
      {128, "", {"CreateListDialog 1 -> null", "CreateFileBrowser -> null"}, false},
      {129, "", {}, true},
      {131, "", {}, true},
      {133, "", {"CreatePropertiesDialog -> D1", "DestroyPropertiesDialog D1"}, true},
      {134,
       "",
       {"CreateTextBox -> X1", "X1.SetTitle \"Vantrel Folvane Zo\"", "X1.SetSoftKeys 135",
        "X1.RunModal", "DestroyTextBox X1"},
       false},
      {135, "", {}, true},
      {136, "", {}, true},  // not busy
      {137, "", {}, true},
      {0, "", {}, true},
  };
  for (bool withPageView : {true, false}) {
    for (const Case& c : cases) {
      SimHost local;
      ViewerApp app(&local, kOptionQuickZoom | kOptionToolbar | kOptionPocketPc | kOptionReflow);
      local.scheduler = &app.scheduler;
      app.OpenInitialDocument(nullptr);
      RecordingPageView view;
      view.state.hasCurrentPage = true;
      view.state.penTool = kPenZoomRectangle;
      if (withPageView) app.viewer.pageView = &view;
      local.log.clear();
      app.OnCommand(c.id);
      const std::string where = std::to_string(c.id) + (withPageView ? " with" : " without");
      EXPECT_EQ(view.Requests(), withPageView ? c.requests : "") << where;
      const bool expectLines = withPageView || !c.needsPageView;
      for (const std::string& line : c.lines) {
        EXPECT_EQ(Contains(local.log, line), expectLines) << where << ": " << line;
      }
      if (c.lines.empty() || !expectLines) {
        EXPECT_TRUE(local.log.empty()) << where;
      }
      app.viewer.pageView = nullptr;
    }
  }
}

// Every option word, every command and key in a row, then the end of the
// application: whatever the viewer made of the host's goes back.
TEST_F(ViewerAppTest, EveryOptionWordLeavesTheHostAsItFoundIt) {
  for (uint32_t options = 0; options < 64; ++options) {
    SimHost local;
    {
      ViewerApp app(&local, options);
      local.scheduler = &app.scheduler;
      app.OpenInitialDocument(u"/x.pdf");
      RecordingPageView view;
      view.state.hasCurrentPage = true;
      view.state.pageCount = 3;
      for (int round = 0; round < 2; ++round) {
        app.viewer.pageView = round == 0 ? &view : nullptr;
        for (uint32_t id = 100; id <= 137; ++id) {
          if (id != kCmdExit) app.OnCommand(id);
        }
        for (char16_t key = u' '; key < 0x7F; ++key) app.OnKeyCommand(key);
        app.viewer.GetMenuForPopup(0);
      }
      app.viewer.pageView = nullptr;
      local.Fire(local.LiveTimers().empty() ? nullptr : local.LiveTimers()[0]);
      EXPECT_EQ(app.viewer.busyCount, 0) << options;
      app.OnCommand(kCmdExit);
      EXPECT_TRUE(local.quit) << options;
    }
    local.scheduler = nullptr;
    for (const auto& control : local.Controls()) {
      EXPECT_FALSE(SimHost::InfoOf(control.get())->alive) << options;
    }
    EXPECT_TRUE(local.LiveTimers().empty()) << options;
    EXPECT_FALSE(local.busyCursor) << options;
  }
}

TEST_F(ViewerAppTest, CommandsThatChangeTheViewersOwnState) {
  auto app = MakeApp(kOptionToolbar);  // Smartphone: no button bar
  app->OpenInitialDocument(nullptr);
  Viewer& viewer = app->viewer;
  const std::string container = SimHost::NameOf(viewer.mainContainer);
  const std::string tree = SimHost::NameOf(viewer.bookmarkTree);
  const std::string page = SimHost::NameOf(viewer.pageViewWindow);

  // Full screen toggles and tells the container; the page view gets the
  // focus on the way in.
  host.log.clear();
  app->OnCommand(kCmdFullScreen);
  EXPECT_TRUE(viewer.fullScreen);
  EXPECT_EQ(host.log, (std::vector<std::string>{container + ".SetFullScreen 1", page + ".Focus"}));
  // Showing the bookmark tree without the button bar suspends full screen,
  // swaps the page view for the tree and the soft keys for Select/Cancel.
  host.log.clear();
  app->OnCommand(kCmdBookmarks);
  EXPECT_TRUE(viewer.bookmarksShown);
  EXPECT_TRUE(Contains(host.log, container + ".SetFullScreen 0"));
  EXPECT_TRUE(Contains(host.log, tree + ".Show 1"));
  EXPECT_TRUE(Contains(host.log, page + ".Show 0"));
  EXPECT_TRUE(Contains(host.log, "CreateMenuBar 131,132"));
  EXPECT_TRUE(Contains(host.log, tree + ".Focus"));
  // Full screen asked for meanwhile changes nothing on screen.
  host.log.clear();
  app->OnCommand(kCmdFullScreen);
  app->OnCommand(kCmdFullScreen);
  EXPECT_TRUE(host.log.empty());
  // Cancel hides the tree again and full screen comes back.
  host.log.clear();
  app->OnCommand(kCmdBookmarkCancel);
  EXPECT_FALSE(viewer.bookmarksShown);
  EXPECT_TRUE(Contains(host.log, "CreateMenuBar 103,127"));
  EXPECT_EQ(host.log.back(), container + ".SetFullScreen 1");

  // Command 119 without reflow does nothing.
  RecordingPageView view;
  view.state.hasCurrentPage = true;
  viewer.pageView = &view;
  app->OnCommand(kCmdReflow);
  EXPECT_EQ(view.Requests(), "");
  // Find next goes only with a search string; the quick zoom toggles the
  // pen tool from pan to the zoom rectangle.
  app->OnCommand(kCmdQuickZoom);
  EXPECT_EQ(view.Requests(), "SetPenTool 2");
  viewer.pageView = nullptr;

  // Exit destroys the controls, then quits.
  host.log.clear();
  app->OnCommand(kCmdExit);
  EXPECT_EQ(host.log.back(), "Quit");
  EXPECT_EQ(host.log[host.log.size() - 2], "DestroyWindow " + container);
  EXPECT_EQ(viewer.mainContainer, nullptr);
}

TEST_F(ViewerAppTest, PocketPcKeepsFullScreenWhileTheTreeShows) {
  auto app = MakeApp(kOptionPocketPc);
  app->OpenInitialDocument(nullptr);
  const std::string container = SimHost::NameOf(app->viewer.mainContainer);
  app->OnCommand(kCmdFullScreen);
  host.log.clear();
  app->OnToolbarButton(app->viewer.bookmarksButton);
  EXPECT_TRUE(app->viewer.bookmarksShown);
  EXPECT_TRUE(app->viewer.IsEffectiveFullScreen());
  EXPECT_FALSE(Contains(host.log, container + ".SetFullScreen 0"));
  EXPECT_FALSE(Contains(host.log, "CreateMenuBar 131,132"));  // the bar keeps the menus
}

TEST_F(ViewerAppTest, EveryKeyReachesItsHandler) {
  struct Case {
    char16_t key;
    int32_t handled;
    const char* requests;
    const char* line;
  } cases[] = {
      {u'*', 1, "", nullptr},
      {u'1', 1, "ZoomIn", nullptr},
      {u'2', 1, "SetZoom 3 0", nullptr},
      {u'3', 1, "ZoomOut", nullptr},
      {u'4', 1, "PreviousPage", nullptr},
      {u'5', 0, "", nullptr},
      {u'6', 1, "NextPage", nullptr},
      {u'7', 1, "", "CreateFindDialog -> null"},
      {u'8', 1, "RotateLeft", nullptr},
      {u'9', 1, "RotateRight", nullptr},
      {u'0', 0, "", nullptr},
      {u'#', 0, "", nullptr},
      {u'a', 0, "", nullptr},
  };
  auto app = MakeApp(0);
  app->OpenInitialDocument(nullptr);
  for (bool withPageView : {true, false}) {
    for (const Case& c : cases) {
      RecordingPageView view;
      view.state.hasCurrentPage = true;
      app->viewer.pageView = withPageView ? &view : nullptr;
      host.log.clear();
      // Without a page view the keys are still handled, and do nothing.
      EXPECT_EQ(app->OnKeyCommand(c.key), c.handled) << char(c.key);
      EXPECT_EQ(view.Requests(), withPageView ? c.requests : "") << char(c.key);
      if (c.line != nullptr && withPageView) {
        EXPECT_TRUE(Contains(host.log, c.line)) << char(c.key);
      } else {
        EXPECT_TRUE(host.log.empty()) << char(c.key);
      }
    }
  }
  app->viewer.pageView = nullptr;
}

TEST_F(ViewerAppTest, ToolbarButtonsAndScrollBars) {
  host.screenDpi = 96;  // half an inch: 48 pixels
  auto app = MakeApp(kOptionToolbar | kOptionPocketPc);
  app->OpenInitialDocument(nullptr);
  Viewer& viewer = app->viewer;
  RecordingPageView view;
  view.state.hasCurrentPage = true;
  view.state.viewWidth = 200;
  view.state.viewHeight = 300;
  viewer.pageView = &view;
  const std::string focus = SimHost::NameOf(viewer.pageViewWindow) + ".Focus";

  struct Button {
    runtime::HostWindow* control;
    const char* requests;
    const char* line;
  } buttons[] = {
      {viewer.fitWidthButton, "SetZoom 1 0", nullptr},
      {viewer.findButton, "", "CreateFindDialog -> null"},
      {viewer.zoomOutButton, "ZoomOut", nullptr},
      {viewer.zoomInButton, "ZoomIn", nullptr},
      {viewer.mainContainer, "", nullptr},
      {nullptr, "", nullptr},
  };
  for (const Button& b : buttons) {
    view.calls.clear();
    host.log.clear();
    app->OnToolbarButton(b.control);
    EXPECT_EQ(view.Requests(), b.requests);
    if (b.line != nullptr) {
      EXPECT_TRUE(Contains(host.log, b.line));
    }
    EXPECT_EQ(host.log.back(), focus);  // the page view gets the focus back
  }
  // The find button does nothing while busy.
  viewer.ShowCancelSoftKeys();
  host.log.clear();
  app->OnToolbarButton(viewer.findButton);
  EXPECT_FALSE(Contains(host.log, "CreateFindDialog -> null"));
  viewer.RestoreMainSoftKeys();

  struct Scroll {
    void (ViewerApp::*operation)(const runtime::HostWindow*);
    const char* request;
  } scrolls[] = {
      {&ViewerApp::OnLineLeft, "Scroll left 48"},   {&ViewerApp::OnLineRight, "Scroll right 48"},
      {&ViewerApp::OnPageLeft, "Scroll left 152"},  {&ViewerApp::OnPageRight, "Scroll right 152"},
      {&ViewerApp::OnLineUp, "Scroll up 48"},       {&ViewerApp::OnLineDown, "Scroll down 48"},
      {&ViewerApp::OnPageUp, "Scroll up 252"},      {&ViewerApp::OnPageDown, "Scroll down 252"},
  };
  for (const Scroll& s : scrolls) {
    view.calls.clear();
    (app.get()->*s.operation)(viewer.pageViewWindow);
    EXPECT_EQ(view.Requests(), s.request);
    // Another window's scroll bar is ignored.
    view.calls.clear();
    (app.get()->*s.operation)(viewer.mainContainer);
    EXPECT_EQ(view.Requests(), "");
  }
  viewer.pageView = nullptr;
  app->OnPageDown(viewer.pageViewWindow);
  EXPECT_EQ(view.Requests(), "");
}

TEST_F(ViewerAppTest, ALanguageChangeRebuildsTheMenusAndLosingActivationEmptiesTheCaches) {
  auto app = MakeApp(0);
  app->OpenInitialDocument(nullptr);
  host.log.clear();
  app->viewer.SetLanguage(1);
  EXPECT_EQ(host.log, std::vector<std::string>{"CreateMenuBar 103,127"});
  ASSERT_NE(host.menuBar, nullptr);
  EXPECT_EQ(std::u16string(host.menuBar->text), resources::GetUIString(1, 61));
  EXPECT_EQ(std::u16string(host.menuBar->next->submenu->text), resources::GetUIString(1, 0));

  runtime::RecordCache cache(&app->context);
  cache.Lookup(runtime::RecordRequest{{{1, 2, 3, 4, 5, 6}}, 7});
  ASSERT_EQ(cache.Count(), 1u);
  app->ReleaseCachedMemory();
  EXPECT_EQ(cache.Count(), 0u);
}

TEST_F(ViewerAppTest, TheContextsDeviceContextAndCachePairLastAsLongAsTheApplication) {
  ViewerApp* app = ViewerApp::Create(&host, 0);
  ASSERT_NE(app, nullptr);
  host.scheduler = &app->scheduler;
  const platform::HDC dc = app->screenDc.Handle();
  ASSERT_NE(dc, nullptr);
  // Each setter answers the colour it replaces: white text on black.
  EXPECT_EQ(platform::SetTextColor(dc, 0xFFFFFF), 0xFFFFFFu);
  EXPECT_EQ(platform::SetBkColor(dc, 0), 0u);

  // Both caches are the context's: losing activation purges them to nothing,
  // including a record a caller let go of a moment ago.
  app->renderRecords.Lookup(runtime::RecordRequest{{{1, 2, 3, 4, 5, 6}}, 7});
  app->layoutRecords.Lookup(runtime::RecordRequest{{{1, 2, 3, 4, 5, 6}}, 8});
  app->layoutRecords.Lookup(runtime::RecordRequest{{{6, 5, 4, 3, 2, 1}}, 9});
  ASSERT_EQ(app->context.cacheManager.cachedBytes, 3 * runtime::RecordCache::kRecordBytes);
  app->ReleaseCachedMemory();
  EXPECT_EQ(app->context.cacheManager.cachedBytes, 0u);
  EXPECT_EQ(app->renderRecords.Count(), 0u);
  EXPECT_EQ(app->layoutRecords.Count(), 0u);

  // Records left at the end go with the application, and so does the
  // device context (deleting it again finds nothing).
  app->renderRecords.Lookup(runtime::RecordRequest{{{9, 9, 9, 9, 9, 9}}, 1});
  ViewerApp::Destroy(app);
  EXPECT_FALSE(platform::DeleteDC(dc));
  ViewerApp::Destroy(nullptr);
}

TEST_F(ViewerAppTest, ThePageNumberGoesIntoTheToolbarsEditBox) {
  auto app = MakeApp(kOptionToolbar);
  app->OpenInitialDocument(nullptr);
  const std::string box = SimHost::NameOf(app->viewer.pageNumberEdit);
  app->viewer.documentOpen = true;
  app->viewer.pageCount = 12;
  host.log.clear();
  app->viewer.UpdatePageNumberText(0, 0);
  app->viewer.UpdatePageNumberText(0, 0);
  EXPECT_EQ(host.log, std::vector<std::string>{box + ".SetText \"1/12\""});
}

TEST_F(ViewerAppTest, AboutShowsTheNoticeAndTheVersion) {
  const std::u16string notice = resources::GetUIString(0, kTextLegalNotice);
  ASSERT_FALSE(notice.empty());
  struct Case {
    std::u16string version;
    std::u16string text;
  } cases[] = {
      {u"Version 2.5", notice + u"\r\n\r\nVersion 2.5"},
      {u"", notice},
  };
  for (const Case& c : cases) {
    SimHost local;
    local.versionText = c.version;
    ViewerApp app(&local, 0);
    app.OnCommand(kCmdAbout);
    EXPECT_TRUE(Contains(local.log,
                         "X1.SetItemText 1801 " + viewersim::LogText(c.text.c_str())));
    EXPECT_EQ(app.viewer.currentDialog, nullptr);
  }
}

TEST_F(ViewerAppTest, BusyNestsAndHidesItsCursorUnderShellDialogs) {
  auto app = MakeApp(0);
  Viewer& viewer = app->viewer;
  viewer.BeginBusy(kBusyPageView);
  viewer.BeginBusy(kBusyLongOperation);
  viewer.EndBusy(kBusyLongOperation);
  viewer.EndBusy(kBusyPageView);
  EXPECT_EQ(host.log, (std::vector<std::string>{"BeginBusy 1", "SetBusyCursor 1", "BeginBusy 0",
                                                "EndBusy 0", "EndBusy 1", "SetBusyCursor 0"}));
  host.log.clear();
  viewer.BeginBusy(kBusyPageView);
  app->BeginModalUi();
  app->EndModalUi();
  app->BeginModalUi();
  viewer.EndBusy(kBusyPageView);  // the dialog is up: the cursor stays as it is
  app->EndModalUi();
  EXPECT_EQ(host.log,
            (std::vector<std::string>{"BeginBusy 1", "SetBusyCursor 1", "SetBusyCursor 0",
                                      "SetBusyCursor 1", "SetBusyCursor 0", "EndBusy 1"}));
  EXPECT_EQ(viewer.busyCount, 0);

  // The busy soft keys: the busy pair, then the menu tree.
  app->OpenInitialDocument(nullptr);
  host.log.clear();
  viewer.ShowCancelSoftKeys();
  viewer.ShowCancelSoftKeys();
  viewer.RestoreMainSoftKeys();
  viewer.RestoreMainSoftKeys();
  EXPECT_EQ(host.log, (std::vector<std::string>{"CreateMenuBar 101,136", "BeginBusy 0",
                                                "SetBusyCursor 1", "CreateMenuBar 103,127",
                                                "EndBusy 0", "SetBusyCursor 0"}));
}

TEST_F(ViewerAppTest, AQuestionShowsTheMainKeysAndBringsBackOnlyBusyOnes) {
  auto app = MakeApp(0);
  app->OpenInitialDocument(nullptr);
  Viewer& viewer = app->viewer;
  // Asked while idle: the viewer stays idle.
  host.log.clear();
  viewer.AskResumeFromStart();
  EXPECT_FALSE(viewer.busySoftKeys);
  EXPECT_EQ(viewer.busyCount, 0);
  EXPECT_EQ(host.log.front(), "CreateMessageBox -> M1");
  EXPECT_FALSE(Contains(host.log, "BeginBusy 0"));
  // Asked while a search runs: the box gets the main keys, then the busy
  // pair is back.
  viewer.ShowCancelSoftKeys();
  host.log.clear();
  viewer.AskResumeFromEnd();
  EXPECT_TRUE(viewer.busySoftKeys);
  EXPECT_EQ(viewer.busyCount, 1);
  EXPECT_EQ(host.log.front(), "CreateMenuBar 103,127");
  EXPECT_TRUE(Contains(host.log, "CreateMenuBar 101,136"));
  viewer.RestoreMainSoftKeys();
}

TEST_F(ViewerAppTest, ThePageViewsBusyStateBeginsAndEndsTheViewersOnce) {
  auto app = MakeApp(0);
  PageViewBusy busy(&app->viewer);
  struct Step {
    bool deferred;
    uint32_t value;
    bool wake;
    const char* lines;  // host lines this step adds
  } steps[] = {
      {false, 2, false, "BeginBusy 1|SetBusyCursor 1"},
      {false, 3, false, ""},  // busy stays busy
      // Reported while an error unwinds: only recorded.
      {true, 0, true, ""},
      {true, 5, true, ""},
      {false, 0, false, "EndBusy 1|SetBusyCursor 0"},  // the waiting 5 is dropped
      {false, 0, false, ""},
  };
  for (const Step& step : steps) {
    host.log.clear();
    EXPECT_EQ(busy.Set(step.deferred, step.value), step.wake);
    std::string lines;
    for (const std::string& line : host.log) lines += (lines.empty() ? "" : "|") + line;
    EXPECT_EQ(lines, step.lines) << step.value << (step.deferred ? " deferred" : "");
  }
  EXPECT_FALSE(busy.HasPending());
  // A deferred change takes effect when the page view's thread applies it.
  busy.Set(true, 1);
  EXPECT_EQ(app->viewer.busyCount, 0);
  busy.ApplyPending();
  EXPECT_EQ(app->viewer.busyCount, 1);
  EXPECT_FALSE(busy.HasPending());
  busy.ApplyPending();
  EXPECT_EQ(app->viewer.busyCount, 1);
  busy.Set(false, 0);
  EXPECT_EQ(app->viewer.busyCount, 0);
}

TEST_F(ViewerAppTest, AKilledJobEndsItsBusyStateOnTheMainStack) {
  auto app = MakeApp(0);
  runtime::LibraryContext* ctx = &app->context;
  runtime::Event never(ctx);
  bool holding = false;
  auto* job = runtime::NewObject<runtime::ClosureThread>(ctx, ctx, [&](runtime::LibraryContext*) {
    BusyHold hold(&app->viewer, kBusyLongOperation);
    holding = true;
    never.Wait();
  });
  {
    runtime::ThreadHandle handle(ctx, job);
    app->scheduler.StartThread(job);
    app->scheduler.RunUntil([&] { return holding; });
    EXPECT_EQ(app->viewer.busyCount, 1);
  }  // the handle kills the job
  EXPECT_EQ(app->viewer.busyCount, 0);
  EXPECT_TRUE(Contains(host.log, "EndBusy 0"));
  EXPECT_EQ(host.log.back(), "SetBusyCursor 0");
  EXPECT_TRUE(host.busyCursor == false);

  // Cancel while busy: the main keys come back and the long operation is
  // killed.
  app->OpenInitialDocument(nullptr);
  app->viewer.ShowCancelSoftKeys();
  bool waiting = false;
  auto* search = runtime::NewObject<runtime::ClosureThread>(ctx, ctx, [&](runtime::LibraryContext*) {
    waiting = true;
    never.Wait();
  });
  app->scheduler.StartThread(search);
  app->scheduler.RunUntil([&] { return waiting; });
  app->viewer.longOperation = search;
  host.log.clear();
  app->OnCommand(kCmdCancel);
  EXPECT_EQ(app->viewer.longOperation, nullptr);
  EXPECT_FALSE(app->viewer.busySoftKeys);
  EXPECT_EQ(app->viewer.busyCount, 0);
  EXPECT_TRUE(Contains(host.log, "CreateMenuBar 103,127"));
}

TEST_F(ViewerAppTest, TheWorkTimerFollowsTheSchedulersHooks) {
  auto app = MakeApp(0);
  runtime::LibraryContext* ctx = &app->context;
  int turns = 0;
  auto* job = runtime::NewObject<runtime::ClosureThread>(ctx, ctx, [&](runtime::LibraryContext* c) {
    for (; turns < 3; ++turns) runtime::YieldThread(c);
  });
  runtime::ThreadHandle handle(ctx, job);
  EXPECT_TRUE(host.LiveTimers().empty());
  app->scheduler.StartThread(job);
  ASSERT_EQ(host.LiveTimers().size(), 1u);
  EXPECT_EQ(host.LiveTimers()[0]->milliseconds, kWorkTimerForeground);
  // A tick runs the job to its end; the timer goes with the last thread.
  host.Fire(host.LiveTimers()[0]);
  EXPECT_EQ(turns, 3);
  EXPECT_TRUE(host.LiveTimers().empty());
  EXPECT_EQ(app->viewer.workTimer, nullptr);
  for (const std::string& line : host.log) {
    EXPECT_EQ(line.find("[off main]"), std::string::npos) << line;
  }

  // Background without a timer only records the mode; the next timer uses
  // it, and a change while it runs makes it again.
  host.log.clear();
  app->viewer.SetBackgroundMode(true);
  EXPECT_TRUE(host.log.empty());
  turns = 0;
  auto* second = runtime::NewObject<runtime::ClosureThread>(ctx, ctx, [&](runtime::LibraryContext* c) {
    for (; turns < 3; ++turns) runtime::YieldThread(c);
  });
  handle.Reset(second);
  app->scheduler.StartThread(second);
  ASSERT_EQ(host.LiveTimers().size(), 1u);
  EXPECT_EQ(host.LiveTimers()[0]->milliseconds, kWorkTimerBackground);
  app->viewer.SetBackgroundMode(false);
  ASSERT_EQ(host.LiveTimers().size(), 1u);
  EXPECT_EQ(host.LiveTimers()[0]->milliseconds, kWorkTimerForeground);
  host.Fire(host.LiveTimers()[0]);
  EXPECT_TRUE(host.LiveTimers().empty());
}

// The request pump on the virtual clock: a helper thread moves the clock
// one millisecond per turn and plays the page view's thread.
TEST_F(ViewerAppTest, ARequestPumpsTheSchedulerInItsFourSteps) {
  struct Case {
    const char* name;
    int64_t doneAt;      // the task is taken and finished
    int64_t newWorkAt;   // -1: never
    int64_t inputAt;     // -1: never
    int64_t releaseMin;  // the pump's painting hold ends in [min, max]
    int64_t releaseMax;
  } cases[] = {
      // Done early: on until the 200 ms, then 20 ms of painting.
      {"done within 10 ms", 3, -1, -1, 200, 202},
      {"new work at 30 ms", 3, 30, -1, 30, 32},
      {"input at 50 ms", 3, -1, 50, 50, 52},
      // Still busy at 10 ms: the first step runs to the 200 ms.
      {"busy past 200 ms", 400, -1, -1, 200, 202},
  };
  for (const Case& c : cases) {
    platform::UseVirtualClock(true);
    SimHost local;
    ViewerApp app(&local, 0);
    runtime::LibraryContext* ctx = &app.context;
    RecordingPageView view;
    view.state.hasCurrentPage = true;
    view.postMakesWork = true;
    app.viewer.pageView = &view;
    auto* helper = runtime::NewObject<runtime::ClosureThread>(ctx, ctx, [&](runtime::LibraryContext* t) {
      for (;;) {
        platform::AdvanceVirtualClock(1000);
        int64_t now = 0;
        platform::QueryPerformanceCounter(&now);
        now /= 1000;
        if (now == c.doneAt) view.pending = false;
        if (now == c.newWorkAt) view.pending = true;
        if (now == c.inputAt) local.inputPending = true;
        runtime::YieldThread(t);
      }
    });
    runtime::ThreadHandle handle(ctx, helper);
    app.scheduler.StartThread(helper);
    app.OnCommand(kCmdZoomIn);
    ASSERT_EQ(view.pump.size(), 4u) << c.name;
    EXPECT_EQ(view.pump[0].first, "HoldPaint");
    EXPECT_EQ(view.pump[0].second, 0) << c.name;
    EXPECT_EQ(view.pump[1].first, "ReleasePaint");
    EXPECT_GE(view.pump[1].second, c.releaseMin) << c.name;
    EXPECT_LE(view.pump[1].second, c.releaseMax) << c.name;
    EXPECT_EQ(view.pump[2].first, "MarkQueuedRequests");
    EXPECT_EQ(view.pump[3].first, "FlushInvalidRect");
    const int64_t painting = view.pump[3].second - view.pump[1].second;
    EXPECT_GE(painting, 20) << c.name;
    EXPECT_LE(painting, 22) << c.name;
    handle.Destroy();
    app.viewer.pageView = nullptr;
  }
}

TEST_F(ViewerAppTest, ARequestFromACooperativeThreadRunsInPlace) {
  auto app = MakeApp(0);
  runtime::LibraryContext* ctx = &app->context;
  RecordingPageView view;
  view.state.hasCurrentPage = true;
  app->viewer.pageView = &view;
  bool done = false;
  auto* job = runtime::NewObject<runtime::ClosureThread>(ctx, ctx, [&](runtime::LibraryContext*) {
    app->viewer.ExecuteCommand(kCmdZoomIn);
    done = true;
  });
  runtime::ThreadHandle handle(ctx, job);
  app->scheduler.StartThread(job);
  app->scheduler.RunUntil([&] { return done; });
  EXPECT_EQ(view.Requests(), "ZoomIn");
  EXPECT_TRUE(view.pump.empty());
  app->viewer.pageView = nullptr;
}

}  // namespace
}  // namespace viewer
