// Links and marks on reflowed pages, through viewer-sim at 240 x 320: a
// page whose linked word (drawn red) stands alone on a line far to the
// right is reflowed, so the word moves into the column. A tap where the
// red word is shown follows the link; a tap on the page's other words
// does not. Tab frames the link around the word as shown and Return
// follows it; shown links are framed there too. A search for the word
// marks it where it is shown, and so does a pen drag across it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"
#include "tests/viewer/ViewerSimRun.h"
#include "tests/viewer/ViewerTestDocuments.h"

namespace viewer {
namespace {

// The first line runs the column's width; the linked word stands on its
// own line at x 300 (6 letters of 12-point Helvetica, about 37 points),
// and the page's text goes on below.
const char kLinkedPage[] =
    "BT /F1 12 Tf 30 700 Td (Follow the word that sits alone on the next line of this page) Tj ET "
    "BT /F1 12 Tf 1 0 0 rg 300 680 Td (beyond) Tj ET "
    "BT /F1 12 Tf 0 g 30 660 Td (and the rest of the text goes on after it) Tj ET";
const char kLinkOverWord[] = "/Annots [<< /Subtype /Link /Rect [296 674 342 694] /Dest [14 0 R /Fit] >>]";

struct ShownBox {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// Bounds of the pixels `keep` accepts in a dumped window.
template <class Keep>
ShownBox PixelBounds(const testsupport::Picture& p, Keep keep) {
  ShownBox box{p.width, p.height, 0, 0};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* px = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
      if (!keep(px[0], px[1], px[2])) continue;
      box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1)};
    }
  }
  return box;
}

// Whether `outer` holds `inner`, give or take a pixel.
bool Covers(const ShownBox& outer, const ShownBox& inner) {
  return outer.x0 <= inner.x0 + 1 && outer.x1 >= inner.x1 - 1 && outer.y0 <= inner.y0 + 1 && outer.y1 >= inner.y1 - 1;
}

// Whether the top and bottom rows of `box` are mostly pixels `keep`
// accepts, as the edges of a frame are (letters never fill a row).
template <class Keep>
bool FramedBy(const testsupport::Picture& p, const ShownBox& box, Keep keep) {
  if (box.Empty()) return false;
  for (const int y : {box.y0, box.y1 - 1}) {
    int kept = 0;
    for (int x = box.x0; x < box.x1; ++x) {
      const uint8_t* px = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
      kept += keep(px[0], px[1], px[2]) ? 1 : 0;
    }
    if (kept * 4 < (box.x1 - box.x0) * 3) return false;
  }
  return true;
}

// A "match page P X0 Y0 X1 Y1" or "selection page ..." line.
bool ReadMarked(const std::string& line, int& page, ShownBox& box) {
  std::istringstream in(line);
  std::string what, word;
  in >> what >> word >> page >> box.x0 >> box.y0 >> box.x1 >> box.y1;
  return !in.fail() && word == "page";
}

int PrintedPage(const std::string& print) {
  std::istringstream in(print);
  int page = -1;
  for (std::string word; in >> word;) {
    if (word == "page") in >> page;
  }
  return page;
}

class ViewerReflowMarksTest : public ::testing::Test {
 protected:
  std::vector<std::string> Run(const std::string& script) {
    int status = -1;
    const std::string output =
        RunSim("'" + pdf_ + "' --options 8 --dpi 96 --size 240x320 --script 'idle; command 119; idle; " + script + "'",
               &status);
    EXPECT_EQ(status, 0) << output;
    return PrintedLines(output);
  }
  void SetUp() override {
    // The other pages are longer than the screen once reflowed, so that
    // following the link shows its page at the top.
    std::string filler = "BT /F1 12 Tf 30 760 Td 14 TL";
    for (int line = 0; line < 50; ++line) filler += " (Line " + std::to_string(line) + " of a page that fills a screen) '";
    std::vector<viewertest::TextPage> pages(4, viewertest::TextPage{filler + " ET", ""});
    pages[0] = {kLinkedPage, kLinkOverWord};
    pdf_ = folder_.path() + "/reflow-link.pdf";
    std::ofstream(pdf_, std::ios::binary) << viewertest::TextPages(pages);
  }

  // Where the red (linked) word is shown once the page is reflowed.
  ShownBox RedWord() {
    const std::string shot = folder_.path() + "/reflowed.png";
    Run("dump " + shot);
    testsupport::Picture picture;
    if (!testsupport::ReadPng(shot, picture)) return {};
    return PixelBounds(picture, [](int r, int g, int b) { return r >= 200 && g <= 80 && b <= 80; });
  }

  platform::testing::TempFolder folder_;
  std::string pdf_;
};

TEST_F(ViewerReflowMarksTest, ATapFollowsTheLinkWhereTheReflowMovedItsWord) {
  const std::string shot = folder_.path() + "/reflowed.png";
  Run("dump " + shot);
  testsupport::Picture picture;
  ASSERT_TRUE(testsupport::ReadPng(shot, picture));
  const ShownBox red = PixelBounds(picture, [](int r, int g, int b) { return r >= 200 && g <= 80 && b <= 80; });
  ASSERT_FALSE(red.Empty()) << "the linked word is not shown";
  const ShownBox black = PixelBounds(picture, [](int r, int g, int b) { return r + g + b < 150; });
  ASSERT_FALSE(black.Empty());
  // The column is narrower than the page's line: the red word no longer
  // stands where the page as drawn had it (its own line, right of the
  // others' start), and the link's drawn place holds no red.
  struct Tap {
    const char* what;
    int x, y;
    int page;
  };
  // The page the view calls current before any tap (the next page fills
  // most of the screen below the short first one).
  const std::vector<std::string> before = Run("print");
  ASSERT_EQ(before.size(), 1u);
  const int shown = PrintedPage(before[0]);
  ASSERT_NE(shown, 2);
  const Tap taps[] = {
      {"on the red word", (red.x0 + red.x1) / 2, (red.y0 + red.y1) / 2, 2},
      {"on the first line's text", black.x0 + 3, black.y0 + 4, shown},
      {"on the next page's text", 120, 310, shown},
  };
  for (const Tap& tap : taps) {
    SCOPED_TRACE(tap.what);
    const std::vector<std::string> lines =
        Run("tap " + std::to_string(tap.x) + " " + std::to_string(tap.y) + "; print");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(PrintedPage(lines[0]), tap.page) << lines[0] << " after a tap at " << tap.x << "," << tap.y;
  }
}

TEST_F(ViewerReflowMarksTest, TabFocusesTheReflowedLinkWhereItsWordIsAndReturnFollowsIt) {
  const ShownBox red = RedWord();
  ASSERT_FALSE(red.Empty());
  // Tab prints the link it focuses.
  const std::vector<std::string> lines = Run("tab; enter; idle; print");
  ASSERT_EQ(lines.size(), 2u);
  std::istringstream in(lines[0]);
  std::string focus, page, index;
  int pageNumber = -1, indexNumber = -1;
  ShownBox frame;
  in >> focus >> page >> pageNumber >> index >> indexNumber >> frame.x0 >> frame.y0 >> frame.x1 >> frame.y1;
  ASSERT_FALSE(in.fail()) << lines[0];
  EXPECT_EQ(pageNumber, 0);
  // The focused link's frame is around the word as shown, within the
  // height of its line.
  EXPECT_TRUE(Covers(frame, red)) << lines[0];
  EXPECT_LT(frame.y1 - frame.y0, 3 * (red.y1 - red.y0)) << lines[0];
  EXPECT_EQ(PrintedPage(lines[1]), 2) << lines[1];
}

TEST_F(ViewerReflowMarksTest, LinkFramesAreDrawnAroundTheWordWhereTheReflowPutIt) {
  const ShownBox red = RedWord();
  ASSERT_FALSE(red.Empty());
  auto isRed = [](int r, int g, int b) { return r >= 200 && g <= 80 && b <= 80; };
  // Links shown: white turned to (127, 127, 255).
  auto isShown = [](int r, int g, int b) { return r >= 100 && r <= 150 && g >= 100 && g <= 150 && b >= 230; };
  struct Case {
    const char* what;
    const char* script;
    bool focusFrame;
    bool shownFrame;
  };
  const Case cases[] = {
      {"the focused link", "tab", true, false},
      {"links shown", "showlinks on", false, true},
      {"links shown and hidden again", "showlinks on; idle; showlinks off", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string shot = folder_.path() + "/framed.png";
    Run(std::string(c.script) + "; idle; dump " + shot);
    testsupport::Picture picture;
    ASSERT_TRUE(testsupport::ReadPng(shot, picture));
    const ShownBox focus = PixelBounds(picture, isRed);
    const ShownBox shown = PixelBounds(picture, isShown);
    EXPECT_EQ(FramedBy(picture, focus, isRed), c.focusFrame);
    EXPECT_EQ(shown.Empty(), !c.shownFrame);
    const ShownBox frame = c.focusFrame ? focus : c.shownFrame ? shown : ShownBox{};
    if (frame.Empty()) {
      // Without a frame only the word itself is red.
      EXPECT_TRUE(Covers(red, focus)) << focus.x0 << "," << focus.y0 << " " << focus.x1 << "," << focus.y1;
      continue;
    }
    EXPECT_TRUE(FramedBy(picture, frame, c.focusFrame ? isRed : isShown));
    // Around the word as shown, within the height of its line.
    EXPECT_TRUE(Covers(frame, red)) << frame.x0 << "," << frame.y0 << " " << frame.x1 << "," << frame.y1;
    EXPECT_LT(frame.y1 - frame.y0, 3 * (red.y1 - red.y0));
    EXPECT_LT(frame.x1 - frame.x0, red.x1 - red.x0 + 12);
  }
}

TEST_F(ViewerReflowMarksTest, APenDragSelectsTheWordItCrossesAsShown) {
  const ShownBox red = RedWord();
  ASSERT_FALSE(red.Empty());
  const int y = (red.y0 + red.y1) / 2;
  const std::string left = std::to_string(red.x0 + 1), right = std::to_string(red.x1 - 1);
  // Either way across the word; the drawn page has other text where the
  // word is shown.
  const std::string drags[] = {left + " " + std::to_string(y) + " " + right + " " + std::to_string(y),
                               right + " " + std::to_string(y) + " " + left + " " + std::to_string(y)};
  for (const std::string& drag : drags) {
    SCOPED_TRACE(drag);
    const std::string shot = folder_.path() + "/selected.png";
    const std::vector<std::string> lines = Run("selectdrag " + drag + "; idle; selection; dump " + shot);
    ASSERT_EQ(lines.size(), 1u);
    int pageNumber = -1;
    ShownBox box;
    ASSERT_TRUE(ReadMarked(lines[0], pageNumber, box)) << lines[0];
    EXPECT_EQ(pageNumber, 0);
    EXPECT_TRUE(Covers(box, red)) << lines[0];
    EXPECT_LT(box.x1 - box.x0, red.x1 - red.x0 + 12) << lines[0];
    EXPECT_LT(box.y1 - box.y0, 3 * (red.y1 - red.y0)) << lines[0];
    // Marked where it is shown: the red letters inverted to cyan.
    testsupport::Picture picture;
    ASSERT_TRUE(testsupport::ReadPng(shot, picture));
    const ShownBox cyan = PixelBounds(picture, [](int r, int g, int b) { return r <= 80 && g >= 200 && b >= 200; });
    EXPECT_NEAR(cyan.x0, red.x0, 1);
    EXPECT_NEAR(cyan.x1, red.x1, 1);
  }
}

TEST_F(ViewerReflowMarksTest, ASearchMatchIsMarkedWhereTheReflowPutItsWord) {
  const ShownBox red = RedWord();
  ASSERT_FALSE(red.Empty());
  const std::string shot = folder_.path() + "/found.png";
  const std::vector<std::string> lines = Run("find beyond; next; idle; dump " + shot);
  ASSERT_FALSE(lines.empty());
  int pageNumber = -1;
  ShownBox box;
  ASSERT_TRUE(ReadMarked(lines[0], pageNumber, box)) << lines[0];
  EXPECT_EQ(pageNumber, 0);
  EXPECT_TRUE(Covers(box, red)) << lines[0];
  EXPECT_LT(box.x1 - box.x0, 3 * (red.x1 - red.x0)) << lines[0];
  // The mark inverts the word's box: the red letters turn cyan, the white
  // around them dark, and no red is left.
  testsupport::Picture picture;
  ASSERT_TRUE(testsupport::ReadPng(shot, picture));
  const ShownBox cyan = PixelBounds(picture, [](int r, int g, int b) { return r <= 80 && g >= 200 && b >= 200; });
  EXPECT_TRUE(PixelBounds(picture, [](int r, int g, int b) { return r >= 200 && g <= 80 && b <= 80; }).Empty());
  ASSERT_FALSE(cyan.Empty()) << "the match is not marked";
  EXPECT_NEAR(cyan.x0, red.x0, 1);
  EXPECT_NEAR(cyan.x1, red.x1, 1);
  // Letters' anti-aliased tops and feet are too light to count as red
  // or, inverted, as cyan.
  EXPECT_NEAR(cyan.y0, red.y0, 2);
  EXPECT_NEAR(cyan.y1, red.y1, 2);
}

}  // namespace
}  // namespace viewer
