// Device fonts of CJK text: the font requests, the pixel size and glyph
// transform of a glyph matrix, the vertical-form tables, the device's
// answer for a collection, and a glyph drawn by the device against
// FreeType's rendering of the same character, face and size.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fonts/CompositeFont.h"
#include "fonts/DeviceFont.h"
#include "platform/FontEngine.h"
#include "tests/fonts/FontDocument.h"

namespace fonts {
namespace {

constexpr Fixed kOne = runtime::kFixedOne;

TEST(DeviceFontTest, PixelSizeAndTransformOfAGlyphMatrix) {
  struct Case {
    const char* name;
    Matrix matrix;
    uint32_t pixelSize;
    bool transform;
  } cases[] = {
      {"upright, y flipped", {12 * kOne, 0, 0, -12 * kOne, 0, 0}, 12, false},
      {"y not flipped", {12 * kOne, 0, 0, 12 * kOne, 0, 0}, 12, true},
      {"mirrored", {-12 * kOne, 0, 0, 12 * kOne, 0, 0}, 12, true},
      {"rotated", {0, 12 * kOne, 12 * kOne, 0, 0, 0}, 12, true},
      {"zero", {0, 0, 0, 0, 0, 0}, 1, false},
      {"rounded", {12 * kOne + kOne / 2, 0, 0, -12 * kOne - kOne / 2, 0, 0}, 13, false},
      // Beyond the largest device size: drawn at it and scaled.
      {"huge", {0x7FFF8000, 0, 0, -0x7FFF8000, 0, 0}, DeviceGlyphRasterizer::kMaxPixelSize, true},
      {"large", {1000 * kOne, 0, 0, -1000 * kOne, 0, 0}, DeviceGlyphRasterizer::kMaxPixelSize, true},
  };
  runtime::LibraryContext context;
  DeviceFont* font = DeviceFont::Create(&context, Collection::kJapan1, true, false);
  for (const Case& c : cases) {
    DeviceGlyphRasterizer rasterizer(*font, c.matrix);
    EXPECT_EQ(rasterizer.PixelSize(), c.pixelSize) << c.name;
    EXPECT_EQ(rasterizer.NeedsTransform(), c.transform) << c.name;
  }
  EXPECT_EQ(DeviceGlyphRasterizer::PixelSizeOf(Matrix{0x7FFF8000, 0, 0, 0, 0, 0}), 32768u);
  EXPECT_EQ(DeviceGlyphRasterizer::PixelSizeOf(Matrix{0, 0, 0, 0, 0, 0}), 1u);
  // 1000 px an em at most 256: the transform scales by 1000/256.
  DeviceGlyphRasterizer large(*font, Matrix{1000 * kOne, 0, 0, -1000 * kOne, 0, 0});
  EXPECT_EQ(large.Transform().a, 1000 * kOne / 256);
  EXPECT_EQ(large.Transform().d, 1000 * kOne / 256);
  runtime::DestroyAndFree(&context, font);
}

TEST(DeviceFontTest, RequestsAndVerticalForms) {
  const platform::LOGFONTW vertical = DeviceFontFace::Build(Collection::kJapan1, false, true);
  EXPECT_EQ(std::u16string(vertical.lfFaceName), u"@MS Mincho");
  EXPECT_EQ(vertical.lfEscapement, 2700);
  EXPECT_EQ(vertical.lfHeight, -1);
  EXPECT_EQ(vertical.lfCharSet, 128);
  EXPECT_EQ(std::u16string(DeviceFontFace::Build(Collection::kGB1, true, false).lfFaceName), u"SimHei");
  EXPECT_EQ(DeviceFontFace::Build(Collection::kKorea1, true, false).lfCharSet, 129);
  EXPECT_EQ(std::u16string(DeviceFontFace::Build(Collection::kNone, true, false).lfFaceName), u"Arial");

  struct Unit {
    Collection collection;
    uint16_t unit;
    bool vertical;
  } units[] = {
      {Collection::kJapan1, 0x3008, true},  {Collection::kJapan1, 0x3007, false},
      {Collection::kJapan1, 0x00B4, true},  {Collection::kJapan1, 0xFFE3, true},
      {Collection::kJapan1, 0xFFE4, false}, {Collection::kJapan1, 0x0000, false},
      {Collection::kGB1, 0xFF5E, true},     {Collection::kGB1, 0x3008, false},
      {Collection::kKorea1, 0x3008, false}, {Collection::kCNS1, 0xFF5E, false},
  };
  for (const Unit& u : units) {
    EXPECT_EQ(DeviceFont::UsesVerticalForm(u.collection, u.unit), u.vertical) << std::hex << u.unit;
  }
  int japan = 0, chinese = 0;
  for (uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
    japan += DeviceFont::UsesVerticalForm(Collection::kJapan1, static_cast<uint16_t>(unit));
    chinese += DeviceFont::UsesVerticalForm(Collection::kGB1, static_cast<uint16_t>(unit));
  }
  EXPECT_EQ(japan, 203);
  EXPECT_EQ(chinese, 9);
}

bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

TEST(DeviceFontTest, DeviceAnswersForCollectionsItCanDraw) {
  const platform::HDC dc = platform::CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_FALSE(DeviceFontFace::Choose(dc, Collection::kNone, true));
  const bool japanese = DeviceFontFace::Choose(dc, Collection::kJapan1, true);
  platform::DeleteDC(dc);
  if (!japanese) {
    if (UnderCi()) FAIL() << "no Japanese font installed (fonts-noto-cjk)";
    GTEST_SKIP() << "no Japanese font installed";
  }
}

// The device's glyph of U+3042 at 24 pixels equals FreeType's rendering of
// the font file the device matched, within one coverage level.
TEST(DeviceFontTest, JapaneseGlyphMatchesFreeType) {
  runtime::LibraryContext context;
  DeviceFont* font = DeviceFont::Create(&context, Collection::kJapan1, true, false);
  platform::LOGFONTW request = font->HorizontalRequest();
  request.lfHeight = -24;
  const auto matched = platform::FontEngine::Get().Open(request, 96);
  if (matched == nullptr || !matched->HasGlyph(U'\u3042')) {
    runtime::DestroyAndFree(&context, font);
    if (UnderCi()) FAIL() << "no Japanese font installed (fonts-noto-cjk)";
    GTEST_SKIP() << "no Japanese font installed";
  }
  runtime::ArenaAllocator arena(&context, 65536, 16384);
  const runtime::GlyphBitmapRecord* record = nullptr;
  int ascent = 0;
  {
    DeviceGlyphRasterizer rasterizer(*font, Matrix{24 * kOne, 0, 0, -24 * kOne, 0, 0});
    EXPECT_FALSE(rasterizer.NeedsTransform());
    record = rasterizer.DrawGlyph(0x3042, arena);
    ascent = record->y0 < 0 ? -record->y0 : 0;
  }
  ASSERT_GT(record->Width(), 0);
  ASSERT_GT(record->Height(), 0);

  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face = nullptr;
  ASSERT_EQ(FT_New_Face(library, matched->file().c_str(), 0, &face), 0);
  // A collection file: the face whose family the device matched.
  for (FT_Long index = 1; face->num_faces > 1 && index < face->num_faces; ++index) {
    if (FT_Get_Char_Index(face, 0x3042) != 0 && std::string(face->family_name).find("JP") != std::string::npos) break;
    FT_Done_Face(face);
    ASSERT_EQ(FT_New_Face(library, matched->file().c_str(), index, &face), 0);
  }
  FT_Set_Pixel_Sizes(face, 0, 24);
  ASSERT_EQ(FT_Load_Char(face, 0x3042, FT_LOAD_RENDER), 0);
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  const int top = face->glyph->bitmap_top;
  // Record row j lies j - ascent below the baseline; FreeType's row k lies
  // k - top below it. Columns start at the ink on both sides.
  int worst = 0;
  long ours = 0, theirs = 0;
  for (int j = 0; j < record->Height(); ++j) {
    for (int i = 0; i < record->Width(); ++i) {
      const int k = j - ascent + top;
      const int expected = k >= 0 && k < static_cast<int>(bitmap.rows) && i < static_cast<int>(bitmap.width)
                               ? bitmap.buffer[k * bitmap.pitch + i]
                               : 0;
      const int got = record->Coverage()[j * record->Width() + i];
      worst = std::max(worst, std::abs(got - expected));
      ours += got;
      theirs += expected;
    }
  }
  EXPECT_GT(theirs, 0);
  EXPECT_LE(worst, 1) << "ink ours " << ours << " FreeType " << theirs;
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  runtime::DestroyAndFree(&context, font);
}

// A Japanese Type 0 font without a program draws with the device's font:
// CIDs become their Unicode characters.
TEST(DeviceFontTest, NonEmbeddedJapaneseFontDrawsWithTheDevice) {
  FontDocument doc({"<< /Type /Font /Subtype /Type0 /BaseFont /Ryumin-Light /Encoding /Identity-H"
                    " /DescendantFonts [2 0 R] >>",
                    "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /Ryumin-Light /CIDSystemInfo << /Registry"
                    " (Adobe) /Ordering (Japan1) /Supplement 2 >> /FontDescriptor << /Flags 6 >> >>"});
  auto ref = doc.Load();
  auto* font = dynamic_cast<CompositeFont*>(ref.Get());
  ASSERT_NE(font, nullptr);
  if (!font->isUsable) {
    if (UnderCi()) FAIL() << "no Japanese device font";
    GTEST_SKIP() << "no Japanese device font";
  }
  EXPECT_TRUE(font->UsesDeviceFont());
  EXPECT_TRUE(font->DrawnByDevice());
  // CID 843 is hiragana a, CID 633 the ideographic space.
  const uint8_t shown[] = {0x03, 0x4B, 0x02, 0x79};
  runtime::GlyphInfo first, second;
  const uint8_t* next = font->NextGlyph(shown, shown + 4, first);
  font->NextGlyph(next, shown + 4, second);
  EXPECT_EQ(first.glyph, 0x3042u);
  EXPECT_EQ(second.glyph, 0x3000u);
  runtime::ArenaAllocator arena(&doc.context, 65536, 16384);
  const runtime::IntRect clip{-1000, -1000, 1000, 1000};
  const runtime::GlyphBitmapRecord* record =
      font->GlyphBitmap(first.glyph, Matrix{24 * kOne, 0, 0, -24 * kOne, 0, 0}, 0, clip, false, arena);
  ASSERT_NE(record, nullptr);
  EXPECT_GT(record->Width(), 0);
  // Turned and scaled text goes through the transform, cut to the clip.
  const runtime::IntRect small{0, -10, 5, 0};
  record = font->GlyphBitmap(first.glyph, Matrix{0, 30 * kOne, 30 * kOne, 0, 0, 0}, 0, small, false, arena);
  ASSERT_NE(record, nullptr);
  EXPECT_LE(record->Width(), 5);
  EXPECT_LE(record->Height(), 10);
}

}  // namespace
}  // namespace fonts
