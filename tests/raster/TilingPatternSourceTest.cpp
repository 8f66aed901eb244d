// The paint source of a tiling pattern, with a cell drawing that paints a
// known square: the grid a fill shows, a far translation that paints the
// same grid, a tiny cell over a large area drawn once, and a cell too big
// for a tile drawn cell by cell.
#include "raster/TilingPatternSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/ArenaAllocator.h"
#include "runtime/LibraryContext.h"

namespace raster {
namespace {

using runtime::FixedFromFloat;
using runtime::FixedFromInt;
using runtime::FixedToDouble;

// Paints the square [0, side) x [0, side) of pattern space, pixel by pixel
// through the target's matrix (axis-aligned here): shape 255 for an
// uncoloured cell, alpha 255 and colour 100 + c for a coloured one.
struct SquareCell {
  double side = 5;
  int calls = 0;
  int finishes = 0;

  static void Draw(void* user, const TilingCellTarget& target) {
    auto* cell = static_cast<SquareCell*>(user);
    if (target.finish) {
      ++cell->finishes;
      return;
    }
    ++cell->calls;
    const runtime::Matrix& m = target.matrix;
    const double a = FixedToDouble(m.a), d = FixedToDouble(m.d), e = FixedToDouble(m.e), f = FixedToDouble(m.f);
    // The square's pixels, cut to the clip.
    const double px0 = std::min(e, e + a * cell->side), px1 = std::max(e, e + a * cell->side);
    const double py0 = std::min(f, f + d * cell->side), py1 = std::max(f, f + d * cell->side);
    const int x0 = std::max<int>(target.clip.x0, static_cast<int>(std::ceil(px0 - 0.5)));
    const int x1 = std::min<int>(target.clip.x1, static_cast<int>(std::ceil(px1 - 0.5)));
    const int y0 = std::max<int>(target.clip.y0, static_cast<int>(std::ceil(py0 - 0.5)));
    const int y1 = std::min<int>(target.clip.y1, static_cast<int>(std::ceil(py1 - 0.5)));
    for (int y = y0; y < y1; ++y) {
      for (PixelPlane* plane : {target.planes.shape, target.planes.alpha, target.planes.colour}) {
        if (plane != nullptr) plane->SetRow(y);
      }
      for (int x = x0; x < x1; ++x) {
        if (target.uncoloured) {
          *CursorAt(target.planes.shape, x).Channel(0) = 255;
          continue;
        }
        *CursorAt(target.planes.alpha, x).Channel(0) = 255;
        for (int c = 0; c < target.components; ++c) {
          *CursorAt(target.planes.colour, x).Channel(c) = static_cast<uint8_t>(100 + c);
        }
      }
    }
  }
};

class TilingPatternSourceTest : public ::testing::Test {
 protected:
  content::TilingPattern Pattern(double step, double box, runtime::Matrix matrix, bool uncoloured = false) {
    content::TilingPattern pattern;
    pattern.xStep = pattern.yStep = FixedFromFloat(step);
    pattern.bbox = runtime::Rect{0, 0, FixedFromFloat(box), FixedFromFloat(box)};
    pattern.matrix = content::TilingPattern::NormaliseTranslation(matrix, pattern.xStep, pattern.yStep);
    pattern.uncoloured = uncoloured;
    return pattern;
  }
  // The coverage byte (shape, or alpha of a coloured pattern) of every
  // pixel of `area`, and the first colour byte of the painted ones.
  static std::vector<int> Read(PipelineNode* source, const IntRect& area, bool uncoloured, bool* colourRight) {
    std::vector<int> values;
    *colourRight = true;
    for (int32_t y = area.y0; y < area.y1; ++y) {
      source->BeginRow(y);
      source->RunSpan(area.x0, area.x1);
      const PixelTriple& out = source->Current();
      for (PixelPlane* plane : {out.shape, out.alpha, out.colour}) {
        if (plane != nullptr && plane->format.rowStep != 0) plane->SetRow(y);
      }
      for (int32_t x = area.x0; x < area.x1; ++x) {
        const int coverage = *CursorAt(uncoloured ? out.shape : out.alpha, x).Channel(0);
        values.push_back(coverage);
        if (!uncoloured && coverage == 255 && *CursorAt(out.colour, x).Channel(0) != 100) *colourRight = false;
      }
    }
    return values;
  }
  // The hand-computed grid: a pixel is covered when its centre lies in the
  // square [0, side) of its cell, cells `step` pixels apart from `origin`.
  static std::vector<int> Expected(const IntRect& area, double step, double side, double originX, double originY) {
    std::vector<int> values;
    for (int32_t y = area.y0; y < area.y1; ++y) {
      for (int32_t x = area.x0; x < area.x1; ++x) {
        const double u = std::fmod(x + 0.5 - originX, step), v = std::fmod(y + 0.5 - originY, step);
        const double uu = u < 0 ? u + step : u, vv = v < 0 ? v + step : v;
        values.push_back(uu < side && vv < side ? 255 : 0);
      }
    }
    return values;
  }

  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 65536, 16384};
};

TEST_F(TilingPatternSourceTest, FarTranslationPaintsTheHandComputedGrid) {
  const IntRect area{3, 7, 67, 51};
  for (double translation : {0.0, 10000.0, -10000.0}) {
    for (bool uncoloured : {false, true}) {
      SquareCell cell;
      const content::TilingPattern pattern =
          Pattern(10, 10, runtime::Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, FixedFromFloat(translation),
                                          FixedFromFloat(translation)},
                  uncoloured);
      const TilingPatternPaint paint =
          TilingPatternSource::Create(&context, arena, pattern, area, 3, &SquareCell::Draw, &cell);
      ASSERT_NE(paint.source, nullptr);
      EXPECT_TRUE(paint.tiled);
      EXPECT_EQ(cell.calls, 1);
      EXPECT_EQ(cell.finishes, 1);
      bool colourRight = false;
      EXPECT_EQ(Read(paint.source, area, uncoloured, &colourRight), Expected(area, 10, 5, 0, 0))
          << translation << " " << uncoloured;
      EXPECT_TRUE(colourRight);
    }
  }
}

TEST_F(TilingPatternSourceTest, TinyCellOverALargeAreaIsDrawnOnce) {
  SquareCell cell;
  cell.side = 0.005;
  const content::TilingPattern pattern = Pattern(0.01, 0.01, runtime::Matrix{});
  const IntRect area{0, 0, 2000, 2000};
  const TilingPatternPaint paint = TilingPatternSource::Create(&context, arena, pattern, area, 3, &SquareCell::Draw, &cell);
  EXPECT_TRUE(paint.tiled);
  EXPECT_EQ(cell.calls, 1);
  EXPECT_EQ(paint.cellsDrawn, 1u);
  ASSERT_NE(paint.source, nullptr);
  // Half of each tiny cell's side is covered: about a quarter of each pixel.
  bool colourRight = false;
  const std::vector<int> row = Read(paint.source, IntRect{0, 0, 2000, 1}, false, &colourRight);
  for (int v : row) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, 255);
  }
}

TEST_F(TilingPatternSourceTest, LargeCellsAreDrawnOneByOneOverTheArea) {
  // 3000-pixel cells do not fit a tile: each cell meeting the area is drawn
  // over the area itself.
  SquareCell cell;
  cell.side = 1500;
  const content::TilingPattern pattern =
      Pattern(3000, 3000, runtime::Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, FixedFromInt(-1450), FixedFromInt(-2990)});
  const IntRect area{0, 0, 100, 40};
  const TilingPatternPaint paint = TilingPatternSource::Create(&context, arena, pattern, area, 3, &SquareCell::Draw, &cell);
  ASSERT_NE(paint.source, nullptr);
  EXPECT_FALSE(paint.tiled);
  EXPECT_TRUE(paint.complete);
  // One column (x from -1450 to 1550) and two rows (y from -2990 to 10 and
  // from 10 to 3010) meet the area.
  EXPECT_EQ(cell.calls, 2);
  EXPECT_EQ(cell.finishes, 1);
  bool colourRight = false;
  EXPECT_EQ(Read(paint.source, area, false, &colourRight), Expected(area, 3000, 1500, -1450, -2990));
  EXPECT_TRUE(colourRight);
}

TEST_F(TilingPatternSourceTest, TilesAreNeverLargerThanTheArea) {
  // 40-pixel cells over a 20 x 10 area: no 40 x 40 tile, the cells are
  // drawn over the area.
  SquareCell cell;
  cell.side = 20;
  const content::TilingPattern pattern = Pattern(40, 40, runtime::Matrix{});
  const IntRect area{5, 5, 25, 15};
  const TilingPatternPaint paint = TilingPatternSource::Create(&context, arena, pattern, area, 3, &SquareCell::Draw, &cell);
  ASSERT_NE(paint.source, nullptr);
  EXPECT_FALSE(paint.tiled);
  EXPECT_EQ(cell.calls, 1);
  bool colourRight = false;
  EXPECT_EQ(Read(paint.source, area, false, &colourRight), Expected(area, 40, 20, 0, 0));
  EXPECT_TRUE(colourRight);
}

TEST_F(TilingPatternSourceTest, NothingToPaint) {
  SquareCell cell;
  content::TilingPattern empty = Pattern(10, 10, runtime::Matrix{});
  empty.bbox.x1 = 0;
  const content::TilingPattern singular =
      Pattern(10, 10, runtime::Matrix{runtime::kFixedOne, runtime::kFixedOne, runtime::kFixedOne, runtime::kFixedOne, 0, 0});
  for (const content::TilingPattern* pattern : std::vector<const content::TilingPattern*>{&empty, &singular}) {
    const TilingPatternPaint paint =
        TilingPatternSource::Create(&context, arena, *pattern, IntRect{0, 0, 10, 10}, 3, &SquareCell::Draw, &cell);
    EXPECT_EQ(paint.source, nullptr);
  }
  const TilingPatternPaint noArea = TilingPatternSource::Create(&context, arena, Pattern(10, 10, runtime::Matrix{}),
                                                                IntRect{5, 5, 5, 9}, 3, &SquareCell::Draw, &cell);
  EXPECT_EQ(noArea.source, nullptr);
  EXPECT_EQ(cell.calls, 0);
  EXPECT_EQ(cell.finishes, 0);
}

}  // namespace
}  // namespace raster
