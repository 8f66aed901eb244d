// Coverage records against FreeType's anti-aliased rendering
// (FT_RENDER_MODE_NORMAL), unhinted: NimbusSans-Regular and
// NimbusRoman-Regular at 12, 24 and 48 pixels per em.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/fonts/FontTestSupport.h"

namespace {

struct CoverageCase {
  const char* file;
  int px;
};

class UrwCoverage : public ::testing::TestWithParam<CoverageCase> {};

TEST_P(UrwCoverage, MatchesFreeTypeRendering) {
  const std::string path = std::string(fonttest::kUrwType1Dir) + "/" + GetParam().file;
  const std::vector<uint8_t> bytes = fonttest::ReadBytes(path);
  if (bytes.empty()) {
    if (fonttest::UnderCi()) FAIL() << path << " missing";
    GTEST_SKIP() << path << " missing";
  }
  const int px = GetParam().px;
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, bytes);
  ASSERT_TRUE(font);
  font->SetHinting(false);
  fonttest::FreeTypeLibrary library;
  fonttest::FreeTypeFace face(library.get(), bytes);
  ASSERT_TRUE(face);
  FT_Set_Pixel_Sizes(face.get(), 0, static_cast<FT_UInt>(px));
  const fonts::Fixed scale = px * 65536;
  fonts::GlyphBitmapCache cache(*font.get(), fonts::Matrix{scale, 0, 0, -scale, 0, 0}, 1, 1, {}, nullptr);
  runtime::ArenaAllocator arena(&context, 65536, 16384);
  int solidMismatches = 0;
  int totalMismatches = 0;
  std::string examples;
  for (uint32_t g = 1; g < font->IndexCount(); ++g) {
    arena.Reset();
    const std::string name = font->GlyphNames()[g];
    const FT_UInt ftIndex = FT_Get_Name_Index(face.get(), name.c_str());
    if (FT_Load_Glyph(face.get(), ftIndex, FT_LOAD_NO_HINTING) != 0) continue;
    if (FT_Render_Glyph(face.get()->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_GlyphSlot slot = face.get()->glyph;
    const fonts::CoverageRecord* record = cache.RenderGlyph(g, 0, nullptr, arena);
    ASSERT_NE(record, nullptr);
    const fonttest::CoverageComparison c = fonttest::CompareCoverage(*record, slot);
    const double ours = c.ours, theirs = c.theirs;
    if (c.solidMismatches > 0) {
      solidMismatches += c.solidMismatches;
      if (examples.size() < 400) {
        examples += name + " (" + std::to_string(c.firstX) + "," + std::to_string(c.firstY) + ") ";
      }
    }
    if (px >= 24 && theirs > 0 && std::abs(ours - theirs) > 0.08 * theirs) {
      ++totalMismatches;
      if (examples.size() < 400) examples += name + " total " + std::to_string(ours / theirs) + " ";
    }
  }
  EXPECT_EQ(solidMismatches, 0) << examples;
  EXPECT_EQ(totalMismatches, 0) << examples;
}

INSTANTIATE_TEST_SUITE_P(
    Nimbus, UrwCoverage,
    ::testing::Values(CoverageCase{"NimbusSans-Regular.t1", 12}, CoverageCase{"NimbusSans-Regular.t1", 24},
                      CoverageCase{"NimbusSans-Regular.t1", 48}, CoverageCase{"NimbusRoman-Regular.t1", 12},
                      CoverageCase{"NimbusRoman-Regular.t1", 24}, CoverageCase{"NimbusRoman-Regular.t1", 48}),
    [](const auto& info) {
      std::string name = std::string(info.param.file).substr(0, std::string(info.param.file).find('.'));
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name + "_" + std::to_string(info.param.px);
    });

}  // namespace
