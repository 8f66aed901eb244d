// Painting reflowed pages: a page that states its own unit reflows and
// paints as the same page drawn at twice the size in points, and the
// pictures the reflow placed (images among words, segments laid out
// whole) are painted where it put them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/ReflowPage.h"
#include "content/ReflowPainter.h"
#include "fonts/DocumentFontSource.h"
#include "fonts/DocumentTextFontSource.h"
#include "runtime/LibraryContext.h"
#include "tests/content/PagePixelSink.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using runtime::FixedFromInt;

// A one-page file: `pageEntries` in the page dictionary, `content` its
// stream, Helvetica as /F1.
std::string OnePage(const std::string& pageEntries, const std::string& content) {
  return testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R " + pageEntries + " /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>",
      testsupport::StreamBody("", content),
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
  });
}

struct ReflowedPage {
  contenttest::PagePixelSink pixels;
  content::PageRenderer::Result result;
  std::vector<std::string> lines;
};

// Reflows the file's first page into a column `viewPoints` wide, lines
// spaced for text of `fontSize` page units (or in `segments` when given),
// and paints it at 72 dpi. `check` sees the model before it goes.
template <class Check = void (*)(const content::ReflowModel&)>
void ReflowAndPaint(const std::string& file, int viewPoints, int fontSize, ReflowedPage& out,
                    const std::vector<content::ReflowSegment>& segments = {},
                    Check check = [](const content::ReflowModel&) {}) {
  runtime::LibraryContext context;
  context.memory.SetBudget(runtime::kNoLimit);
  pdftest::OpenDocument document(&context, file);
  fonts::DocumentFontSource fonts(*document);
  fonts::DocumentTextFontSource unicode(*document);
  content::ReflowPage page(&context, *document, 0, &fonts, &unicode, FixedFromInt(viewPoints), FixedFromInt(400));
  if (segments.empty()) {
    page.Build(content::ReflowPage::PageStyle(FixedFromInt(fontSize)));
  } else {
    page.Build(segments.data(), static_cast<uint32_t>(segments.size()));
  }
  const content::ReflowModel& model = page.Model();
  for (const content::TextLine& line : model.TextLines()) {
    std::string text;
    for (uint32_t i = line.first; i < line.first + line.count; ++i) text += static_cast<char>(model.Text()[i]);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out.lines.push_back(text);
  }
  color::ColorContext colors(&context, &*document);
  content::ReflowPainter painter(*document, colors, &fonts);
  out.result = painter.Render(0, model, 72.0, out.pixels, nullptr);
  check(model);
}

// The rows and columns that hold a pixel darker than mid grey.
struct Ink {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  int count = 0;
};

Ink InkOf(const ReflowedPage& page) {
  Ink ink;
  for (int y = 0; y < page.result.height; ++y)
    for (int x = 0; x < page.result.width; ++x) {
      const contenttest::PagePixelSink::Rgb p = page.pixels.At(x, y);
      if (p[0] + p[1] + p[2] >= 3 * 128) continue;
      ink.x0 = std::min(ink.x0, x), ink.y0 = std::min(ink.y0, y);
      ink.x1 = std::max(ink.x1, x), ink.y1 = std::max(ink.y1, y);
      ++ink.count;
    }
  return ink;
}

TEST(ReflowPainterTest, PageWithItsOwnUnitReflowsAsThePageDrawnInPoints) {
  // The same text on a page of 2-point units at size 10, and on a page of
  // points at size 20, everything else doubled: the same lines in a column
  // 150 points wide, painted at the same size in the same place.
  const std::string text = "(Reflowed text keeps the size it has on its page) Tj";
  ReflowedPage units, points;
  ReflowAndPaint(OnePage("/MediaBox [0 0 150 200] /UserUnit 2", "BT /F1 10 Tf 10 180 Td " + text + " ET"), 150, 10,
                 units);
  ReflowAndPaint(OnePage("/MediaBox [0 0 300 400]", "BT /F1 20 Tf 20 360 Td " + text + " ET"), 150, 20, points);
  ASSERT_FALSE(units.result.failed);
  ASSERT_FALSE(points.result.failed);
  ASSERT_GT(points.lines.size(), 1u) << "the column must break the text for the test to mean anything";
  EXPECT_EQ(units.lines, points.lines);
  EXPECT_EQ(units.result.width, 150);
  EXPECT_EQ(units.result.width, points.result.width);
  EXPECT_NEAR(units.result.height, points.result.height, 1);
  const Ink a = InkOf(units), b = InkOf(points);
  ASSERT_GT(b.count, 0);
  EXPECT_NEAR(a.x0, b.x0, 1);
  EXPECT_NEAR(a.x1, b.x1, 1);
  EXPECT_NEAR(a.y0, b.y0, 1);
  EXPECT_NEAR(a.y1, b.y1, 1);
  EXPECT_NEAR(a.count, b.count, b.count / 20);
}

// The device pixels of a picture run's page-space `box` as the reflow
// placed it, at 72 dpi (reflow y grows upwards from the column's top).
runtime::IntRect PlacedPixels(const content::RunRecord& run, const runtime::Rect& box) {
  const runtime::Rect placed = runtime::Matrix::TransformRectBounds(box, run.placement);
  const auto at = [](runtime::Fixed v) { return static_cast<int32_t>(std::lround(runtime::FixedToDouble(v))); };
  return {at(placed.x0), at(-placed.y1), at(placed.x1), at(-placed.y0)};
}

bool IsRed(const contenttest::PagePixelSink::Rgb& p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; }

// Red pixels inside `rect` and outside it (a pixel's margin left out).
struct RedCount {
  int inside = 0;
  int outside = 0;
};

RedCount CountRed(const ReflowedPage& page, const runtime::IntRect& rect) {
  RedCount count;
  for (int y = 0; y < page.result.height; ++y)
    for (int x = 0; x < page.result.width; ++x) {
      if (!IsRed(page.pixels.At(x, y))) continue;
      if (x >= rect.x0 && x < rect.x1 && y >= rect.y0 && y < rect.y1) {
        ++count.inside;
      } else if (x < rect.x0 - 1 || x > rect.x1 || y < rect.y0 - 1 || y > rect.y1) {
        ++count.outside;
      }
    }
  return count;
}

TEST(ReflowPainterTest, PicturesArePaintedWhereTheReflowPlacedThem) {
  // An image among words, and a segment laid out whole (a red rectangle
  // drawn before its text, the text over it) scaled into the column: each
  // is painted red over the area its placement gives, and nowhere else.
  struct Case {
    const char* what;
    std::string content;
    bool segment;
    runtime::Rect box;  // the picture's page-space area
  };
  const std::string redPixel("\xff\x00\x00", 3);
  const Case cases[] = {
      {"image among text",
       "BT /F1 10 Tf 20 700 Td (ab) Tj ET q 20 0 0 10 35 700 cm BI /W 1 /H 1 /BPC 8 /CS /RGB ID " + redPixel +
           " EI Q BT /F1 10 Tf 60 700 Td (cd) Tj ET",
       false, runtime::Rect{FixedFromInt(35), FixedFromInt(700), FixedFromInt(55), FixedFromInt(710)}},
      // Operations 1 to 5 the text, 6 to 13 the picture.
      {"segment laid out whole",
       "BT /F1 10 Tf 20 700 Td (ab) Tj ET 1 0 0 rg 0 0 300 90 re f BT 0 g /F1 20 Tf 20 40 Td (cd) Tj ET", true,
       runtime::Rect{0, 0, FixedFromInt(300), FixedFromInt(90)}},
  };
  for (const Case& c : cases) {
    std::vector<content::ReflowSegment> segments;
    if (c.segment) {
      segments.resize(2);
      segments[0].range.end.operation = 5;
      segments[0].range.end.string = 0xFFFFFFFFu;
      segments[1].range.start.operation = 6;
      segments[1].range.end = content::ReflowSegment::WholePage(0).end;
      segments[0].style = segments[1].style = content::ReflowPage::PageStyle(FixedFromInt(10));
      segments[1].style.kind = content::ReflowStyle::kPictureKind;
      segments[1].box = c.box;
    }
    ReflowedPage page;
    runtime::IntRect picture{};
    ReflowAndPaint(OnePage("/MediaBox [0 0 400 800]", c.content), 210, 10, page, segments,
                   [&](const content::ReflowModel& model) {
                     for (const content::RunRecord* run : model.Runs())
                       if (run->placed && run->entries.Size() == 1 && run->start.operation >= 6 &&
                           run->start.operation <= 9)
                         picture = PlacedPixels(*run, c.box);
                   });
    ASSERT_FALSE(page.result.failed) << c.what;
    ASSERT_FALSE(picture.IsEmpty()) << c.what;
    const int area = (picture.x1 - picture.x0) * (picture.y1 - picture.y0);
    const RedCount red = CountRed(page, picture);
    EXPECT_EQ(red.outside, 0) << c.what;
    if (c.segment) {
      // The text drawn over the rectangle takes some of it.
      EXPECT_GT(red.inside, area * 3 / 4) << c.what;
      EXPECT_LT(red.inside, area) << c.what;
    } else {
      EXPECT_GE(red.inside, area - 1) << c.what;
    }
  }
}

}  // namespace

namespace {

TEST(ReflowPainterTest, AFakeBoldRepeatIsPaintedOverItsReflowedStringKeepingItsOffset) {
  // The same string drawn twice, the second 0.6 points right of the
  // first (a fake bold), and once: both reflow into the same lines, and
  // the bold one is painted twice, so its ink is wider by the offset and
  // covers more pixels; no ink strays outside the lines' rows.
  const std::string words = "(Bold words that the column breaks) Tj ET";
  ReflowedPage once, bold;
  ReflowAndPaint(OnePage("/MediaBox [0 0 300 200]", "BT /F1 20 Tf 10 150 Td " + words), 120, 20, once);
  ReflowAndPaint(OnePage("/MediaBox [0 0 300 200]",
                         "BT /F1 20 Tf 10 150 Td " + words + " BT /F1 20 Tf 10.6 150 Td " + words),
                 120, 20, bold, {}, [](const content::ReflowModel& model) {
                   int repeats = 0;
                   for (content::ReflowCommand* command : model.Commands())
                     repeats += dynamic_cast<content::RepeatCommand*>(command) != nullptr ? 1 : 0;
                   EXPECT_EQ(repeats, 1) << "the second string must be taken as a repeat";
                 });
  ASSERT_FALSE(once.result.failed);
  ASSERT_FALSE(bold.result.failed);
  ASSERT_GT(once.lines.size(), 1u);
  EXPECT_EQ(bold.lines, once.lines);
  EXPECT_EQ(bold.result.height, once.result.height);
  const Ink a = InkOf(once), b = InkOf(bold);
  ASSERT_GT(a.count, 0);
  EXPECT_GT(b.count, a.count + a.count / 20) << "the repeat was not painted";
  // Painted twice, the letters' light edges darken past the ink level.
  EXPECT_NEAR(b.y0, a.y0, 1);
  EXPECT_NEAR(b.y1, a.y1, 1);
  EXPECT_NEAR(b.x0, a.x0, 1);
  EXPECT_GE(b.x1, a.x1);
  EXPECT_LE(b.x1, a.x1 + 2);
}

}  // namespace
