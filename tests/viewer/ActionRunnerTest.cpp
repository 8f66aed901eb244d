// Destinations and actions move the page view: named destinations in both
// forms, explicit arrays, GoTo, remote go-to and URI actions with their
// checks, "Next" chains and the opening destination.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "runtime/ErrorTrap.h"
#include "runtime/ObjectValue.h"
#include "tests/support/RaisedCode.h"
#include "tests/viewer/DocumentViewFixture.h"
#include "viewer/PendingDestination.h"

namespace viewer {
namespace {

using viewertest::DocumentView;
using viewertest::GenerateDocument;
using viewertest::PageSpec;

// Five pages; page 2 carries `link` (a dictionary's entries) in its
// "Annots". The catalog names "chap" in "Dests" (page 3, Fit) and "sec"
// in the name tree (page 4, FitH 700 under "D").
std::string LinkDocument(const std::string& link, const std::string& catalogExtra = "") {
  std::vector<PageSpec> pages(5);
  pages[2].entries = "/Annots [<< " + link + " >>]";
  return GenerateDocument(pages,
                          "/Dests << /chap [26 0 R /Fit] /broken 5 >> "
                          "/Names << /Dests << /Names [(sec) << /D [28 0 R /FitH 700] >> (bad) << /D 3 >>] >> >> " +
                              catalogExtra);
}

runtime::ObjectHandle FirstAnnot(pdf::Document& document, int32_t page) {
  const runtime::ObjectHandle dict = document.GetPageDict(page);
  return runtime::Array::Get(runtime::Dictionary::Get(dict, "Annots"), 0);
}

TEST(ActionRunnerTest, LinksLeadWhereTheirTargetsSay) {
  struct Case {
    const char* what;
    std::string link;
    std::optional<uint32_t> code;  // runtime code raised, if any
    int32_t page;                  // current page afterwards
    int32_t zoomMode;
    const char* hostLog;
  };
  const Case cases[] = {
      {"an explicit destination", "/Subtype /Link /Rect [0 0 10 10] /Dest [24 0 R /FitH 700]", {}, 2,
       kZoomFitWidth, ""},
      {"a destination array with a page number", "/Subtype /Link /Rect [0 0 1 1] /Dest [4 /Fit]", {}, 4,
       kZoomFitPage, ""},
      {"a null page is the link's page", "/Subtype /Link /Rect [0 0 1 1] /Dest [null /Fit]", {}, 2, kZoomFitPage,
       ""},
      {"a name in Dests", "/Subtype /Link /Rect [0 0 1 1] /Dest /chap", {}, 3, kZoomFitPage, ""},
      {"a string in the name tree", "/Subtype /Link /Rect [0 0 1 1] /Dest (sec)", {}, 4, kZoomFitWidth, ""},
      {"a GoTo action to a name", "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoTo /D /chap >>", {}, 3, kZoomFitPage,
       ""},
      {"a GoTo action to a string", "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoTo /D (sec) >>", {}, 4,
       kZoomFitWidth, ""},
      {"A comes before Dest", "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoTo /D [26 0 R /Fit] >> /Dest [28 0 R /Fit]",
       {}, 3, kZoomFitPage, ""},
      {"a link that is itself an action", "/Rect [0 0 1 1] /S /GoTo /D [26 0 R /Fit]", {}, 3, kZoomFitPage, ""},
      {"no target at all", "/Subtype /Link /Rect [0 0 1 1]", {}, 0, kZoomFitWidth, ""},
      {"an unknown action type", "/Subtype /Link /Rect [0 0 1 1] /A << /S /Launch /F (x) >>", {}, 0, kZoomFitWidth,
       ""},
      {"a GoTo to a dictionary is refused", "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoTo /D << /S /GoTo /D [26 0 R /Fit] >> >>",
       2, 0, kZoomFitWidth, ""},
      {"a GoTo without D", "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoTo >>", 2, 0, kZoomFitWidth, ""},
      {"an action without S", "/Subtype /Link /Rect [0 0 1 1] /A << /D [26 0 R /Fit] >>", 2, 0, kZoomFitWidth, ""},
      {"a name missing from Dests", "/Subtype /Link /Rect [0 0 1 1] /Dest /none", 2, 0, kZoomFitWidth, ""},
      {"a name whose value is no destination", "/Subtype /Link /Rect [0 0 1 1] /Dest /broken", 2, 0, kZoomFitWidth,
       ""},
      {"a string missing from the tree", "/Subtype /Link /Rect [0 0 1 1] /Dest (none)", 2, 0, kZoomFitWidth, ""},
      {"a tree value whose D is no array", "/Subtype /Link /Rect [0 0 1 1] /Dest (bad)", 2, 0, kZoomFitWidth, ""},
      {"a remote go-to stays and tells the host",
       "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoToR /F (other.pdf) /D [0 /Fit] >>", {}, 0, kZoomFitWidth,
       "remote go-to"},
      {"a remote go-to without F", "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoToR /D [0 /Fit] >>", 2, 0,
       kZoomFitWidth, ""},
      {"a remote go-to with a dictionary D", "/Subtype /Link /Rect [0 0 1 1] /A << /S /GoToR /F (o) /D << >> >>", 2, 0,
       kZoomFitWidth, ""},
      {"a URI stays and tells the host", "/Subtype /Link /Rect [0 0 1 1] /A << /S /URI /URI (http://x.test/) >>", {},
       0, kZoomFitWidth, "open uri"},
      {"a URI that is no string", "/Subtype /Link /Rect [0 0 1 1] /A << /S /URI /URI /name >>", 2, 0, kZoomFitWidth,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    runtime::LibraryContext context;
    DocumentView doc(&context, LinkDocument(c.link));
    doc.View().RefreshLayout();
    const runtime::ObjectHandle link = FirstAnnot(doc.Document(), 2);
    EXPECT_EQ(testsupport::RaisedCode([&] { doc.Actions().FollowLink(2, link); }), c.code);
    EXPECT_EQ(doc.View().CurrentPage(), c.page);
    EXPECT_EQ(doc.View().Zoom().mode, c.zoomMode);
    EXPECT_EQ(doc.host.log.empty() ? "" : doc.host.log.front(), std::string(c.hostLog));
  }
}

TEST(ActionRunnerTest, NextChainsRunInOrderOnTheViewsPage) {
  runtime::LibraryContext context;
  // The first action goes to page 4; the second names no page: it stays on
  // the view's page (4), where the link's page (2) would have moved it.
  DocumentView doc(&context, LinkDocument("/Subtype /Link /Rect [0 0 1 1] /A << /S /GoTo /D [4 /Fit] "
                                          "/Next << /S /GoTo /D [null /FitH 500] /Next << /S /URI /URI (u) >> >> >>"));
  EXPECT_EQ(testsupport::RaisedCode([&] { doc.Actions().FollowLink(2, FirstAnnot(doc.Document(), 2)); }),
            std::nullopt);
  EXPECT_EQ(doc.View().CurrentPage(), 4);
  EXPECT_EQ(doc.View().Zoom().mode, kZoomFitWidth);
  EXPECT_EQ(doc.host.log, std::vector<std::string>{"open uri"});

  // "Next" given as an array fails after the first action took effect.
  DocumentView arrayNext(&context, LinkDocument("/Subtype /Link /Rect [0 0 1 1] /A << /S /GoTo /D [3 /Fit] "
                                                "/Next [<< /S /GoTo /D [4 /Fit] >>] >>"));
  EXPECT_EQ(testsupport::RaisedCode([&] { arrayNext.Actions().FollowLink(2, FirstAnnot(arrayNext.Document(), 2)); }),
            runtime::kMalformed);
  EXPECT_EQ(arrayNext.View().CurrentPage(), 3);

  // A chain that leads back to itself ends instead of recursing for ever.
  std::vector<PageSpec> pages(2);
  pages[0].entries = "/Annots [<< /Subtype /Link /Rect [0 0 1 1] /A 40 0 R >>]";
  DocumentView loop(&context, GenerateDocument(pages, "", {{40, "<< /S /GoTo /D [1 /Fit] /Next 40 0 R >>"}}));
  EXPECT_EQ(testsupport::RaisedCode([&] { loop.Actions().FollowLink(0, FirstAnnot(loop.Document(), 0)); }),
            runtime::kStackExhausted);
  EXPECT_EQ(loop.View().CurrentPage(), 1);
}

TEST(ActionRunnerTest, OutlineItemsAndTheOpeningDestination) {
  runtime::LibraryContext context;
  std::vector<PageSpec> pages(5);
  DocumentView doc(&context, GenerateDocument(pages, "/Dests << /chap [26 0 R /Fit] >>",
                                              {{5, "<< /A << /S /GoTo /D [3 /Fit] >> /Dest [4 /Fit] >>"},
                                               {6, "<< /Dest /chap >>"},
                                               {7, "<< /Title (no target) >>"}}));
  auto item = [&](uint32_t number) { return doc.Document().Resolve(&context, runtime::ObjectReference{number, 0}); };
  doc.Actions().FollowOutlineItem(item(5));
  EXPECT_EQ(doc.View().CurrentPage(), 3);
  doc.View().GoToPage(0, false);
  doc.Actions().FollowOutlineItem(item(6));
  EXPECT_EQ(doc.View().CurrentPage(), 3);
  doc.View().GoToPage(1, false);
  doc.Actions().FollowOutlineItem(item(7));
  EXPECT_EQ(doc.View().CurrentPage(), 1);

  // The opening destination in each of its forms.
  struct Case {
    const char* what;
    std::string value;  // the destination value, written as a catalog entry
    int32_t initialPage;
    int32_t page;
  };
  const Case cases[] = {
      {"a name", "/chap", -1, 3},
      {"a string", "(sec)", -1, 4},
      {"an explicit destination", "[1 /Fit]", -1, 1},
      {"a null page is page 0", "[null /Fit]", 2, 0},
      {"an initial page alone", "", 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DocumentView open(&context, LinkDocument("/Subtype /Link /Rect [0 0 1 1]", "/Probe " + (c.value.empty() ? "null" : c.value)));
    PendingDestination target(&context);
    const runtime::ObjectHandle value = runtime::Dictionary::Get(open.Document().GetRoot(), "Probe");
    if (!value.IsNull()) target.Fill(value);
    if (c.initialPage >= 0) target.SetInitialPage(c.initialPage);
    open.Actions().ApplyPendingDestination(target);
    EXPECT_EQ(open.View().CurrentPage(), c.page);
  }
  // A target is filled only from a name, a string or an array.
  PendingDestination target(&context);
  const runtime::ObjectHandle number = runtime::Dictionary::Get(doc.Document().GetRoot(), "Pages");
  EXPECT_EQ(testsupport::RaisedCode([&] { target.Fill(number); }), runtime::kMalformed);
  EXPECT_EQ(target.kind(), PendingDestination::kNothing);
}

}  // namespace
}  // namespace viewer
