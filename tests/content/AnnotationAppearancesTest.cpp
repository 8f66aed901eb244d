// A page's annotation appearances played after its content: only those
// shown on screen, the state's appearance, each under the matrix that puts
// its box onto its rectangle, and a broken one ending only itself.
#include "content/AnnotationAppearances.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/LoggingHandler.h"
#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using runtime::FixedFromInt;

// Logs each painted path with the transform it is painted under.
class MatrixLoggingHandler : public content::LoggingHandler {
 public:
  using LoggingHandler::LoggingHandler;
  void PaintPath(content::ContentStream& player, bool pathPresent, const content::PathPaint& paint,
                 const content::PathSegments& segments) override {
    const runtime::Matrix& m = State().ctm;
    std::string text = "ctm";
    for (runtime::Fixed v : {m.a, m.b, m.c, m.d, m.e, m.f}) text += " " + FormatFixed(v);
    paths.push_back(text);
    LoggingHandler::PaintPath(player, pathPresent, paint, segments);
  }
  std::vector<std::string> paths;
};

std::string Appearance(const std::string& box, const std::string& content) {
  return testsupport::StreamBody("/Type /XObject /Subtype /Form /BBox " + box, content);
}

TEST(AnnotationAppearancesTest, ViewableAppearancesPaintOntoTheirRectangles) {
  runtime::LibraryContext context;
  const std::string bytes = testsupport::SmallPdfFile({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots [4 0 R 5 0 R 6 0 R 7 0 R 8 0 R 9 0 R 10 0 R] >>",
      // 4: shown, its 10 x 10 box onto a 20 x 20 rectangle.
      "<< /Subtype /Square /Rect [100 100 120 120] /AP << /N 11 0 R >> >>",
      // 5 and 6: hidden and not viewed.
      "<< /Subtype /Square /F 2 /Rect [0 0 10 10] /AP << /N 11 0 R >> >>",
      "<< /Subtype /Square /F 32 /Rect [0 0 10 10] /AP << /N 11 0 R >> >>",
      // 7: a check box in its "On" state.
      "<< /Subtype /Widget /Rect [200 300 210 310] /AS /On /AP << /N << /Off 11 0 R /On 12 0 R >> >> >>",
      // 8: an appearance without a box: an error that ends only itself.
      "<< /Subtype /Square /Rect [0 0 10 10] /AP << /N 13 0 R >> >>",
      // 9: an empty box draws nothing.
      "<< /Subtype /Square /Rect [0 0 10 10] /AP << /N 14 0 R >> >>",
      // 10: printed only, still shown on screen.
      "<< /Subtype /Square /F 4 /Rect [300 400 305 405] /AP << /N 11 0 R >> >>",
      Appearance("[0 0 10 10]", "0 0 10 10 re f"),
      Appearance("[0 0 5 5]", "0 0 5 5 re S"),
      testsupport::StreamBody("/Type /XObject /Subtype /Form", "0 0 1 1 re f"),
      Appearance("[0 0 0 10]", "0 0 1 1 re f"),
  });
  pdftest::OpenDocument document(&context, bytes);
  const runtime::ObjectHandle page = document->GetPageDict(0);
  content::PageInfo info;
  info.document = &*document;
  info.matrix = runtime::Matrix{runtime::kFixedOne, 0, 0, -runtime::kFixedOne, 0, FixedFromInt(792)};
  const runtime::ObjectHandle resources;
  MatrixLoggingHandler handler(&context, info, &resources);
  const long code = testsupport::RuntimeCodeOf(
      &context, [&] { content::AnnotationAppearances::PaintAll(handler, page, info.matrix); });
  // The broken appearance is reported once, after the others have played.
  EXPECT_EQ(code, runtime::kMalformed);
  EXPECT_EQ(handler.paths, (std::vector<std::string>{
                               "ctm 2 0 0 -2 100 692",  // 20 / 10, at (100, 792 - 100)
                               "ctm 2 0 0 -2 200 492",  // 10 / 5
                               "ctm 0.5 0 0 -0.5 300 392",
                           }));
  // The page's state is back afterwards.
  EXPECT_EQ(handler.State().ctm, info.matrix);
}

}  // namespace
