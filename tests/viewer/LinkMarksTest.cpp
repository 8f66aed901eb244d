// Links as the viewer draws them on its pages: the border of a link
// without a usable appearance (its colour, width, dashes and style, or
// nothing), which the probe's render of the same page leaves out; the
// frames of shown links and the marking of the focused link; and the
// next-link and action keys, with the focused link kept in sight across
// zooming and turning. Each runs viewer-sim on a one-page document at
// 72 dpi and zoom 1, so that a point of the page is a pixel of the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/pdf/ProbeRunner.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"
#include "tests/support/SmallPdfFile.h"
#include "tests/viewer/ViewerSimRun.h"

namespace viewer {
namespace {

// The 250 x 600 page is centred in the 300 x 300 window with its top 6
// pixels down: page point (x, y) is window pixel (25 + x, 6 + 600 - y).
constexpr int kLeft = 25, kTop = 6, kPageHeight = 600;
constexpr int WindowX(int x) { return kLeft + x; }
constexpr int WindowY(int y) { return kTop + kPageHeight - y; }

// The link's rectangle on the page: [50 400 150 450].
constexpr int kLinkX0 = 50, kLinkY0 = 400, kLinkX1 = 150, kLinkY1 = 450;

struct Colour {
  int r = 0, g = 0, b = 0;
};

Colour PixelAt(const testsupport::Picture& p, int x, int y) {
  const uint8_t* px = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
  return {px[0], px[1], px[2]};
}

bool Close(const Colour& c, const Colour& want, int tolerance) {
  return std::abs(c.r - want.r) <= tolerance && std::abs(c.g - want.g) <= tolerance &&
         std::abs(c.b - want.b) <= tolerance;
}

constexpr Colour kWhite{255, 255, 255};

std::string Describe(const Colour& c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// One 250 x 600 page with the given annotations and a blank content;
// object 5 is a form filling its box with green, for appearances.
std::string LinkPagePdf(const std::string& annots, const std::string& content = "") {
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 250 600] /Contents 4 0 R /Annots [" + annots + "] >>",
      testsupport::StreamBody("", content),
      testsupport::StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 10 10]", "0 1 0 rg 0 0 10 10 re f"),
  });
}

std::string Link(const std::string& entries) {
  return "<< /Subtype /Link /Rect [" + std::to_string(kLinkX0) + " " + std::to_string(kLinkY0) + " " +
         std::to_string(kLinkX1) + " " + std::to_string(kLinkY1) + "] " + entries + " >>";
}

class LinkMarksTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Runs `script` on the document after the page is shown at zoom 1; the
  // lines it printed.
  std::vector<std::string> Script(const std::string& pdf, const std::string& script) {
    int status = -1;
    const std::string output =
        RunSim("'" + pdf + "' --dpi 72 --size 300x300 --script 'zoom 1.0; idle; " + script + "'", &status);
    EXPECT_EQ(status, 0) << output;
    return PrintedLines(output);
  }
  // The window after `script`.
  testsupport::Picture Shot(const std::string& pdf, const std::string& script = "") {
    const std::string png = folder_.path() + "/shot.png";
    std::remove(png.c_str());
    Script(pdf, script + (script.empty() ? "" : "; idle; ") + "dump " + png);
    testsupport::Picture picture;
    EXPECT_TRUE(testsupport::ReadPng(png, picture));
    return picture;
  }

  platform::testing::TempFolder folder_;
};

// Where a border shows: the pixels along the four edges of the link, and
// whether each one has the colour.
struct EdgeCount {
  int coloured = 0;
  int total = 0;
};

EdgeCount CountEdge(const testsupport::Picture& p, int x0, int y0, int x1, int y1, const Colour& colour) {
  EdgeCount count;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      ++count.total;
      count.coloured += Close(PixelAt(p, x, y), colour, 24);
    }
  }
  return count;
}

TEST_F(LinkMarksTest, ALinkWithoutAppearanceShowsItsBorderAsItsEntriesSay) {
  // The link's edge pixels: its outermost column on the left and row on
  // top (the 1-unit default border covers these only).
  const int left = WindowX(kLinkX0), right = WindowX(kLinkX1) - 1;
  const int top = WindowY(kLinkY1), bottom = WindowY(kLinkY0) - 1;
  const Colour black{0, 0, 0};
  struct Case {
    const char* name;
    std::string entries;
    bool border;
    Colour colour;
    // Border rows or columns from the edge inwards.
    int width;
    // Whether runs of the border's edge are left out (a dashed line).
    bool dashed;
    // Only the bottom edge (an underline).
    bool underline;
  };
  const std::vector<Case> cases = {
      {"no border entries: black, one unit", "", true, black, 1, false, false},
      {"a colour outside 0..1 wraps into it", "/C [1.25 0 -0.25]", true, {64, 0, 191}, 1, false, false},
      {"a colour of two entries: none", "/C [1 0]", false, {}, 0, false, false},
      {"a Border of width 0: none", "/Border [0 0 0]", false, {}, 0, false, false},
      {"a Border whose dashes are no array: none", "/Border [0 0 2 5]", false, {}, 0, false, false},
      {"a dashed Border two units wide", "/Border [0 0 2 [3 1]] /C [0 0 1]", true, {0, 0, 255}, 2, true, false},
      {"a Border with a negative dash: solid", "/Border [0 0 1 [3 -1]]", true, black, 1, false, false},
      {"a dashed style without dashes: 3 on, 3 off", "/BS << /S /D >>", true, black, 1, true, false},
      {"an underline style", "/BS << /S /U /W 2 >> /C [1 0 0]", true, {255, 0, 0}, 2, false, true},
      {"a style of width 0: none", "/BS << /W 0 >>", false, {}, 0, false, false},
      {"hidden: none", "/F 2", false, {}, 0, false, false},
      {"not for the screen: none", "/F 32", false, {}, 0, false, false},
      {"invisible with an appearance: the border instead", "/F 1 /AP << /N 5 0 R >>", true, black, 1, false, false},
      {"an appearance without N: nothing", "/AP << /D 5 0 R >>", false, {}, 0, false, false},
      {"a state N does not hold: nothing", "/AS /Off /AP << /N << /On 5 0 R >> >>", false, {}, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testsupport::Picture p = Shot(Write("link.pdf", LinkPagePdf(Link(c.entries))));
    ASSERT_EQ(p.width, 300);
    // Inside the border the page stays white.
    EXPECT_TRUE(Close(PixelAt(p, (left + right) / 2, (top + bottom) / 2), kWhite, 0));
    EXPECT_TRUE(Close(PixelAt(p, left - 1, (top + bottom) / 2), kWhite, 0)) << "outside the link";
    const EdgeCount bottomEdge = CountEdge(p, left + 4, bottom, right - 4, bottom, c.colour);
    const EdgeCount leftEdge = CountEdge(p, left, top + 4, left, bottom - 4, c.colour);
    if (!c.border) {
      EXPECT_TRUE(Close(PixelAt(p, left, (top + bottom) / 2), kWhite, 0)) << Describe(PixelAt(p, left, 220));
      EXPECT_TRUE(Close(PixelAt(p, (left + right) / 2, top), kWhite, 0));
      continue;
    }
    if (c.dashed) {
      // Both on and off runs along the edge: pixels wholly in a dash, and
      // pixels wholly in a gap.
      const EdgeCount white = CountEdge(p, left + 4, bottom, right - 4, bottom, kWhite);
      EXPECT_GE(bottomEdge.coloured, bottomEdge.total / 4);
      EXPECT_GE(white.coloured, bottomEdge.total / 8);
    } else {
      EXPECT_EQ(bottomEdge.coloured, bottomEdge.total) << Describe(PixelAt(p, (left + right) / 2, bottom));
    }
    if (c.underline) {
      EXPECT_EQ(leftEdge.coloured, 0) << "an underline draws no side";
      EXPECT_TRUE(Close(PixelAt(p, (left + right) / 2, top), kWhite, 0));
    } else if (!c.dashed) {
      EXPECT_EQ(leftEdge.coloured, leftEdge.total);
    }
    // The border is as wide as its entries say, inwards from the edge.
    const Colour inside = PixelAt(p, (left + right) / 2, bottom - c.width);
    EXPECT_TRUE(Close(inside, kWhite, 0)) << "row " << c.width << " in: " << Describe(inside);
    if (c.width == 2 && !c.dashed) {
      EXPECT_EQ(CountEdge(p, left + 4, bottom - 1, right - 4, bottom - 1, c.colour).coloured,
                bottomEdge.total);
    }
  }
}

TEST_F(LinkMarksTest, AnAppearanceIsDrawnInsteadOfTheBorderAndTheProbeDrawsNoBorder) {
  const int left = WindowX(kLinkX0), top = WindowY(kLinkY1);
  const testsupport::Picture withAppearance = Shot(Write("ap.pdf", LinkPagePdf(Link("/AP << /N 5 0 R >>"))));
  EXPECT_TRUE(Close(PixelAt(withAppearance, left, top + 20), {0, 255, 0}, 8))
      << Describe(PixelAt(withAppearance, left, top + 20));

  // The probe renders pages as other tools do: without link borders.
  const std::string pdf = Write("plain.pdf", LinkPagePdf(Link("/C [1 0 0]")));
  const std::string png = folder_.path() + "/probe.png";
  pdftest::RunProbe("render '" + pdf + "' 1 --dpi 72 -o '" + png + "'");
  testsupport::Picture probe;
  ASSERT_TRUE(testsupport::ReadPng(png, probe));
  ASSERT_EQ(probe.width, 250);
  EXPECT_TRUE(Close(PixelAt(probe, kLinkX0, kPageHeight - kLinkY1 + 20), kWhite, 0));
  // The viewer draws it.
  EXPECT_TRUE(Close(PixelAt(Shot(pdf), left, top + 20), {255, 0, 0}, 8));
}

TEST_F(LinkMarksTest, ALinkWithABrokenRectangleHarmsNeitherTheOthersNorTheKeys) {
  const std::string pdf =
      Write("broken.pdf", LinkPagePdf("<< /Subtype /Link /Rect [1 2] /C [0 0 1] >> " + Link("/C [1 0 0]") +
                                      " << /Subtype /Link /Rect [0 0 1e30 -1e30] >>"));
  const testsupport::Picture p = Shot(pdf, "showlinks on; tab; enter; showlinks off");
  ASSERT_EQ(p.width, 300);
  EXPECT_TRUE(Close(PixelAt(p, WindowX(kLinkX0), WindowY(kLinkY1) + 20), {255, 0, 0}, 8));
}

// Two pages: on the first, three links whose "Annots" order differs from
// their reading order: B (top right), A (top left, same top) and C (low on
// the page, below the window at zoom 1). A goes to the second page.
std::string ThreeLinksPdf() {
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 250 600] /Contents 4 0 R /Annots ["
      "<< /Subtype /Link /Rect [150 500 230 540] /Border [0 0 0] /Dest [3 0 R /XYZ 0 300 0] >> "
      "<< /Subtype /Link /Rect [20 500 80 540] /Border [0 0 0] /Dest [5 0 R /Fit] >> "
      "<< /Subtype /Link /Rect [20 100 80 140] /Border [0 0 0] /Dest [5 0 R /Fit] >>] >>",
      testsupport::StreamBody("", ""),
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 250 600] /Contents 4 0 R >>",
  });
}

// A "focus page P index I X0 Y0 X1 Y1" line.
struct FocusLine {
  int page = -1, index = -1;
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

FocusLine ParseFocus(const std::string& line) {
  FocusLine f;
  std::istringstream in(line);
  std::string word;
  in >> word >> word >> f.page >> word >> f.index >> f.x0 >> f.y0 >> f.x1 >> f.y1;
  return f;
}

TEST_F(LinkMarksTest, TheNextLinkKeyGoesThroughTheLinksOnScreenInReadingOrderAndTheActionKeyFollows) {
  const std::string pdf = Write("links.pdf", ThreeLinksPdf());
  const std::vector<std::string> lines = Script(pdf, "focus; tab; tab; tab; enter; idle; print");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "focus none");
  // Left before right on the same top; the link below the window is
  // passed over, and after the last link on screen the first comes again.
  EXPECT_EQ(lines[1], "focus page 0 index 1 45 66 105 106");
  EXPECT_EQ(lines[2], "focus page 0 index 0 175 66 255 106");
  EXPECT_EQ(lines[3], "focus page 0 index 1 45 66 105 106");
  EXPECT_EQ(lines[4].rfind("page 1 ", 0), 0u) << lines[4];
}

TEST_F(LinkMarksTest, TheFocusedLinkStaysInTheWindowWhenTheViewIsZoomedOrTurned) {
  const std::string pdf = Write("links.pdf", ThreeLinksPdf());
  struct Case {
    const char* name;
    const char* change;
  };
  // Zooming in about the centre alone would take the top-right link out of
  // the window.
  for (const Case& c : std::vector<Case>{{"three zoom steps", "zoomin; zoomin; zoomin"},
                                         {"a quarter turn", "zoomin; zoomin; rotr"},
                                         {"single page layout", "zoomin; zoomin; command 117"}}) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> lines = Script(pdf, std::string("tab; tab; ") + c.change + "; idle; focus");
    ASSERT_EQ(lines.size(), 3u);
    const FocusLine f = ParseFocus(lines[2]);
    EXPECT_EQ(f.index, 0) << lines[2];
    EXPECT_GE(f.x0, 0) << lines[2];
    EXPECT_GE(f.y0, 0) << lines[2];
    EXPECT_LE(f.x1, 300) << lines[2];
    EXPECT_LE(f.y1, 300) << lines[2];
    // 80 x 40 at zoom 1, larger now (turned or not).
    EXPECT_GT(std::max(f.x1 - f.x0, f.y1 - f.y0), 80) << "zoomed: " << lines[2];
  }
}

TEST_F(LinkMarksTest, ShownLinksAreFramedAndTheFocusedLinkIsMarkedInItsColour) {
  const std::string pdf = Write("links.pdf", ThreeLinksPdf());
  // A at window (45, 66)-(105, 106), B at (175, 66)-(255, 106).
  const Colour red{255, 0, 0}, shown{127, 127, 255}, black{0, 0, 0};
  struct Probe {
    int x, y;
    Colour colour;
  };
  struct Case {
    const char* name;
    const char* script;
    std::vector<Probe> probes;
  };
  const std::vector<Case> cases = {
      {"nothing marked before a key",
       "",
       {{45, 80, kWhite}, {175, 80, kWhite}}},
      {"the focused link framed red, two pixels wide",
       "tab",
       {{45, 80, red}, {46, 80, red}, {47, 80, kWhite}, {75, 66, red}, {75, 67, red}, {75, 68, kWhite},
        {104, 80, red}, {102, 80, kWhite}, {75, 105, red}, {75, 86, kWhite}, {175, 80, kWhite}}},
      {"links shown: the others framed too",
       "showlinks on; tab",
       {{45, 80, red}, {175, 80, shown}, {176, 80, shown}, {177, 80, kWhite}, {254, 80, shown}}},
      {"links shown and hidden again",
       "showlinks on; showlinks off",
       {{45, 80, kWhite}, {175, 80, kWhite}}},
      {"the focus moved: the old link unmarked",
       "tab; tab",
       {{45, 80, kWhite}, {175, 80, red}}},
      {"held down with the pen: filled",
       "pendown 75 86",
       {{75, 86, black}, {50, 100, black}, {45, 80, black}, {110, 86, kWhite}}},
      {"the marks move with the page",
       "tab; linedown",
       {{45, 80 - 36, red}, {47, 80 - 36, kWhite}, {75, 66 - 36, red}, {75, 68 - 36, kWhite}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testsupport::Picture p = Shot(pdf, c.script);
    ASSERT_EQ(p.width, 300);
    for (const Probe& probe : c.probes) {
      const Colour got = PixelAt(p, probe.x, probe.y);
      EXPECT_TRUE(Close(got, probe.colour, 8)) << probe.x << "," << probe.y << ": " << Describe(got);
    }
  }
}

}  // namespace
}  // namespace viewer
