// The user's side of the viewer through viewer-sim scripts: pen taps on
// links, a pen drag, Find and Find Next, the zoom and go-to-page dialogs,
// the page box, the navigation keys and the bookmark tree, each run as
// the tool runs them on small generated documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pdf/PdfTestSupport.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"
#include "tests/viewer/ViewerSimRun.h"
#include "tests/viewer/ViewerTestDocuments.h"

namespace viewer {
namespace {

using SimPage = viewertest::TextPage;
using viewertest::TextPages;

// Empty pages; page i is object 10 + 2 i.
std::vector<SimPage> SimBlankPages(int count) { return std::vector<SimPage>(static_cast<size_t>(count)); }

// Three pages in a file whose linearisation dictionary says its
// first-page section holds page `first` ("P"; none when negative), with
// hint tables that cannot be read.
std::string LinearizedThreePages(int first) {
  const std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>";
  return pdftest::LinearizedTestFile(
      [&](size_t length) {
        return "/L " + std::to_string(length) + " /H [40 900] /O " + std::to_string(3 + std::max(first, 0)) +
               " /E 300 /N 3 /T 400" + (first < 0 ? "" : " /P " + std::to_string(first));
      },
      {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Count 3 /Kids [3 0 R 4 0 R 5 0 R] >>", page, page,
       page},
      "10");
}

class ViewerSimScriptTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // The lines the script printed (without their indent); the whole output
  // in `all` when asked for.
  std::vector<std::string> Script(const std::string& pdf, const std::string& script, const std::string& options = "",
                                  std::string* all = nullptr) {
    int status = -1;
    const std::string output = RunSim("'" + pdf + "' " + options + " --script '" + script + "'", &status);
    EXPECT_EQ(status, 0) << output;
    if (all != nullptr) *all = output;
    return PrintedLines(output);
  }

  platform::testing::TempFolder folder_;
};

// "page P zoom Z rotation R mode M ..." of a print line: the page and
// the zoom mode.
std::pair<int, int> SimPageAndMode(const std::string& print) {
  int page = -1, mode = -1;
  std::istringstream in(print);
  for (std::string word; in >> word;) {
    if (word == "page") in >> page;
    if (word == "mode") in >> mode;
  }
  return {page, mode};
}

struct SimMatch {
  int page = -1;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// A "match page P X0 Y0 X1 Y1" line.
bool ParseSimMatch(const std::string& line, SimMatch& out) {
  std::istringstream in(line);
  std::string match, page;
  in >> match >> page >> out.page >> out.x0 >> out.y0 >> out.x1 >> out.y1;
  return !in.fail() && match == "match" && page == "page";
}

// Checks that the script printed one match on each of `pages`, in order,
// then the count; the matches (empty when the lines differ).
std::vector<SimMatch> ExpectMatchesThenCount(const std::vector<std::string>& lines, const std::vector<int>& pages) {
  std::vector<SimMatch> matches;
  EXPECT_EQ(lines.size(), pages.size() + 1);
  if (lines.size() != pages.size() + 1) return {};
  for (size_t i = 0; i < pages.size(); ++i) {
    SimMatch m;
    EXPECT_TRUE(ParseSimMatch(lines[i], m)) << lines[i];
    EXPECT_EQ(m.page, pages[i]) << lines[i];
    matches.push_back(m);
  }
  EXPECT_EQ(lines.back(), "message \"Found " + std::to_string(pages.size()) + " match(es)\"");
  return matches;
}

TEST_F(ViewerSimScriptTest, ATapFollowsTheLinkUnderThePen) {
  struct Case {
    const char* what;
    std::string annots;
    std::string catalog;
    int page;
    int mode;  // 0 explicit, 1 fit width, 3 fit page
  };
  // Page 3 is object 14, page 4 object 16; the whole of page 1 is the
  // link.
  const Case cases[] = {
      {"an explicit destination", "<< /Subtype /Link /Rect [0 0 612 792] /Dest [14 0 R /FitH 700] >>", "", 2, 1},
      {"the later of overlapping links",
       "<< /Subtype /Link /Rect [0 0 612 792] /Dest [16 0 R /Fit] >> "
       "<< /Subtype /Link /Rect [0 0 612 792] /Dest [14 0 R /FitH 700] >>",
       "", 2, 1},
      {"a named destination", "<< /Subtype /Link /Rect [0 0 612 792] /Dest /third >>",
       "/Dests << /third [14 0 R /Fit] >>", 2, 3},
      {"a GoTo action", "<< /Subtype /Link /Rect [0 0 612 792] /A << /S /GoTo /D [16 0 R /Fit] >> >>", "", 3, 3},
      {"a link beside the tap", "<< /Subtype /Link /Rect [500 0 612 100] /Dest [16 0 R /Fit] >>", "", 0, 1},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<SimPage> pages = SimBlankPages(4);
    pages[0].entries = "/Annots [" + c.annots + "]";
    const std::string pdf = Write("links-" + std::to_string(n++) + ".pdf", TextPages(pages, c.catalog));
    const std::vector<std::string> lines = Script(pdf, "tap 50 50; print");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(SimPageAndMode(lines[0]), std::make_pair(c.page, c.mode)) << lines[0];
  }
}

// The red pixels' bounds in a dumped window; x0 >= x1 when there are none.
SimMatch RedBounds(const testsupport::Picture& p) {
  SimMatch r{0, p.width, p.height, 0, 0};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* px = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
      if (px[0] < 200 || px[1] > 60 || px[2] > 60) continue;
      r.x0 = std::min(r.x0, x), r.y0 = std::min(r.y0, y), r.x1 = std::max(r.x1, x + 1), r.y1 = std::max(r.y1, y + 1);
    }
  }
  return r;
}

TEST_F(ViewerSimScriptTest, ATapInATurnedViewFollowsTheLinkWhereItIsDrawn) {
  // The link covers a red rectangle near the page's top-left corner; the
  // rest of the page is no link. The tap goes where the red is drawn.
  std::vector<SimPage> pages = SimBlankPages(3);
  pages[0].content = "1 0 0 rg 60 560 160 160 re f";
  pages[0].entries = "/Annots [<< /Subtype /Link /Rect [60 560 220 720] /Dest [14 0 R /Fit] >>]";
  const std::string pdf = Write("turned-link.pdf", TextPages(pages));
  for (const char* turns : {"", "rotr; ", "rotr; rotr; ", "rotl; "}) {
    SCOPED_TRACE(std::string("turned by \"") + turns + "\"");
    const std::string shot = folder_.path() + "/turned-link.png";
    Script(pdf, std::string(turns) + "fitpage; idle; dump " + shot);
    testsupport::Picture picture;
    ASSERT_TRUE(testsupport::ReadPng(shot, picture));
    const SimMatch red = RedBounds(picture);
    ASSERT_LT(red.x0, red.x1) << "the link's rectangle is not on screen";
    const int x = (red.x0 + red.x1) / 2, y = (red.y0 + red.y1) / 2;
    const std::vector<std::string> lines =
        Script(pdf, std::string(turns) + "fitpage; idle; tap " + std::to_string(x) + " " + std::to_string(y) + "; print");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(SimPageAndMode(lines[0]).first, 2) << lines[0] << " after a tap at " << x << "," << y;
  }
}

TEST_F(ViewerSimScriptTest, FitWidthAfterAQuarterTurnFitsTheTurnedPage) {
  // A portrait page turned by the view fits the width as a page that turns
  // itself by a quarter does; turned back, as it did before.
  std::vector<SimPage> portrait = SimBlankPages(2), landscape = SimBlankPages(2);
  for (SimPage& page : landscape) page.entries = "/Rotate 90";
  const std::string upright = Write("upright.pdf", TextPages(portrait));
  const std::string turned = Write("turned.pdf", TextPages(landscape));
  const auto zoomOf = [](const std::string& print) {
    std::istringstream in(print);
    std::string zoom;
    for (std::string word; in >> word;) {
      if (word == "zoom") in >> zoom;
    }
    return zoom;
  };
  const std::vector<std::string> reference = Script(turned, "fitwidth; print");
  const std::vector<std::string> lines = Script(upright, "fitwidth; print; rotr; print; rotl; print; rotl; print");
  ASSERT_EQ(reference.size(), 1u);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(zoomOf(lines[0]), zoomOf(reference[0]));
  EXPECT_EQ(zoomOf(lines[1]), zoomOf(reference[0])) << lines[1];
  EXPECT_EQ(zoomOf(lines[2]), zoomOf(lines[0])) << lines[2];
  EXPECT_EQ(zoomOf(lines[3]), zoomOf(reference[0])) << lines[3];
}

TEST_F(ViewerSimScriptTest, APenDragSetsTheLeadMarginsOfItsDirection) {
  const std::string pdf = Write("drag.pdf", TextPages(SimBlankPages(2)));
  struct Case {
    const char* dpi;
    const char* moves;
    const char* margins;
  };
  // Three halves of the screen's dots per inch, on the side the view
  // moves toward; the press alone sets nothing.
  const Case cases[] = {
      {"96", "penmove 101 100", "margins left 144 right 0 up 0 down 0"},
      {"96", "penmove 99 100", "margins left 0 right 144 up 0 down 0"},
      {"120", "penmove 101 101", "margins left 180 right 0 up 180 down 0"},
      {"96", "penmove 100 90", "margins left 0 right 0 up 0 down 144"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.dpi) + " dpi, " + c.moves);
    const std::vector<std::string> lines =
        Script(pdf, std::string("pendown 100 100; margins; ") + c.moves + "; margins; penup 100 100",
               std::string("--dpi ") + c.dpi);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "margins left 0 right 0 up 0 down 0");
    EXPECT_EQ(lines[1], c.margins);
  }
}

TEST_F(ViewerSimScriptTest, FindNextShowsEachMatchOnScreenThenTheCount) {
  // Page 1: "exam-" ends the first line and "ple" starts the next; page 2
  // says "example" once.
  const std::string pdf = Write(
      "hyph.pdf", TextPages({{"BT /F1 12 Tf 72 700 Td (An exam-) Tj 0 -14 Td (ple of a word) Tj ET", ""},
                               {"BT /F1 12 Tf 72 700 Td (Another example) Tj ET", ""}}));
  // The search started at the document's start: no wrap question.
  const std::vector<SimMatch> matches = ExpectMatchesThenCount(Script(pdf, "find example; next; next; next"), {0, 1});
  ASSERT_EQ(matches.size(), 2u);
  const SimMatch& first = matches[0];
  const SimMatch& second = matches[1];
  // The joined word covers both lines; each match is brought wholly into
  // the 240 x 320 window when it is shown.
  EXPECT_GT((first.y1 - first.y0) * 2, (second.y1 - second.y0) * 3);
  for (const SimMatch& m : {first, second}) {
    EXPECT_GE(m.x0, 0);
    EXPECT_GE(m.y0, 0);
    EXPECT_LE(m.x1, 240);
    EXPECT_LE(m.y1, 320);
    EXPECT_LT(m.x0, m.x1);
    EXPECT_LT(m.y0, m.y1);
  }
}

TEST_F(ViewerSimScriptTest, TheFindDialogTakesTheStringAndOptionsAndSearchesAtOnce) {
  const std::string pdf = Write(
      "dialog.pdf", TextPages({{"BT /F1 12 Tf 72 700 Td (An exam-) Tj 0 -14 Td (ple, examples) Tj ET", ""},
                               {"BT /F1 12 Tf 72 700 Td (Another example) Tj ET", ""}}));
  std::string all;
  // OK searches at once; whole words leave "examples" out. A cancelled
  // dialog shows what the last one took and searches nothing.
  ExpectMatchesThenCount(Script(pdf, "finddialog -w example; next; next; finddialog", "", &all), {0, 1});
  EXPECT_NE(all.find("  F1.SetItemText 1102 \"\"\n"), std::string::npos) << all;
  EXPECT_NE(all.find("  F1.RunModal -> 201 options --- \"example\"\n"), std::string::npos) << all;
  EXPECT_NE(all.find("  F2.SetItemText 1102 \"example\"\n"), std::string::npos) << all;
  EXPECT_NE(all.find("  F2.RunModal -> 202 options -w-\n"), std::string::npos) << all;
  EXPECT_NE(all.find("  DestroyFindDialog F2\n"), std::string::npos) << all;
}

TEST_F(ViewerSimScriptTest, TheMatchShownIsInvertedOnThePageUntilTheNextOneIs) {
  // Two lines saying "word", large enough to count pixels, both on screen.
  const std::string pdf = Write(
      "marked.pdf", TextPages({{"BT /F1 36 Tf 36 700 Td (one word) Tj 0 -60 Td (two word) Tj ET", ""}}));
  const std::string a = folder_.path() + "/a.png", b = folder_.path() + "/b.png", c = folder_.path() + "/c.png";
  const std::vector<SimMatch> matches = ExpectMatchesThenCount(
      Script(pdf, "idle; dump " + a + "; find word; next; idle; dump " + b + "; next; idle; dump " + c + "; next"),
      {0, 0});
  ASSERT_EQ(matches.size(), 2u);
  const SimMatch& first = matches[0];
  const SimMatch& second = matches[1];
  ASSERT_LE(first.y1, second.y0) << "the matches overlap";
  testsupport::Picture before, shownFirst, shownSecond;
  ASSERT_TRUE(testsupport::ReadPng(a, before));
  ASSERT_TRUE(testsupport::ReadPng(b, shownFirst));
  ASSERT_TRUE(testsupport::ReadPng(c, shownSecond));
  ASSERT_EQ(before.width, shownFirst.width);
  ASSERT_EQ(before.height, shownFirst.height);
  ASSERT_EQ(before.width, shownSecond.width);
  ASSERT_EQ(before.height, shownSecond.height);
  const auto inside = [](const SimMatch& m, int x, int y) { return x >= m.x0 && x < m.x1 && y >= m.y0 && y < m.y1; };
  // Against the unmarked page: inside the shown match every channel is
  // inverted, everywhere else nothing changed; the next match takes the
  // mark with it.
  struct Shot {
    const char* name;
    const testsupport::Picture& picture;
    const SimMatch& marked;
  };
  for (const Shot& shot : {Shot{"first shown", shownFirst, first}, Shot{"second shown", shownSecond, second}}) {
    SCOPED_TRACE(shot.name);
    int inverted = 0, unchanged = 0, wrong = 0;
    for (int y = 0; y < before.height; ++y) {
      for (int x = 0; x < before.width; ++x) {
        const size_t at = (static_cast<size_t>(y) * before.width + x) * 3;
        bool same = true, opposite = true;
        for (int k = 0; k < 3; ++k) {
          const int p = before.rgb[at + k], q = shot.picture.rgb[at + k];
          same = same && p == q;
          opposite = opposite && p + q == 255;
        }
        const bool marked = inside(shot.marked, x, y);
        if (marked ? opposite : same) {
          (marked ? inverted : unchanged) += 1;
        } else {
          ++wrong;
        }
      }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(inverted, (shot.marked.x1 - shot.marked.x0) * (shot.marked.y1 - shot.marked.y0));
  }
}

TEST_F(ViewerSimScriptTest, InATurnedViewTheMatchIsMarkedOnTheWord) {
  // One red word off the page's centre; the whole page shows, so showing
  // the match does not move the view.
  const std::string pdf =
      Write("turned-match.pdf", TextPages({{"1 0 0 rg BT /F1 36 Tf 72 650 Td (word) Tj ET", ""}}));
  for (const char* turns : {"", "rotr; ", "rotr; rotr; ", "rotl; "}) {
    SCOPED_TRACE(std::string("turned by \"") + turns + "\"");
    const std::string a = folder_.path() + "/plain.png", b = folder_.path() + "/marked.png";
    const std::vector<SimMatch> matches = ExpectMatchesThenCount(
        Script(pdf, std::string(turns) + "fitpage; idle; dump " + a + "; find word; next; idle; dump " + b + "; next"), {0});
    ASSERT_EQ(matches.size(), 1u);
    const SimMatch& match = matches[0];
    testsupport::Picture plain, marked;
    ASSERT_TRUE(testsupport::ReadPng(a, plain));
    ASSERT_TRUE(testsupport::ReadPng(b, marked));
    ASSERT_EQ(plain.width, marked.width);
    ASSERT_EQ(plain.height, marked.height);
    // The word's ink lies within the match's bounds...
    const SimMatch red = RedBounds(plain);
    ASSERT_LT(red.x0, red.x1) << "the word is not on screen";
    EXPECT_LE(match.x0, red.x0);
    EXPECT_LE(match.y0, red.y0);
    EXPECT_GE(match.x1, red.x1);
    EXPECT_GE(match.y1, red.y1);
    // ...and the pixels the mark changed are those bounds.
    SimMatch changed{0, plain.width, plain.height, 0, 0};
    for (int y = 0; y < plain.height; ++y) {
      for (int x = 0; x < plain.width; ++x) {
        const size_t at = (static_cast<size_t>(y) * plain.width + x) * 3;
        if (plain.rgb[at] == marked.rgb[at] && plain.rgb[at + 1] == marked.rgb[at + 1] &&
            plain.rgb[at + 2] == marked.rgb[at + 2]) {
          continue;
        }
        changed.x0 = std::min(changed.x0, x), changed.y0 = std::min(changed.y0, y);
        changed.x1 = std::max(changed.x1, x + 1), changed.y1 = std::max(changed.y1, y + 1);
      }
    }
    EXPECT_EQ(changed.x0, match.x0);
    EXPECT_EQ(changed.y0, match.y0);
    EXPECT_EQ(changed.x1, match.x1);
    EXPECT_EQ(changed.y1, match.y1);
  }
}

TEST_F(ViewerSimScriptTest, WholeWordsAndCaseFromTheFirstWordOfTheDocument) {
  const std::string pdf =
      Write("words.pdf", TextPages({{"BT /F1 12 Tf 72 700 Td (the other one, The end) Tj ET", ""}}));
  // The leftmost match is the document's first word.
  const std::vector<std::string> any = Script(pdf, "find the; next");
  SimMatch firstWord;
  ASSERT_EQ(any.size(), 1u);
  ASSERT_TRUE(ParseSimMatch(any[0], firstWord)) << any[0];

  struct Case {
    const char* find;
    int count;
    bool startsAtFirstWord;
  };
  const Case cases[] = {
      {"-w the", 2, true},   // "the" and "The", not "other"
      {"-c The", 1, false},  // only "The"
      {"-c the", 2, true},   // "the" and "other"
      {"the", 3, true},
      {"-w -c The", 1, false},
      {"-w -c the", 1, true},
      {"-w oth", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.find);
    // One Find Next per match and one that ends the search.
    const std::vector<std::string> lines =
        Script(pdf, std::string("find ") + c.find + "; next x" + std::to_string(c.count + 1));
    ASSERT_EQ(lines.size(), static_cast<size_t>(c.count) + 1);
    for (int i = 0; i < c.count; ++i) EXPECT_EQ(lines[i].rfind("match page 0 ", 0), 0u) << lines[i];
    EXPECT_EQ(lines[c.count], "message \"Found " + std::to_string(c.count) + " match(es)\"");
    if (c.count > 0) {
      SimMatch m;
      ASSERT_TRUE(ParseSimMatch(lines[0], m));
      EXPECT_EQ(m.x0 == firstWord.x0, c.startsAtFirstWord) << lines[0];
    }
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("question", 0), std::string::npos) << line;
  }
}

TEST_F(ViewerSimScriptTest, CancelEndsARunningSearchAndItsBusyState) {
  // Twelve pages of many small strings, so that the search takes several
  // turns of the scheduler; the word is only on the last page.
  std::string filler = "BT /F1 12 Tf 72 700 Td ";
  for (int i = 0; i < 3000; ++i) filler += "(x) Tj ";
  filler += "ET";
  std::vector<SimPage> pages(12, SimPage{filler, ""});
  pages.back().content = "BT /F1 12 Tf 72 700 Td (a needle here) Tj ET";
  const std::string pdf = Write("long.pdf", TextPages(pages));
  std::string all;
  const std::vector<std::string> lines =
      Script(pdf, "find needle; search; busy; slice 1; busy; command 136; busy; next; busy; next; busy", "", &all);
  ASSERT_EQ(lines.size(), 7u) << all;
  // Find Next shows the busy keys and leaves the search to the scheduler;
  // one turn does not get it through the pages.
  EXPECT_EQ(lines[0], "busy keys 1 count 1 search running");
  EXPECT_EQ(lines[1], "busy keys 1 count 1 search running");
  // Cancel kills the search thread: the main keys come back, the busy
  // level goes, and no count is shown.
  EXPECT_EQ(lines[2], "busy keys 0 count 0 search none");
  // The next Find Next searches afresh, stops at the match with the main
  // keys, and the one after it ends the search with the count.
  SimMatch m;
  EXPECT_TRUE(ParseSimMatch(lines[3], m)) << lines[3];
  EXPECT_EQ(m.page, 11);
  EXPECT_EQ(lines[4], "busy keys 0 count 0 search at-match");
  EXPECT_EQ(lines[5], "message \"Found 1 match(es)\"");
  EXPECT_EQ(lines[6], "busy keys 0 count 0 search ended");
  // The busy pair was shown, then the menu tree came back on Cancel.
  const size_t busyPair = all.find("CreateMenuBar 101,136");
  ASSERT_NE(busyPair, std::string::npos) << all;
  EXPECT_NE(all.find("CreateMenuBar 103,127", busyPair), std::string::npos) << all;
}

TEST_F(ViewerSimScriptTest, ZoomsAndTurnsKeepTheTextBeingReadInPlace) {
  // The first text in the window is the letter W; the search marks it, so
  // its box on screen shows where the reading position went.
  struct Case {
    const char* what;
    const char* text;
    const char* script;
    bool quarterTurns;
  };
  const Case cases[] = {
      // Near the page's top-left corner at fit width: a zoom about the
      // window's centre would move it by a quarter of its distance from
      // there, some 30 pixels.
      {"zooms", "BT /F1 24 Tf 72 720 Td (W) Tj ET BT /F1 12 Tf 72 400 Td (more text) Tj ET",
       "find W; next; zoomin; selection; zoomin; selection; zoomout; selection", false},
      // In the middle of a page at twice the size, so that the turned page
      // leaves room on every side.
      {"turns", "BT /F1 24 Tf 300 500 Td (W) Tj ET",
       "zoom 2.0; find W; next; rotr; selection; rotr; selection; rotl; selection; rotl; selection", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string pdf = Write("reading.pdf", TextPages({{c.text, ""}}));
    const std::vector<std::string> lines = Script(pdf, c.script);
    ASSERT_GE(lines.size(), 4u);
    SimMatch first;
    ASSERT_TRUE(ParseSimMatch(lines[0], first)) << lines[0];
    for (size_t i = 1; i < lines.size(); ++i) {
      // "selection page ..." reads as a match line.
      SimMatch now;
      ASSERT_TRUE(ParseSimMatch("match" + lines[i].substr(lines[i].find(' ')), now)) << lines[i];
      // Within a few pixels of rounding, twice over for the sums.
      EXPECT_NEAR(now.x0 + now.x1, first.x0 + first.x1, 5) << lines[i];
      EXPECT_NEAR(now.y0 + now.y1, first.y0 + first.y1, 5) << lines[i];
      // The letter really changed: its size, or its turn after odd steps.
      const bool changed = std::make_pair(now.x1 - now.x0, now.y1 - now.y0) !=
                           std::make_pair(first.x1 - first.x0, first.y1 - first.y0);
      if (!c.quarterTurns || i % 2 == 1) {
        EXPECT_TRUE(changed) << lines[i];
      }
    }
  }
}

TEST_F(ViewerSimScriptTest, ALinearisedFileOpensAtThePageItsFirstPageSectionHolds) {
  const struct {
    int first;  // "P", or none
    int shown;
  } cases[] = {{-1, 0}, {0, 0}, {1, 1}, {2, 2}, {7, 2}};  // past the last page: the last
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    const std::string pdf = Write("linear.pdf", LinearizedThreePages(c.first));
    const std::vector<std::string> lines = Script(pdf, "print");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(SimPageAndMode(lines[0]).first, c.shown) << lines[0];
  }
}

TEST_F(ViewerSimScriptTest, ZoomDialogPreselectsTheNearestPresetAndClampsTheChoice) {
  const std::string pdf = Write("zoom.pdf", TextPages(SimBlankPages(1)));
  struct Case {
    const char* zoom;
    const char* line;
  };
  const Case cases[] = {
      {"1.0", "zoomdialog selected 100 current 100"},
      {"1.1", "zoomdialog selected 100 current 110"},
      {"0.12", "zoomdialog selected 16 current 12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zoom);
    EXPECT_EQ(Script(pdf, std::string("zoom ") + c.zoom + "; zoomdialog"), std::vector<std::string>{c.line});
  }
  // 1200 % chosen is 1000 %, which the dialog then preselects.
  const std::vector<std::string> lines = Script(pdf, "zoomdialog 1200; print; zoomdialog");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[1].find(" zoom 0xA0000 "), std::string::npos) << lines[1];
  EXPECT_EQ(lines[2], "zoomdialog selected 1000 current 1000");
}

TEST_F(ViewerSimScriptTest, PageNumbersFromTheDialogThePageBoxAndTheKeys) {
  const std::string pdf = Write("five.pdf", TextPages(SimBlankPages(5)));
  const std::string tooLarge = "message \"Given page number exceeds the maximum pages\"";
  const std::string notPositive = "message \"Page number cannot be negative or 0\"";
  struct Case {
    const char* typed;
    std::vector<std::string> said;
    int page;  // from page 2 (index 2)
  };
  const Case cases[] = {
      {"0", {notPositive}, 2},
      {"1", {}, 0},
      {"5", {}, 4},
      {"99999999999", {tooLarge}, 2},
      {"-3", {notPositive}, 2},
      {"4th", {}, 3},
      {"\xEF\xBC\x94", {}, 3},  // a full-width 4
      {"p2", {notPositive}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    // The dialog: after a message it asks again (and is cancelled here).
    std::string all;
    std::vector<std::string> lines = Script(pdf, std::string("goto 3; goto ") + c.typed + "; print", "", &all);
    std::vector<std::string> expected = c.said;
    ASSERT_EQ(lines.size(), expected.size() + 1);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]);
    EXPECT_EQ(SimPageAndMode(lines.back()).first, c.page);
    size_t dialogs = 0;
    for (size_t at = all.find("CreateGoToPageDialog"); at != std::string::npos;
         at = all.find("CreateGoToPageDialog", at + 1)) {
      ++dialogs;
    }
    EXPECT_EQ(dialogs, c.said.empty() ? 2u : 3u);

    // The toolbar's page box (option 2 shows the toolbar): the same
    // answers, and the box shows the page in view again.
    lines = Script(pdf, std::string("pagebox 3; pagebox ") + c.typed + "; print", "--options 2");
    ASSERT_EQ(lines.size(), expected.size() + 3);
    EXPECT_EQ(lines[0], "pagebox \"3/5\"");
    EXPECT_EQ(lines[1], "pagebox \"" + std::to_string(c.page + 1) + "/5\"");
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[2 + i], expected[i]);
    EXPECT_EQ(SimPageAndMode(lines.back()).first, c.page);
  }

  // Next and previous page (menu and keys 6 and 4), first and last.
  const std::vector<std::string> keys =
      Script(pdf, "nextpage; print; key 6; print; prevpage; print; last; print; key 6; print; first; print; "
                  "key 4; print");
  std::vector<int> pages;
  for (const std::string& line : keys) {
    if (line.rfind("page ", 0) == 0) pages.push_back(SimPageAndMode(line).first);
  }
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 1, 4, 4, 0, 0}));
}

TEST_F(ViewerSimScriptTest, ThreeLevelBookmarksShowAsTheFileSaysAndLeadToTheirPages) {
  // Pages 10, 12, 14, 16, 18; an open chapter with a closed section that
  // holds a subsection, a section reached by a named go-to action, a
  // chapter without a destination and one with.
  const std::string pdf = Write(
      "outline.pdf",
      TextPages(SimBlankPages(5), "/Outlines 30 0 R /Dests << /sec12 [16 0 R /Fit] >>",
                  {
                      {30, "<< /Type /Outlines /First 31 0 R /Last 33 0 R /Count 4 >>"},
                      {31, "<< /Title (Chapter 1) /Parent 30 0 R /Next 32 0 R /First 34 0 R /Last 35 0 R "
                           "/Count 2 /Dest [10 0 R /Fit] >>"},
                      {32, "<< /Title (Chapter 2) /Parent 30 0 R /Prev 31 0 R /Next 33 0 R >>"},
                      {33, "<< /Title (Chapter 3) /Parent 30 0 R /Prev 32 0 R /Dest [18 0 R /Fit] >>"},
                      {34, "<< /Title (Section 1.1) /Parent 31 0 R /Next 35 0 R /First 36 0 R /Last 36 0 R "
                           "/Count -1 /Dest [12 0 R /XYZ 0 792 0] >>"},
                      {35, "<< /Title (Section 1.2) /Parent 31 0 R /Prev 34 0 R /A << /S /GoTo /D /sec12 >> >>"},
                      {36, "<< /Title (Sub 1.1.1) /Parent 34 0 R /Dest [14 0 R /FitH 700] >>"},
                  }));
  // The closed section's subsection is not visible.
  EXPECT_EQ(Script(pdf, "bookmark"), (std::vector<std::string>{
                                         "bookmark 0 + \"Chapter 1\"",
                                         "bookmark 1   - \"Section 1.1\"",
                                         "bookmark 2   \"Section 1.2\"",
                                         "bookmark 3 \"Chapter 2\"",
                                         "bookmark 4 \"Chapter 3\"",
                                     }));
  struct Case {
    const char* row;
    int page;  // from the last page; Chapter 2 has no destination
  };
  const Case cases[] = {{"0", 0}, {"1", 1}, {"2", 3}, {"3", 4}, {"4", 4}};
  // A Smartphone (Select soft key) and a Pocket PC (choosing the row).
  for (const char* options : {"--options 0", "--options 4"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(options) + " row " + c.row);
      const std::vector<std::string> lines = Script(pdf, std::string("last; bookmark ") + c.row + "; print", options);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(SimPageAndMode(lines[0]).first, c.page) << lines[0];
    }
  }
}

TEST_F(ViewerSimScriptTest, BadArgumentsAreRefusedBeforeAnythingRuns) {
  const std::string pdf = Write("refused.pdf", TextPages(SimBlankPages(1)));
  for (const char* script : {"print; tap 1", "print; find", "print; find -x word", "print; next 2",
                             "print; goto", "print; bookmark 1 2", "print; zoomdialog 1 2", "print; next"}) {
    SCOPED_TRACE(script);
    int status = -1;
    const std::string output = RunSim("'" + pdf + "' --script '" + script + "' 2>/dev/null", &status);
    const bool valid = std::string(script) == "print; next";
    EXPECT_EQ(status == 0, valid) << output;
    EXPECT_EQ(output.find("script:\n  page") != std::string::npos, valid) << output;
  }
}

TEST_F(ViewerSimScriptTest, ResizesAndReflowModeChangesKeepTheTextBeingReadInPlace) {
  // Twelve lines, then "Wolf" starting a paragraph, then twelve more: when
  // the column changes width the lines above Wolf reflow to another length,
  // so Wolf moves unless it is put back.
  std::string text = "BT /F1 12 Tf 14 TL 40 740 Td ";
  for (int i = 0; i < 12; ++i) text += "(Some words of line " + std::to_string(i) + " run on across the page here) ' ";
  text += "ET BT /F1 12 Tf 40 500 Td (Wolf starts this paragraph and the text after it goes on) Tj ET";
  text += " BT /F1 12 Tf 14 TL 40 480 Td ";
  for (int i = 0; i < 12; ++i) text += "(More words of line " + std::to_string(i) + " run on across the page too) ' ";
  text += "ET";
  const std::string pdf = Write("reflow-reading.pdf", TextPages({{text, ""}, {text, ""}}));
  // Reflowed at 240 x 320, the search brings Wolf into the window and the
  // pen drags it to the window's top, where it is the first text shown.
  const std::string inReflow =
      "idle; command 119; idle; find Wolf; next; pendown 120 300; penmove 120 94; penup 120 94; selection; ";
  // Two-up pages at twice the size: the search puts Wolf at the top left,
  // the line above it out of the window.
  const std::string twoUp = "idle; layout 1; zoom 2.0; find Wolf; next; selection; ";
  struct Case {
    const char* what;
    std::string script;
    // Per change: whether Wolf is free to go back across too (a column as
    // wide as the window has no room to move sideways).
    std::vector<bool> across;
  };
  const Case cases[] = {
      // Without keeping it, Wolf went 40 px up and 50 px down.
      {"wider", inReflow + "resize 300 320; selection", {false}},
      {"narrower", inReflow + "resize 200 320; selection", {false}},
      // Without keeping it, Wolf went 800 px down into the column, then
      // 100 px right on the way back.
      {"into reflow and back", twoUp + "layout 5; selection; layout 1; selection", {false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> lines = Script(pdf, c.script, "--options 8 --dpi 96 --size 240x320");
    ASSERT_EQ(lines.size(), c.across.size() + 2);
    std::vector<SimMatch> places(lines.size() - 1);
    for (size_t i = 1; i < lines.size(); ++i) {
      ASSERT_TRUE(ParseSimMatch("match" + lines[i].substr(lines[i].find(' ')), places[i - 1])) << lines[i];
    }
    // Wolf is the first text in the window: at its top, starting a line.
    ASSERT_LE(places[0].y0, 8) << lines[1];
    ASSERT_LT(places[0].x0, 16) << lines[1];
    for (size_t i = 1; i < places.size(); ++i) {
      const SimMatch& before = places[i - 1];
      const SimMatch& after = places[i];
      EXPECT_NEAR(after.y0 + after.y1, before.y0 + before.y1, 5) << lines[i + 1];
      if (c.across[i - 1]) {
        EXPECT_NEAR(after.x0 + after.x1, before.x0 + before.x1, 5) << lines[i + 1];
      }
    }
  }
}

}  // namespace
}  // namespace viewer
