// Stroked text (render mode 1) and clipping text (mode 7) through the
// painter, against FreeType: its stroker (FT_Stroker, same width, joins and
// caps) and its own rendering of the glyph, both made by the test.
#include <gtest/gtest.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "color/ColorContext.h"
#include "content/PageRenderer.h"
#include "fonts/DocumentFontSource.h"
#include "tests/content/PagePixelSink.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace {

constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kPage = 100;
// Where the glyph's origin lies on the page, in device pixels (y down).
constexpr int kOriginX = 20, kOriginY = 70;

// A coverage image of the page's size, 0 nothing to 255 full.
using Coverage = std::vector<int>;

std::string ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The page shows `letter` in DejaVuSans at 48 points (48 px at 72 dpi)
// with `ops` before it, from user (20, 30); `after` follows the text.
Coverage RenderOurs(const std::string& program, char letter, const std::string& ops, const std::string& after) {
  const std::string content = "0 g " + ops + " BT /F1 48 Tf 20 30 Td (" + std::string(1, letter) + ") Tj ET " + after;
  // One glyph a string: the widths only have to be there.
  std::string widths;
  for (int code = 32; code <= 126; ++code) widths += "600 ";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> "
      ">>",
      testsupport::StreamBody("", content),
      "<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /FirstChar 32 /LastChar 126 /Widths [" + widths +
          "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>",
      "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 /FontBBox [-2090 -948 3673 2524] /ItalicAngle 0 "
      "/Ascent 928 /Descent -236 /CapHeight 729 /StemV 80 /FontFile2 7 0 R >>",
      testsupport::StreamBody("/Length1 " + std::to_string(program.size()), program),
  };
  const std::string bytes = testsupport::SmallPdfFile(objects);
  runtime::LibraryContext context;
  pdftest::OpenDocument document(&context, bytes);
  color::ColorContext colors(&context, &*document);
  fonts::DocumentFontSource fonts(*document);
  content::PageRenderer renderer(*document, colors, &fonts);
  contenttest::PagePixelSink pixels;
  const content::PageRenderer::Result result = renderer.Render(0, 72.0, pixels, nullptr);
  EXPECT_FALSE(result.failed);
  Coverage out(kPage * kPage);
  for (int y = 0; y < kPage; ++y)
    for (int x = 0; x < kPage; ++x) out[y * kPage + x] = 255 - pixels.At(x, y)[1];
  return out;
}

// FreeType's glyph at 48 px, stroked (radius 1 px, butt caps, miter
// joins) when `stroke`, placed at the same origin.
Coverage RenderFreeType(char letter, bool stroke) {
  Coverage out(kPage * kPage, 0);
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0) return out;
  if (FT_New_Face(library, kDejaVuSans, 0, &face) == 0 && FT_Set_Pixel_Sizes(face, 0, 48) == 0 &&
      FT_Load_Char(face, static_cast<FT_ULong>(letter), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0) {
    FT_Glyph glyph = nullptr;
    if (FT_Get_Glyph(face->glyph, &glyph) == 0) {
      if (stroke) {
        FT_Stroker stroker = nullptr;
        FT_Stroker_New(library, &stroker);
        FT_Stroker_Set(stroker, 64, FT_STROKER_LINECAP_BUTT, FT_STROKER_LINEJOIN_MITER, 10 << 16);
        FT_Glyph_Stroke(&glyph, stroker, 1);
        FT_Stroker_Done(stroker);
      }
      if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) == 0) {
        const auto* bitmap = reinterpret_cast<FT_BitmapGlyph>(glyph);
        for (unsigned row = 0; row < bitmap->bitmap.rows; ++row)
          for (unsigned col = 0; col < bitmap->bitmap.width; ++col) {
            const int x = kOriginX + bitmap->left + static_cast<int>(col);
            const int y = kOriginY - bitmap->top + static_cast<int>(row);
            if (x >= 0 && y >= 0 && x < kPage && y < kPage)
              out[y * kPage + x] = bitmap->bitmap.buffer[row * bitmap->bitmap.pitch + col];
          }
      }
      FT_Done_Glyph(glyph);
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return out;
}

void ExpectCloseCoverage(const Coverage& ours, const Coverage& theirs) {
  long long sumOurs = 0, sumTheirs = 0;
  int disagreements = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    sumOurs += ours[i];
    sumTheirs += theirs[i];
    if ((ours[i] >= 192 && theirs[i] == 0) || (theirs[i] >= 192 && ours[i] == 0)) {
      if (++disagreements <= 5)
        ADD_FAILURE() << "pixel (" << i % kPage << ", " << i / kPage << "): ours " << ours[i] << ", FreeType "
                      << theirs[i];
    }
  }
  ASSERT_GT(sumTheirs, 0);
  EXPECT_NEAR(static_cast<double>(sumOurs) / static_cast<double>(sumTheirs), 1.0, 0.08);
  EXPECT_EQ(disagreements, 0);
}

class TextOutlineTest : public ::testing::TestWithParam<char> {
 protected:
  void SetUp() override {
    program_ = ReadFile(kDejaVuSans);
    if (program_.empty()) GTEST_SKIP() << "DejaVuSans is missing";
  }
  std::string program_;
};

TEST_P(TextOutlineTest, StrokedTextMatchesFreeTypesStroker) {
  ExpectCloseCoverage(RenderOurs(program_, GetParam(), "2 w 0 J 0 j 10 M 1 Tr", ""), RenderFreeType(GetParam(), true));
}

TEST_P(TextOutlineTest, ClippingTextLetsAFillThroughTheGlyphsCoverage) {
  ExpectCloseCoverage(RenderOurs(program_, GetParam(), "q 7 Tr", "0 0 100 100 re f Q"), RenderFreeType(GetParam(), false));
}

INSTANTIATE_TEST_SUITE_P(DejaVuSans, TextOutlineTest, ::testing::Values('O', 'A'));

}  // namespace
