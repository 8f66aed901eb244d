// The multiple-master substitute: fitting to descriptors, the design
// vector, and the standard substitutes against the faces they stand for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fonts/DesignVector.h"
#include "fonts/GlyphBitmapCache.h"
#include "fonts/MultipleMasterFont.h"
#include "fonts/SimpleFont.h"
#include "fonts/FontDict.h"
#include "fonts/StandardSubstitute.h"
#include "resources/StandardFontTables.h"
#include "tests/fonts/FontTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/SmallPdfFile.h"

namespace fonts {
namespace {

uint32_t GlyphNamed(const char* name) {
  for (uint32_t g = 0; g < resources::kStandardGlyphCount; ++g) {
    if (std::string(resources::kStandardGlyphNames[g]) == name) return g;
  }
  return 0;
}

// The instance a descriptor dictionary makes, through the font loader.
class DescriptorFont {
 public:
  explicit DescriptorFont(const std::string& descriptor)
      : bytes_(testsupport::SmallPdfFile(
            {"<< /Type /Font /Subtype /Type1 /BaseFont /Custom /FirstChar 97 /LastChar 98"
             " /Widths [500 0] /FontDescriptor " + descriptor + " >>"})),
        document_(&context_, bytes_),
        font_(FontDict::Create(*document_, document_->GetObject(1, 0))) {}
  MultipleMasterFont& Instance() {
    return *static_cast<MultipleMasterFont*>(static_cast<SimpleFont*>(font_.Get())->ProgramOrNull());
  }
  SimpleFont& Font() { return *static_cast<SimpleFont*>(font_.Get()); }
  runtime::LibraryContext* Context() { return &context_; }

 private:
  runtime::LibraryContext context_;
  std::string bytes_;
  pdftest::OpenDocument document_;
  runtime::CountedRef<runtime::FontBase> font_;
};

TEST(MultipleMasterFontTest, DescriptorValuesAreDefaultedAndLimited) {
  struct Case {
    const char* descriptor;
    bool serif;
    uint16_t stemV, xHeight;
    runtime::Fixed slant;
  } cases[] = {
      {"<< /Flags 32 /StemV 10 >>", false, 20, 532, 0},
      {"<< /Flags 32 /StemV 400 >>", false, 300, 532, 0},
      {"<< /Flags 32 >>", false, 130, 532, 0},
      {"<< /Flags 32 /StemV 0 >>", false, 88, 532, 0},        // the face's own
      {"<< /Flags 34 /XHeight 520 >>", true, 130, 480, 0},
      {"<< /Flags 34 /XHeight 100 /StemV 95.7 >>", true, 95, 300, 0},
      {"<< /Flags 32 /ItalicAngle 12 >>", false, 130, 532, 0},
      {"<< /Flags 32 /ItalicAngle -60 >>", false, 130, 532, 65536},
      {"<< /Flags 32 /ItalicAngle -12 >>", false, 130, 532, 13930},
  };
  for (const Case& c : cases) {
    DescriptorFont font(c.descriptor);
    ASSERT_TRUE(font.Font().isUsable) << c.descriptor;
    EXPECT_EQ(font.Font().DrawnBy(), SimpleFont::Source::kMultipleMaster);
    MultipleMasterFont& mm = font.Instance();
    EXPECT_EQ(mm.IsSerif(), c.serif) << c.descriptor;
    EXPECT_EQ(mm.Record().stemV, c.stemV) << c.descriptor;
    EXPECT_EQ(mm.Record().xHeight, c.xHeight) << c.descriptor;
    EXPECT_EQ(mm.Record().capHeight, c.serif ? 662 : 718) << c.descriptor;
    EXPECT_EQ(mm.Slant(), c.slant) << c.descriptor;
    EXPECT_LE(mm.XHeightScale(), runtime::kFixedOne);
  }
}

TEST(MultipleMasterFontTest, CapsFlagsDrawCapitalsAndUnreachedGlyphsDrawNothing) {
  DescriptorFont font("<< /Flags 65568 >>");  // AllCap | Nonsymbolic
  MultipleMasterFont& mm = font.Instance();
  const uint32_t a = GlyphNamed("a");
  EXPECT_EQ(mm.DrawnGlyph(a), GlyphNamed("A"));
  EXPECT_EQ(mm.DrawnGlyph(GlyphNamed("germandbls")), GlyphNamed("germandbls"));
  EXPECT_EQ(mm.DrawnGlyph(GlyphNamed("dotlessi")), GlyphNamed("dotlessi"));
  EXPECT_EQ(MultipleMasterFont::CapitalOf(GlyphNamed("zcaron")), GlyphNamed("Zcaron"));
  EXPECT_EQ(mm.XHeightScale(), mm.CapHeightScale());
  EXPECT_EQ(mm.TargetWidth(a), 500);

  runtime::ArenaAllocator arena(font.Context(), 16384, 4096);
  runtime::ArenaVector<runtime::FixedPoint> points(arena, 64);
  Matrix orientation;
  const Matrix matrix{65536 * 20 / 1000, 0, 0, 65536 * 20 / 1000, 0, 0};
  mm.Glyph(a, matrix, points, arena, orientation);
  EXPECT_GT(points.Size(), 4u);
  points.Clear();
  mm.Glyph(GlyphNamed("b"), matrix, points, arena, orientation);  // width 0
  EXPECT_EQ(points.Size(), 0u);
  mm.Glyph(GlyphNamed("c"), matrix, points, arena, orientation);  // no code reaches it
  EXPECT_EQ(points.Size(), 0u);

  DescriptorFont small("<< /Flags 131104 /XHeight 400 >>");  // SmallCap
  EXPECT_EQ(small.Instance().XHeightScale(), 400 * 65536 / 718);
}

TEST(MultipleMasterFontTest, DesignVectorRootsEdgesAndCorners) {
  const double stems[4] = {20, 200, 40, 280};
  const double widths[4] = {400, 500, 600, 700};
  // A point inside: stem and width exact.
  DesignSolution inside = SolveDesignVector(100, stems, 520, widths);
  EXPECT_EQ(inside.status, 0);
  double s = 0, w = 0;
  for (int m = 0; m < 4; ++m) {
    s += inside.weights[m] / 65536.0 * stems[m];
    w += inside.weights[m] / 65536.0 * widths[m];
  }
  EXPECT_NEAR(s, 100, 0.05);
  EXPECT_NEAR(w, 520, 0.05);
  EXPECT_EQ(inside.weights[0] + inside.weights[1] + inside.weights[2] + inside.weights[3], 65536);
  // Too wide for the stem: the stem's curve meets an edge, wider is
  // impossible, so the glyph is centred (status 2).
  EXPECT_EQ(SolveDesignVector(100, stems, 900, widths).status, 2);
  EXPECT_EQ(SolveDesignVector(100, stems, 100, widths).status, 1);
  // Equal masters: no root and no edge cut, the corner rule without any
  // division by zero.
  const double flat[4] = {80, 80, 80, 80};
  const DesignSolution corner = SolveDesignVector(120, flat, 500, flat);
  EXPECT_TRUE(corner.status == 1 || corner.status == 2);
  EXPECT_TRUE((corner.u == 0 || corner.u == 1) && (corner.v == 0 || corner.v == 1));
  EXPECT_FALSE(std::isnan(corner.blendedWidth));
  const DesignSolution same = SolveDesignVector(80, flat, 80, flat);
  EXPECT_FALSE(std::isnan(same.u));
}

// Most glyphs of the standard substitutes are exact: the solve answers 0
// and the blended advance is the standard width.
class StandardSubstituteFit : public ::testing::TestWithParam<int> {};

TEST_P(StandardSubstituteFit, SolvesExactlyForNearlyEveryGlyph) {
  runtime::LibraryContext context;
  runtime::CountedRef<FontProgram> program = StandardSubstitute::ForIndex(&context, GetParam());
  auto& mm = *static_cast<MultipleMasterFont*>(program.Get());
  int counted = 0, exact = 0;
  std::string misses;
  for (uint32_t g = 1; g < resources::kStandardGlyphCount; ++g) {
    if (mm.TargetWidth(g) == 0) continue;
    ++counted;
    Fixed scale;
    const DesignSolution solution = mm.Solve(g, &scale);
    if (solution.status == 0 && std::fabs(solution.blendedWidth - mm.TargetWidth(g)) <= 1) {
      ++exact;
    } else if (misses.size() < 300) {
      misses += std::string(resources::kStandardGlyphNames[g]) + " ";
    }
  }
  std::printf("standard index %d: %d of %d glyphs exact\n", GetParam(), exact, counted);
  EXPECT_GE(exact * 100, counted * 95) << exact << " of " << counted << ": " << misses;
}

INSTANTIATE_TEST_SUITE_P(HelveticaAndTimes, StandardSubstituteFit, ::testing::Values(4, 8));

struct InkBox {
  int x0 = 1 << 20, y0 = 1 << 20, x1 = -(1 << 20), y1 = -(1 << 20);
  void Add(int x, int y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x + 1);
    y1 = std::max(y1, y + 1);
  }
  bool Near(const InkBox& o) const {
    return std::abs(x0 - o.x0) <= 1 && std::abs(y0 - o.y0) <= 1 && std::abs(x1 - o.x1) <= 1 &&
           std::abs(y1 - o.y1) <= 1;
  }
};

// The Helvetica substitute's letters against NimbusSans-Regular rendered by
// FreeType at 48 px: coverage within 8%, boxes within a pixel.
TEST(MultipleMasterFontTest, HelveticaSubstituteLettersMatchFreeType) {
  const std::string path = std::string(fonttest::kUrwType1Dir) + "/NimbusSans-Regular.t1";
  const std::vector<uint8_t> bytes = fonttest::ReadBytes(path);
  if (bytes.empty()) {
    if (fonttest::UnderCi()) FAIL() << path << " missing";
    GTEST_SKIP() << path << " missing";
  }
  runtime::LibraryContext context;
  runtime::CountedRef<FontProgram> program = StandardSubstitute::ForIndex(&context, 4);
  auto& mm = *static_cast<MultipleMasterFont*>(program.Get());
  mm.SetHinting(false);
  fonttest::FreeTypeLibrary library;
  fonttest::FreeTypeFace face(library.get(), bytes);
  ASSERT_TRUE(face);
  const int px = 48;
  FT_Set_Pixel_Sizes(face.get(), 0, px);
  const Fixed scale = px * 65536;
  GlyphBitmapCache cache(mm, Matrix{scale, 0, 0, -scale, 0, 0}, 1, 1, {}, nullptr);
  runtime::ArenaAllocator arena(&context, 65536, 16384);
  std::string misses;
  int letters = 0;
  for (const char* range : {"A", "a"}) {
    for (int i = 0; i < 26; ++i) {
      const std::string name(1, static_cast<char>(range[0] + i));
      const uint32_t g = GlyphNamed(name.c_str());
      arena.Reset();
      const FT_UInt ftIndex = FT_Get_Name_Index(face.get(), name.c_str());
      ASSERT_EQ(FT_Load_Glyph(face.get(), ftIndex, FT_LOAD_NO_HINTING), 0);
      ASSERT_EQ(FT_Render_Glyph(face.get()->glyph, FT_RENDER_MODE_NORMAL), 0);
      const FT_GlyphSlot slot = face.get()->glyph;
      const CoverageRecord* record = cache.RenderGlyph(g, 0, nullptr, arena);
      ASSERT_NE(record, nullptr) << name;
      ++letters;
      // Coverage sums and the boxes of the covered pixels (y down).
      double ours = 0, theirs = 0;
      InkBox ourBox, theirBox;
      for (int y = record->y0; y < record->y1; ++y) {
        for (int x = record->x0; x < record->x1; ++x) {
          ours += record->At(x, y);
          if (record->At(x, y) != 0) ourBox.Add(x, y);
        }
      }
      const FT_Bitmap& bitmap = slot->bitmap;
      for (int row = 0; row < static_cast<int>(bitmap.rows); ++row) {
        for (int col = 0; col < static_cast<int>(bitmap.width); ++col) {
          const int value = bitmap.buffer[row * bitmap.pitch + col];
          theirs += value;
          if (value != 0) theirBox.Add(slot->bitmap_left + col, row - slot->bitmap_top);
        }
      }
      const bool boxOk = ourBox.Near(theirBox);
      const int fx0 = theirBox.x0, fy0 = theirBox.y0, fx1 = theirBox.x1, fy1 = theirBox.y1;
      if (!boxOk || std::fabs(ours - theirs) > 0.08 * theirs) {
        misses += name + " (" + std::to_string(ours / theirs) + " box " + std::to_string(ourBox.x0) +
                  "," + std::to_string(ourBox.y0) + "-" + std::to_string(ourBox.x1) + "," +
                  std::to_string(ourBox.y1) + " vs " + std::to_string(fx0) + "," + std::to_string(fy0) +
                  "-" + std::to_string(fx1) + "," + std::to_string(fy1) + ") ";
      }
    }
  }
  EXPECT_EQ(letters, 52);
  EXPECT_TRUE(misses.empty()) << misses;
}

}  // namespace
}  // namespace fonts
