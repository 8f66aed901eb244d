// The viewer's reflow mode through viewer-sim scripts: a short page and a
// page whose one long line is wider than the screen, shown reflowed on a
// screen 240 pixels wide. The long line is broken into several within the
// screen, the pages sit on white with no frame, border or shadow, and a
// dashed line parts them. The reflow cache is checked beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pdf/Document.h"
#include "pdf/PageInfoTable.h"
#include "runtime/RecordCache.h"
#include "runtime/LibraryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/PngPicture.h"
#include "tests/viewer/ViewerSimRun.h"
#include "tests/viewer/ViewerTestDocuments.h"
#include "fonts/DocumentFontSource.h"
#include "viewer/DocumentPageSizes.h"
#include "viewer/PageLayout.h"
#include "viewer/ReflowPageSizes.h"
#include "viewer/ReflowPages.h"

namespace viewer {
namespace {

using runtime::FixedFromInt;

const char kShortPage[] = "BT /F1 12 Tf 72 700 Td (Short first page.) Tj ET";
// About 560 points of text on one line: more than twice the column.
const char kLongLine[] =
    "BT /F1 12 Tf 30 700 Td (The quick brown fox jumps over the lazy dog and keeps on running far beyond the edge "
    "of any narrow screen) Tj ET";

struct Rgb {
  int r, g, b;
};

Rgb PixelAt(const testsupport::Picture& p, int x, int y) {
  const uint8_t* q = &p.rgb[(static_cast<size_t>(y) * p.width + x) * 3];
  return {q[0], q[1], q[2]};
}

bool IsInk(const Rgb& c) { return c.r + c.g + c.b < 3 * 100; }
bool IsWhite(const Rgb& c) { return c.r >= 250 && c.g >= 250 && c.b >= 250; }
// Mid grey, as the screen's 16-bit pixels give it.
bool IsDash(const Rgb& c) {
  return c.r >= 100 && c.r <= 160 && std::abs(c.r - c.g) <= 4 && std::abs(c.g - c.b) <= 4;
}

// Runs of rows holding ink: the text lines shown.
std::vector<std::pair<int, int>> InkBands(const testsupport::Picture& p) {
  std::vector<std::pair<int, int>> bands;
  for (int y = 0; y < p.height; ++y) {
    bool ink = false;
    for (int x = 0; x < p.width && !ink; ++x) ink = IsInk(PixelAt(p, x, y));
    if (!ink) continue;
    if (!bands.empty() && bands.back().second == y) {
      bands.back().second = y + 1;
    } else {
      bands.push_back({y, y + 1});
    }
  }
  return bands;
}

// A row whose pixels go two dash-grey, two white, across most of the
// screen: the line between two reflowed pages.
bool IsStripRow(const testsupport::Picture& p, int y) {
  int dashes = 0;
  for (int x = 0; x + 4 <= p.width; x += 4) {
    const bool on = IsDash(PixelAt(p, x, y)) && IsDash(PixelAt(p, x + 1, y));
    const bool off = IsWhite(PixelAt(p, x + 2, y)) && IsWhite(PixelAt(p, x + 3, y));
    const bool shifted = IsWhite(PixelAt(p, x, y)) && IsWhite(PixelAt(p, x + 1, y)) &&
                         IsDash(PixelAt(p, x + 2, y)) && IsDash(PixelAt(p, x + 3, y));
    if ((on && off) || shifted) ++dashes;
  }
  return dashes >= p.width / 4 - 8;
}

class ViewerReflowTest : public ::testing::Test {
 protected:
  std::vector<std::string> Script(const std::string& pdf, const std::string& script, const std::string& options) {
    int status = -1;
    const std::string output = RunSim("'" + pdf + "' " + options + " --script '" + script + "'", &status);
    EXPECT_EQ(status, 0) << output;
    return PrintedLines(output);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  platform::testing::TempFolder folder_;
};

TEST_F(ViewerReflowTest, ReflowBreaksTheLongLineWithinTheScreenOnWhite) {
  const std::string pdf = Write("reflow.pdf", viewertest::TextPages({{kShortPage, ""}, {kLongLine, ""}}));
  const std::string drawn = folder_.path() + "/drawn.png";
  const std::string reflowed = folder_.path() + "/reflowed.png";
  const std::vector<std::string> lines =
      Script(pdf, "idle; command 119; idle; print; dump " + reflowed + "; command 118; zoom 0.8; idle; dump " + drawn,
             "--options 8 --dpi 96 --size 240x320");
  ASSERT_FALSE(lines.empty());
  // Entering the reflow from fit width, below 0.8, raises the zoom to 0.8
  // as an explicit zoom.
  EXPECT_NE(lines.front().find("zoom 0xCCCC"), std::string::npos) << lines.front();
  EXPECT_NE(lines.front().find("mode 0"), std::string::npos) << lines.front();

  testsupport::Picture asDrawn, shown;
  ASSERT_TRUE(testsupport::ReadPng(drawn, asDrawn));
  ASSERT_TRUE(testsupport::ReadPng(reflowed, shown));
  ASSERT_EQ(shown.width, 240);
  // As drawn, the page is wider than the screen: its left edge and border
  // show, and its first line runs off the right edge.
  // Reflowed, the short page's line and the long line broken in three or
  // more lines, all on white.
  const std::vector<std::pair<int, int>> bands = InkBands(shown);
  ASSERT_GE(bands.size(), 4u) << "the long line was not broken within the screen";
  for (int y = bands.front().first; y < bands.back().second; ++y) {
    // No frame, border or shadow: beside the text the screen is white
    // from edge to edge (short pages are centred, grey above and below).
    for (int x : {0, 1, 2, shown.width - 1})
      EXPECT_TRUE(IsWhite(PixelAt(shown, x, y)) || IsStripRow(shown, y)) << "row " << y << " column " << x;
  }
  // A dashed line between the short page and the long line's first part.
  bool strip = false;
  for (int y = bands[0].second; y < bands[1].first && !strip; ++y) strip = IsStripRow(shown, y);
  EXPECT_TRUE(strip) << "no dashed line between the pages";
  // The drawn page's one line touches the screen's right edge; no
  // reflowed line does.
  auto reachesRight = [](const testsupport::Picture& p, int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = p.width - 12; x < p.width; ++x)
        if (IsInk(PixelAt(p, x, y))) return true;
    return false;
  };
  bool drawnReaches = false;
  for (const auto& band : InkBands(asDrawn)) drawnReaches = drawnReaches || reachesRight(asDrawn, band.first, band.second);
  EXPECT_TRUE(drawnReaches) << "the fixture's line must be wider than the screen as drawn";
  for (const auto& band : bands) EXPECT_FALSE(reachesRight(shown, band.first, band.second)) << band.first;
}

TEST_F(ViewerReflowTest, TheLineBetweenPagesComesFromOneStripBitmap) {
  // Three short reflowed pages, painted, scrolled a line and painted
  // again: every dashed line is drawn from one 300 x 1 strip made once,
  // and a line shows the same pixels wherever it lands.
  const std::string pdf =
      Write("strips.pdf", viewertest::TextPages({{kShortPage, ""}, {kShortPage, ""}, {kShortPage, ""}}));
  const std::string a = folder_.path() + "/a.png", b = folder_.path() + "/b.png";
  int status = -1;
  const std::string output = RunSim("'" + pdf + "' --options 8 --dpi 96 --size 240x320 --script 'idle; command 119; idle; dump " +
                                        a + "; linedown; idle; dump " + b + "'",
                                    &status);
  ASSERT_EQ(status, 0) << output;
  size_t strips = 0;
  for (size_t at = output.find("CreateBitmap 300 1"); at != std::string::npos;
       at = output.find("CreateBitmap 300 1", at + 1))
    ++strips;
  EXPECT_EQ(strips, 1u) << output;
  testsupport::Picture before, after;
  ASSERT_TRUE(testsupport::ReadPng(a, before));
  ASSERT_TRUE(testsupport::ReadPng(b, after));
  std::vector<int> rowsBefore, rowsAfter;
  for (int y = 0; y < before.height; ++y)
    if (IsStripRow(before, y)) rowsBefore.push_back(y);
  for (int y = 0; y < after.height; ++y)
    if (IsStripRow(after, y)) rowsAfter.push_back(y);
  ASSERT_GE(rowsBefore.size(), 2u);
  ASSERT_FALSE(rowsAfter.empty());
  auto row = [](const testsupport::Picture& p, int y) {
    return std::vector<uint8_t>(p.rgb.begin() + static_cast<ptrdiff_t>(y) * p.width * 3,
                                p.rgb.begin() + static_cast<ptrdiff_t>(y + 1) * p.width * 3);
  };
  for (int y : rowsBefore) EXPECT_EQ(row(before, y), row(before, rowsBefore.front())) << y;
  for (int y : rowsAfter) EXPECT_EQ(row(after, y), row(before, rowsBefore.front())) << y;
}

TEST_F(ViewerReflowTest, ReflowedLengthsAreRememberedInTheApplicationsLayoutRecords) {
  // Drawn pages remember no length; the reflowed ones that were laid out
  // do, in the application's cache.
  const std::string pdf =
      Write("lengths.pdf", viewertest::TextPages({{kShortPage, ""}, {kLongLine, ""}, {kShortPage, ""}}));
  const std::vector<std::string> lines =
      Script(pdf, "idle; records; command 119; idle; records", "--options 8 --dpi 96 --size 240x320");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "records layout 0 render 0");
  EXPECT_EQ(lines[1], "records layout 3 render 0");
}

TEST(ReflowPagesTest, PagesAreKeptWhileTheColumnKeepsItsWidth) {
  // Asking again for a kept page reflows nothing; a new column width
  // reflows it anew and longer; a page with nothing on it still has the
  // least length, and a page that cannot be loaded has no model.
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  const std::string bytes = viewertest::TextPages({{kLongLine, ""}, {"", ""}}, "", {});
  pdftest::OpenDocument document(&context, bytes);
  fonts::DocumentFontSource fonts(*document);
  ReflowPages pages(&context, *document, &fonts);
  pages.SetColumn(FixedFromInt(300), FixedFromInt(400));
  const runtime::Fixed wide = pages.Length(0);
  ASSERT_NE(pages.Model(0), nullptr);
  EXPECT_EQ(pages.Builds(), 1u);
  pages.SetColumn(FixedFromInt(100), FixedFromInt(400));
  const runtime::Fixed narrow = pages.Length(0);
  EXPECT_EQ(pages.Builds(), 2u);
  EXPECT_GT(narrow, wide);
  EXPECT_EQ(pages.Length(1), ReflowPages::kMinLength);
  EXPECT_EQ(pages.Model(5), nullptr);
  EXPECT_EQ(pages.Length(5), ReflowPages::kMinLength);
}

TEST(ReflowPagesTest, AHeldPageOutlivesANewColumnAndAFullCache) {
  // A render thread paints from a held model while the layout changes the
  // column and reflows more pages than are kept: the held model stays
  // whole, and every kept page being held leaves a new page without one.
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  std::vector<viewertest::TextPage> many(ReflowPages::kKeptPages + 2, viewertest::TextPage{kLongLine, ""});
  const std::string bytes = viewertest::TextPages(many);
  pdftest::OpenDocument document(&context, bytes);
  fonts::DocumentFontSource fonts(*document);
  ReflowPages pages(&context, *document, &fonts);
  pages.SetColumn(FixedFromInt(100), FixedFromInt(400));
  {
    const ReflowPages::Hold held(pages, 0);
    ASSERT_NE(held.Model(), nullptr);
    const runtime::Fixed height = held.Model()->Height();
    pages.SetColumn(FixedFromInt(300), FixedFromInt(400));
    for (int32_t page = 1; page < static_cast<int32_t>(many.size()); ++page) EXPECT_NE(pages.Model(page), nullptr);
    EXPECT_EQ(held.Model()->Height(), height);
    EXPECT_EQ(held.Model()->ViewWidth(), FixedFromInt(100));
  }
  std::vector<std::unique_ptr<ReflowPages::Hold>> holds;
  for (int32_t page = 0; page < static_cast<int32_t>(ReflowPages::kKeptPages); ++page)
    holds.push_back(std::make_unique<ReflowPages::Hold>(pages, page));
  for (const auto& hold : holds) EXPECT_NE(hold->Model(), nullptr);
  EXPECT_EQ(pages.Model(ReflowPages::kKeptPages), nullptr);
  holds.clear();
  EXPECT_NE(pages.Model(ReflowPages::kKeptPages), nullptr);
}

TEST(ReflowPagesTest, APageWithNothingToReflowIsLaidOutAsDrawn) {
  // The page-flag map: a page is taken as reflowed until it is reflowed
  // and found empty; from then on the layout gives it its drawn size, and
  // asking again reflows nothing. A page with text keeps its column.
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  const std::string bytes = viewertest::TextPages({{kShortPage, ""}, {"", ""}, {kLongLine, ""}});
  pdftest::OpenDocument document(&context, bytes);
  fonts::DocumentFontSource fonts(*document);
  ReflowPages pages(&context, *document, &fonts);
  pages.SetColumn(FixedFromInt(200), FixedFromInt(300));
  EXPECT_NE(pages.PageFlag(1, false), 0) << "not known yet: reflowed";
  EXPECT_EQ(pages.Builds(), 0u);
  EXPECT_EQ(pages.PageFlag(1, true), 0);
  EXPECT_NE(pages.PageFlag(0, true), 0);
  EXPECT_NE(pages.PageFlag(2, true), 0);
  const uint32_t builds = pages.Builds();
  EXPECT_EQ(pages.PageFlag(1, true), 0);
  EXPECT_EQ(pages.Builds(), builds);

  // Through the page grid in the continuous reflow mode: pages 0 and 2 are
  // columns 200 points wide, page 1 is the drawn 612 x 792 page.
  pdf::PageInfoTable table(&context, *document, 3);
  table.AvailablePages().Add(0, 3);
  DocumentPageSizes drawn(table);
  ReflowPageSizes sizes(drawn, pages);
  PageLayout layout(&context);
  PageLayoutParams params;
  params.view.width = 2000;
  params.view.height = 4000;
  params.layoutMode = 5;
  params.zoomMode = kZoomExplicit;
  params.zoom = runtime::kFixedOne;
  params.scaleX = params.scaleY = runtime::kFixedOne;
  layout.ComputeWithScrollBars(sizes, params);
  ASSERT_TRUE(layout.IsPageInRange(0) && layout.IsPageInRange(1) && layout.IsPageInRange(2));
  auto size = [&](int32_t page) {
    const runtime::Rect64 r = layout.PageRect(page);
    return std::pair<int64_t, int64_t>{r.x1 - r.x0, r.y1 - r.y0};
  };
  EXPECT_EQ(size(0).first, 200);
  EXPECT_EQ(size(2).first, 200);
  EXPECT_EQ(size(1), (std::pair<int64_t, int64_t>{612, 792}));
}

TEST(ReflowPagesTest, KnownLengthsOutliveTheKeptPagesUnderTheirKey) {
  // A length reflowed once is remembered under its page, column and
  // rotation: the page dropped from the kept pages gives its length again
  // without a reflow, another column or rotation reflows, and another
  // document's pages never read it.
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  runtime::RecordCache known(&context);
  const std::string bytes = viewertest::TextPages({{kLongLine, ""}, {kShortPage, ""}});
  pdftest::OpenDocument document(&context, bytes);
  fonts::DocumentFontSource fonts(*document);
  ReflowPages pages(&context, *document, &fonts);
  pages.SetKnownLengths(&known);
  pages.SetColumn(FixedFromInt(100), FixedFromInt(400));
  EXPECT_EQ(pages.KnownLength(0), ReflowPages::kUnknownLength);
  EXPECT_EQ(pages.Builds(), 0u);
  const runtime::Fixed narrow = pages.Length(0);
  EXPECT_EQ(pages.Builds(), 1u);
  EXPECT_EQ(pages.KnownLength(0), narrow);
  // Another column drops the kept page; coming back finds the length.
  pages.SetColumn(FixedFromInt(300), FixedFromInt(400));
  EXPECT_EQ(pages.KnownLength(0), ReflowPages::kUnknownLength);
  const runtime::Fixed wide = pages.Length(0);
  EXPECT_EQ(pages.Builds(), 2u);
  EXPECT_LT(wide, narrow);
  pages.SetColumn(FixedFromInt(100), FixedFromInt(400));
  EXPECT_EQ(pages.Length(0), narrow);
  EXPECT_EQ(pages.Builds(), 2u);
  // A turned view is another key.
  pages.SetKeyParts(0, 90);
  EXPECT_EQ(pages.KnownLength(0), ReflowPages::kUnknownLength);
  pages.SetKeyParts(0, 0);
  EXPECT_EQ(pages.KnownLength(0), narrow);

  ReflowPages other(&context, *document, &fonts);
  other.SetKnownLengths(&known);
  other.SetColumn(FixedFromInt(100), FixedFromInt(400));
  EXPECT_EQ(other.KnownLength(0), ReflowPages::kUnknownLength);
}

}  // namespace
}  // namespace viewer
