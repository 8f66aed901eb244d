// Pages with pattern colours and annotations rendered through the painter,
// against pixels computed by hand: a tiling pattern whose matrix moves it
// 10000 units away paints the grid where a hand computation puts it,
// uncoloured cells take the colour they are selected with, shading
// patterns paint their gradient, patterns that draw themselves end,
// a tiny cell over the page paints in bounded time, and only the
// annotations shown on screen paint, over the content.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using testsupport::StreamBody;

struct PatternRgb {
  int r, g, b;
};

// Keeps the rendered page as RGB pixels.
class PatternPageSink final : public content::PageRowSink {
 public:
  void Begin(int32_t w, int32_t h) override {
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * h, PatternRgb{0, 0, 0});
  }
  void Rows(int32_t y0, int32_t count, int32_t w, const uint8_t* first, int64_t rowStep) override {
    for (int32_t k = 0; k < count; ++k) {
      const uint8_t* row = first + k * rowStep;
      for (int32_t x = 0; x < w; ++x) pixels[static_cast<size_t>(y0 + k) * width + x] = {row[4 * x + 2], row[4 * x + 1], row[4 * x]};
    }
  }
  PatternRgb At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }

  int32_t width = 0, height = 0;
  std::vector<PatternRgb> pixels;
};

// A one-page document of 200 x 200 points with `resources` and `content`;
// `extra` are objects 5 on.
std::string PageFile(const std::string& resources, const std::string& content, const std::vector<std::string>& extra,
                     const std::string& pageEntries = "") {
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R /Resources " + resources + " " +
          pageEntries + " >>",
      StreamBody("", content)};
  objects.insert(objects.end(), extra.begin(), extra.end());
  return testsupport::SmallPdfFile(objects);
}

class PatternRenderTest : public ::testing::Test {
 protected:
  // Renders page 1 at 72 dpi: one pixel per unit, device y = 200 - user y.
  PatternPageSink Render(const std::string& bytes, content::CountingPaintTarget* target = nullptr,
                   long expectedError = -1) {
    pdftest::OpenDocument document(&context, bytes);
    color::ColorContext colors(&context, &*document);
    content::PageRenderer renderer(*document, colors, nullptr);
    PatternPageSink sink;
    content::CountingPaintTarget counting;
    const content::PageRenderer::Result result = renderer.Render(0, 72.0, sink, target != nullptr ? target : &counting);
    EXPECT_EQ(result.failed ? static_cast<long>(result.error.code) : -1, expectedError);
    return sink;
  }
  // Counts pixels further than one level from what `expected` gives.
  template <class Expected>
  static int Mismatches(const PatternPageSink& sink, Expected&& expected, std::string* first) {
    int count = 0;
    for (int32_t y = 0; y < sink.height; ++y) {
      for (int32_t x = 0; x < sink.width; ++x) {
        const PatternRgb want = expected(x + 0.5, 200 - (y + 0.5));
        const PatternRgb got = sink.At(x, y);
        if (std::abs(got.r - want.r) > 1 || std::abs(got.g - want.g) > 1 || std::abs(got.b - want.b) > 1) {
          if (count++ == 0 && first != nullptr) {
            *first = "pixel " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got.r) + " " +
                     std::to_string(got.g) + " " + std::to_string(got.b);
          }
        }
      }
    }
    return count;
  }

  runtime::LibraryContext context;
};

constexpr PatternRgb kWhite{255, 255, 255};

// Whether user point (u, v) lies in the lower-left 10 x 10 of its 20-unit cell.
bool InCellSquare(double u, double v) { return std::fmod(u, 20) < 10 && std::fmod(v, 20) < 10; }

TEST_F(PatternRenderTest, TilingPatternsPaintTheHandComputedGrid) {
  const std::string tiling = "/Type /Pattern /PatternType 1 /TilingType 1 /BBox [0 0 20 20] /XStep 20 /YStep 20 ";
  const std::string bytes = PageFile(
      "<< /Pattern << /P1 5 0 R /P2 6 0 R >> /ColorSpace << /Cs1 [/Pattern /DeviceRGB] >> >>",
      "/Pattern cs /P1 scn 0 0 100 100 re f /Cs1 cs 0 0 1 /P2 scn 100 100 100 100 re f",
      {StreamBody(tiling + "/PaintType 1 /Matrix [1 0 0 1 10000 10000] /Resources << >>", "1 0 0 rg 0 0 10 10 re f"),
       StreamBody(tiling + "/PaintType 2", "0 0 10 10 re f")});
  const PatternPageSink sink = Render(bytes);
  ASSERT_EQ(sink.width, 200);
  std::string first;
  EXPECT_EQ(Mismatches(sink,
                       [](double u, double v) {
                         if (u < 100 && v < 100) return InCellSquare(u, v) ? PatternRgb{255, 0, 0} : kWhite;
                         if (u > 100 && v > 100) return InCellSquare(u, v) ? PatternRgb{0, 0, 255} : kWhite;
                         return kWhite;
                       },
                       &first),
            0)
      << first;
}

TEST_F(PatternRenderTest, PatternsInFormsKeepThePagesGrid) {
  // The form is drawn 30 units up and right; its pattern is placed in the
  // page's default space, so its grid lines up with the page's own.
  const std::string tiling = "/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] /XStep 20 /YStep 20";
  const std::string bytes = PageFile(
      "<< /XObject << /Fm 5 0 R >> /Pattern << /P 6 0 R >> >>",
      "/Pattern cs /P scn 0 0 200 30 re f q 1 0 0 1 30 30 cm /Fm Do Q",
      {StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 170 170] /Resources << /Pattern << /P 6 0 R >> >>",
                  "/Pattern cs /P scn 0 0 170 170 re f"),
       StreamBody(tiling, "1 0 0 rg 0 0 10 10 re f")});
  const PatternPageSink sink = Render(bytes);
  std::string first;
  EXPECT_EQ(Mismatches(sink,
                       [](double u, double v) {
                         if (v > 30 && u < 30) return kWhite;
                         return InCellSquare(u, v) ? PatternRgb{255, 0, 0} : kWhite;
                       },
                       &first),
            0)
      << first;
}

TEST_F(PatternRenderTest, HalfTransparentCellsBlendWithWhatLiesBelow) {
  const std::string bytes = PageFile(
      "<< /Pattern << /P 5 0 R >> >>", "0 0 1 rg 0 0 200 200 re f /Pattern cs /P scn 0 0 200 200 re f",
      {StreamBody("/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 20 20] /XStep 20 /YStep 20 "
                  "/Resources << /ExtGState << /G << /ca 0.5 >> >> >>",
                  "/G gs 1 0 0 rg 0 0 10 10 re f")});
  const PatternPageSink sink = Render(bytes);
  std::string first;
  // Half red over blue in each cell's square, blue elsewhere.
  EXPECT_EQ(Mismatches(sink,
                       [](double u, double v) { return InCellSquare(u, v) ? PatternRgb{128, 0, 127} : PatternRgb{0, 0, 255}; },
                       &first),
            0)
      << first;
}

TEST_F(PatternRenderTest, ShadingPatternPaintsItsGradient) {
  const std::string bytes =
      PageFile("<< /Pattern << /S 5 0 R >> >>", "/Pattern cs /S scn 0 0 200 200 re f",
               {"<< /PatternType 2 /Matrix [2 0 0 1 0 0] /ExtGState << /ca 0.2 >> /Shading << /ShadingType 2 "
                "/ColorSpace /DeviceRGB /Coords [0 0 100 0] /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] "
                "/C1 [0 0 1] /N 1 >> >> >>"});
  const PatternPageSink sink = Render(bytes);
  // The axis runs over the page (0 to 100 units, doubled by the matrix);
  // the parameter set's alpha is not applied.
  for (int32_t x : {2, 50, 100, 150, 197}) {
    const double t = (x + 0.5) / 200;
    const PatternRgb got = sink.At(x, 100);
    EXPECT_NEAR(got.r, 255 * (1 - t), 3) << x;
    EXPECT_NEAR(got.b, 255 * t, 3) << x;
  }
}

TEST_F(PatternRenderTest, PatternsThatDrawThemselvesEnd) {
  const std::string cell = "/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10 ";
  const std::string bytes = PageFile(
      "<< /Pattern << /A 5 0 R /B 6 0 R >> >>", "/Pattern cs /A scn 0 0 200 200 re f",
      {StreamBody(cell + "/Resources << /Pattern << /A 5 0 R /B 6 0 R >> >>",
                  "0 1 0 rg 0 0 5 5 re f /Pattern cs /B scn 5 5 5 5 re f /A scn 0 5 5 5 re f"),
       StreamBody(cell + "/Resources << /Pattern << /A 5 0 R >> >>", "/Pattern cs /A scn 0 0 10 10 re f")});
  const PatternPageSink sink = Render(bytes);
  std::string first;
  // A's own square paints; B, inside A, would draw A again and paints
  // nothing, as does A inside itself.
  EXPECT_EQ(Mismatches(sink,
                       [](double u, double v) {
                         return std::fmod(u, 10) < 5 && std::fmod(v, 10) < 5 ? PatternRgb{0, 255, 0} : kWhite;
                       },
                       &first),
            0)
      << first;
}

TEST_F(PatternRenderTest, BadPatternsPaintNothingAndThePagePlaysOn) {
  struct Case {
    const char* pattern;
    long code;    // the error the page reports, -1 for none
    uint32_t notices;  // (0, 3, 3) told
  } cases[] = {
      {"<< /PatternType 3 >>", runtime::kMalformed, 1},
      {"<< /PatternType 1 /PaintType 1 /TilingType 4 /BBox [0 0 1 1] /XStep 1 /YStep 1 >>", runtime::kMalformed, 1},
      {"<< /PatternType 2 /Shading << /ShadingType 9 >> >>", runtime::kMalformed, 1},
      {"<< /PatternType 2 /Shading << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 0 0] "
       "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >> >>", -1, 1},  // paints nothing
  };
  for (const Case& test : cases) {
    const std::string bytes = PageFile("<< /Pattern << /P 5 0 R >> >>",
                                       "/Pattern cs /P scn 0 0 200 200 re f /Missing scn 0 0 50 50 re f "
                                       "1 0 0 rg 100 100 50 50 re f",
                                       {test.pattern});
    content::CountingPaintTarget target;
    const PatternPageSink sink = Render(bytes, &target, test.code);
    EXPECT_EQ(target.Count(3), test.notices) << test.pattern;
    std::string first;
    EXPECT_EQ(Mismatches(sink,
                         [](double u, double v) { return u > 100 && u < 150 && v > 100 && v < 150 ? PatternRgb{255, 0, 0} : kWhite; },
                         &first),
              0)
        << test.pattern << " " << first;
  }
}

TEST_F(PatternRenderTest, TinyCellsOverThePagePaintInBoundedTime) {
  // 0.01-unit cells: about 400 million over the page, drawn as one tile.
  const std::string bytes = PageFile(
      "<< /Pattern << /T 5 0 R >> >>", "/Pattern cs /T scn 0 0 200 200 re f",
      {StreamBody("/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 0.01 0.01] /XStep 0.01 "
                  "/YStep 0.01",
                  // A square larger than the cell, cut to the cell's box.
                  "0 0 1 rg -1 -1 2 2 re f")});
  const PatternPageSink sink = Render(bytes);
  // Cells filled whole cover the page in their colour.
  for (int32_t y : {0, 100, 199}) {
    for (int32_t x : {0, 100, 199}) {
      const PatternRgb got = sink.At(x, y);
      EXPECT_LE(got.r, 8) << x << "," << y;
      EXPECT_GE(got.b, 247) << x << "," << y;
    }
  }
}

TEST_F(PatternRenderTest, AnnotationsShownOnScreenPaintOverTheContent) {
  const std::string appearance = StreamBody("/Type /XObject /Subtype /Form /BBox [0 0 10 10]", "1 0 0 rg 0 0 10 10 re f");
  const std::string bytes = PageFile("<< >>", "0 0 1 rg 0 0 200 100 re f",
                                     {"<< /Subtype /Square /Rect [20 20 60 60] /AP << /N 8 0 R >> >>",
                                      "<< /Subtype /Square /F 2 /Rect [100 20 140 60] /AP << /N 8 0 R >> >>",
                                      "<< /Subtype /Square /F 32 /Rect [20 120 60 160] /AP << /N 8 0 R >> >>",
                                      appearance},
                                     "/Annots [5 0 R 6 0 R 7 0 R]");
  const PatternPageSink sink = Render(bytes);
  std::string first;
  EXPECT_EQ(Mismatches(sink,
                       [](double u, double v) {
                         if (u > 20 && u < 60 && v > 20 && v < 60) return PatternRgb{255, 0, 0};
                         return v < 100 ? PatternRgb{0, 0, 255} : kWhite;
                       },
                       &first),
            0)
      << first;
}

}  // namespace
