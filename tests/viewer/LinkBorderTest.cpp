// The border a link without an appearance shows, from "C", "BS" and
// "Border": colours wrapped into range, widths, styles, and dash arrays
// that could not be stroked turned solid.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/RaisedCode.h"
#include "viewer/LinkBorder.h"

namespace viewer {
namespace {

constexpr runtime::Fixed kOne = runtime::kFixedOne;

TEST(LinkBorderTest, BordersFromColourStyleAndDashes) {
  struct Case {
    const char* what;
    std::string entries;
    bool draw;
    runtime::Fixed width;
    std::vector<runtime::Fixed> dashes;
    bool underline;
  };
  const Case cases[] = {
      {"the default: solid, width 1", "", true, kOne, {}, false},
      {"a C with two entries draws nothing", "/C [1 0]", false, kOne, {}, false},
      {"Border with width 0", "/Border [0 0 0]", false, 0, {}, false},
      {"Border with a fourth entry that is no array", "/Border [0 0 2 5]", false, 2 * kOne, {}, false},
      {"Border with a dash array", "/Border [0 0 2 [3 1]]", true, 2 * kOne, {3 * kOne, kOne}, false},
      {"Border with two entries", "/Border [0 0]", false, kOne, {}, false},
      {"a dash array of zeros is solid", "/Border [0 0 1 [0 0]]", true, kOne, {}, false},
      {"a negative dash is solid", "/Border [0 0 1 [3 -1]]", true, kOne, {}, false},
      {"an empty dash array is solid", "/Border [0 0 1 []]", true, kOne, {}, false},
      {"a negative Border width draws nothing", "/Border [0 0 -2]", false, -2 * kOne, {}, false},
      {"BS dashed without D: one dash of 3", "/BS << /S /D /W 2 >>", true, 2 * kOne, {3 * kOne}, false},
      {"BS dashed with a negative D is solid", "/BS << /S /D /D [2 -2] >>", true, kOne, {}, false},
      {"BS underline", "/BS << /S /U /W 3 >>", true, 3 * kOne, {}, true},
      {"BS width 0", "/BS << /W 0 >>", false, 0, {}, false},
      {"BS negative width", "/BS << /W -1 >>", false, -kOne, {}, false},
      {"BS comes before Border", "/BS << /W 4 >> /Border [0 0 0]", true, 4 * kOne, {}, false},
  };
  runtime::LibraryContext context;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pdftest::PdfWriter writer;
    writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .Object(3, "<< /Subtype /Link /Rect [10 10 110 60] " + c.entries + " >>")
        .ClassicTable("/Root 1 0 R");
    const std::string bytes = writer.Text();
    pdftest::OpenDocument document(&context, bytes);
    const runtime::ObjectHandle link = document->Resolve(&context, runtime::ObjectReference{3, 0});
    const runtime::Rect rect{10 * kOne, 10 * kOne, 110 * kOne, 60 * kOne};
    const LinkBorderStroke s = LinkBorder::Describe(link, rect);
    EXPECT_EQ(s.draw, c.draw);
    if (!c.draw) continue;
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.underline, c.underline);
    EXPECT_EQ(std::vector<runtime::Fixed>(s.dashes, s.dashes + s.dashCount), c.dashes);
    // The stroke runs inside the rectangle, half the width in.
    EXPECT_EQ(s.rect.x0, rect.x0 + c.width / 2);
    EXPECT_EQ(s.rect.y1, rect.y1 - c.width / 2);
  }
}

TEST(LinkBorderTest, ColoursWrapIntoRange) {
  struct Case {
    double in;
    runtime::Fixed out;
  };
  const Case cases[] = {{1.25, kOne / 4}, {-0.25, 3 * kOne / 4}, {1.0, kOne}, {0.5, kOne / 2}, {2.0, 0}, {-1.0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(LinkBorder::WrapComponent(runtime::FixedFromFloatRounded(c.in)), c.out);
  }
  runtime::LibraryContext context;
  pdftest::PdfWriter writer;
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
      .Object(2, "<< /Type /Pages /Kids [] /Count 0 >>")
      .Object(3, "<< /Subtype /Link /Rect [0 0 10 10] /C [1.25 0 -0.25] >>")
      .Object(4, "<< /Subtype /Link /Rect [0 0 10 10] /C [1 /red 0] >>")
      .ClassicTable("/Root 1 0 R");
  const std::string bytes = writer.Text();
  pdftest::OpenDocument document(&context, bytes);
  const LinkBorderStroke s =
      LinkBorder::Describe(document->Resolve(&context, runtime::ObjectReference{3, 0}), runtime::Rect{});
  // The parser's decimals may be a unit off the exact quarter.
  EXPECT_NEAR(s.r, kOne / 4, 1);
  EXPECT_EQ(s.g, 0);
  EXPECT_NEAR(s.b, 3 * kOne / 4, 1);
  // A colour that is no number is malformed.
  EXPECT_EQ(testsupport::RaisedCode([&] {
              LinkBorder::Describe(document->Resolve(&context, runtime::ObjectReference{4, 0}), runtime::Rect{});
            }),
            runtime::kMalformed);
}

}  // namespace
}  // namespace viewer
