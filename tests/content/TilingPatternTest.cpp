// Tiling and shading patterns as a fill chooses them: the pattern
// dictionary and its checks, the translation kept small without moving the
// grid, the cells an area meets (all of them, and few enough to paint in
// bounded time), and the plain colour a fill falls back to.
#include "content/TilingPattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "content/Pattern.h"
#include "pdf/Document.h"
#include "runtime/LibraryContext.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace {

using content::Pattern;
using content::PatternPaint;
using content::PatternRequest;
using content::TilingPattern;
using runtime::FixedFromFloat;
using runtime::FixedFromInt;
using runtime::FixedToDouble;
using runtime::ObjectHandle;

runtime::Matrix Make(double a, double b, double c, double d, double e, double f) {
  return {FixedFromFloat(a), FixedFromFloat(b), FixedFromFloat(c), FixedFromFloat(d), FixedFromFloat(e), FixedFromFloat(f)};
}

// Objects 1 and 2 are a catalog and an empty page tree; the given bodies
// are objects 3 on.
class ObjectsDoc {
 public:
  ObjectsDoc(runtime::LibraryContext* context, const std::vector<std::string>& bodies)
      : bytes_(Build(bodies)), document_(context, bytes_) {}
  ObjectHandle Object(uint32_t number) { return document_->GetObject(number, 0); }

 private:
  static std::string Build(const std::vector<std::string>& bodies) {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"};
    objects.insert(objects.end(), bodies.begin(), bodies.end());
    return testsupport::SmallPdfFile(objects);
  }
  std::string bytes_;
  pdftest::OpenDocument document_;
};

std::string TilingStream(const std::string& entries) {
  return testsupport::StreamBody("/PatternType 1 " + entries, "0 0 5 5 re f");
}

class TilingPatternTest : public ::testing::Test {
 protected:
  TilingPattern ParseOne(const std::string& entries, const runtime::Matrix& base = {}) {
    ObjectsDoc doc(&context, {TilingStream(entries)});
    return TilingPattern::Parse(doc.Object(3), base);
  }
  long ParseCode(const std::string& entries) {
    return testsupport::RuntimeCodeOf(&context, [&] { ParseOne(entries); });
  }
  runtime::LibraryContext context;
};

TEST_F(TilingPatternTest, DictionaryChecks) {
  const std::string good = " /BBox [0 0 10 10] /XStep 10 /YStep 10";
  struct Case {
    std::string entries;
    long code;  // -1: parses
  } cases[] = {
      {"/PaintType 1 /TilingType 1" + good, -1},
      {"/PaintType 2 /TilingType 3" + good, -1},
      {"/PaintType 1 /TilingType 4" + good, runtime::kMalformed},
      {"/PaintType 3 /TilingType 1" + good, runtime::kMalformed},
      {"/PaintType 0 /TilingType 1" + good, runtime::kMalformed},
      {"/TilingType 1" + good, runtime::kMalformed},                 // no PaintType
      {"/PaintType 1.0 /TilingType 1" + good, runtime::kMalformed},  // not an integer
      {"/PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 0 /YStep 10", runtime::kMalformed},
      {"/PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10", runtime::kMalformed},
      {"/PaintType 1 /TilingType 1 /XStep 10 /YStep 10", runtime::kMalformed},  // no BBox
      {"/PaintType 1 /TilingType 1 /Matrix [1 0 0 1]" + good, runtime::kMalformed},
      {"/PaintType 1 /TilingType 1 /Matrix 5" + good, runtime::kMalformed},
  };
  for (const Case& test : cases) EXPECT_EQ(ParseCode(test.entries), test.code) << test.entries;

  const TilingPattern uncoloured = ParseOne("/PaintType 2 /TilingType 1 /BBox [10 0 0 10] /XStep -4 /YStep 6.5");
  EXPECT_TRUE(uncoloured.uncoloured);
  EXPECT_EQ(uncoloured.bbox, (runtime::Rect{0, 0, FixedFromInt(10), FixedFromInt(10)}));
  EXPECT_EQ(uncoloured.xStep, FixedFromInt(-4));
  EXPECT_NEAR(FixedToDouble(uncoloured.yStep), 6.5, 1e-4);
}

// The translation moves by whole steps: what moved is a lattice vector of
// the grid, and what is left lies within one step of the origin.
TEST_F(TilingPatternTest, TranslationNormalisedOnTheGrid) {
  struct Case {
    runtime::Matrix m;
    double xStep, yStep;
  } cases[] = {
      {Make(1, 0, 0, 1, 10000, 10000), 100, 100},
      {Make(1, 0, 0, 1, -10000, 250), 100, 100},
      {Make(2, 0, 0, 2, 12345, -6789), 7, 9},
      {Make(0.866, 0.5, -0.5, 0.866, 3000, 4000), 12, 20},
      {Make(1, 0, 0.5, -1, 777, 5555), 10, -11},
  };
  for (const Case& test : cases) {
    const runtime::Matrix n = TilingPattern::NormaliseTranslation(test.m, FixedFromFloat(test.xStep),
                                                                  FixedFromFloat(test.yStep));
    const double a = FixedToDouble(test.m.a), b = FixedToDouble(test.m.b);
    const double c = FixedToDouble(test.m.c), d = FixedToDouble(test.m.d);
    const double de = FixedToDouble(n.e) - FixedToDouble(test.m.e), df = FixedToDouble(n.f) - FixedToDouble(test.m.f);
    // (de, df) = i (a, b) xStep + j (c, d) yStep for whole i and j.
    const double det = a * d - b * c;
    const double i = (de * d - df * c) / det / test.xStep, j = (df * a - de * b) / det / test.yStep;
    EXPECT_NEAR(i, std::round(i), 1e-3) << test.xStep;
    EXPECT_NEAR(j, std::round(j), 1e-3) << test.xStep;
    // The origin of pattern space now lies in the cell at the origin.
    const double pe = FixedToDouble(n.e), pf = FixedToDouble(n.f);
    const double u = (pe * d - pf * c) / det, v = (pf * a - pe * b) / det;
    EXPECT_LE(std::fabs(u), std::fabs(test.xStep) / 2 + 1e-3) << test.xStep;
    EXPECT_LE(std::fabs(v), std::fabs(test.yStep) / 2 + 1e-3) << test.xStep;
    EXPECT_EQ(n.a, test.m.a);
    EXPECT_EQ(n.d, test.m.d);
  }
}

// The device positions of the cells VisitCells gives over an area.
std::set<std::pair<double, double>> CellOrigins(const TilingPattern& pattern, const runtime::Rect& area) {
  std::set<std::pair<double, double>> origins;
  bool complete = false;
  pattern.VisitCells(area, TilingPattern::kMaxCells, complete,
                     [](void* user, int32_t, int32_t, const runtime::Matrix& m) {
                       static_cast<std::set<std::pair<double, double>>*>(user)->insert(
                           {std::round(FixedToDouble(m.e) * 1000) / 1000, std::round(FixedToDouble(m.f) * 1000) / 1000});
                     },
                     &origins);
  EXPECT_TRUE(complete);
  return origins;
}

TEST_F(TilingPatternTest, FarTranslationPaintsTheSameGrid) {
  const std::string entries = "/PaintType 1 /TilingType 1 /BBox [0 0 20 20] /XStep 100 /YStep 100";
  const runtime::Matrix base = Make(1, 0, 0, -1, 0, 792);
  const TilingPattern far = ParseOne(entries + " /Matrix [1 0 0 1 10000 10000]", base);
  const TilingPattern near = ParseOne(entries + " /Matrix [1 0 0 1 0 0]", base);
  EXPECT_EQ(far.matrix, near.matrix);
  const runtime::Rect page{0, 0, FixedFromInt(612), FixedFromInt(792)};
  const auto origins = CellOrigins(far, page);
  EXPECT_EQ(origins, CellOrigins(near, page));
  // Cells 20 units wide every 100: columns 0..6 start left of x = 612 and
  // rows 0..7 below y = 792.
  EXPECT_EQ(origins.size(), 7u * 8u);
  EXPECT_TRUE(origins.count({600, 792}));
}

// Device corners of cell (i, j)'s box.
std::vector<std::pair<double, double>> CellCorners(const TilingPattern& p, int i, int j) {
  std::vector<std::pair<double, double>> corners;
  const double m[6] = {FixedToDouble(p.matrix.a), FixedToDouble(p.matrix.b), FixedToDouble(p.matrix.c),
                       FixedToDouble(p.matrix.d), FixedToDouble(p.matrix.e), FixedToDouble(p.matrix.f)};
  for (double x : {FixedToDouble(p.bbox.x0), FixedToDouble(p.bbox.x1)}) {
    for (double y : {FixedToDouble(p.bbox.y0), FixedToDouble(p.bbox.y1)}) {
      const double u = x + i * FixedToDouble(p.xStep), v = y + j * FixedToDouble(p.yStep);
      corners.push_back({m[0] * u + m[2] * v + m[4], m[1] * u + m[3] * v + m[5]});
    }
  }
  return corners;
}

// Separating-axis test of a cell's parallelogram against the area.
bool CellMeetsArea(const std::vector<std::pair<double, double>>& cell, double x0, double y0, double x1, double y1) {
  double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
  for (auto [x, y] : cell) minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
  if (maxX <= x0 || minX >= x1 || maxY <= y0 || minY >= y1) return false;
  const std::pair<double, double> edges[2] = {{cell[2].first - cell[0].first, cell[2].second - cell[0].second},
                                              {cell[1].first - cell[0].first, cell[1].second - cell[0].second}};
  const double area[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  for (auto [ex, ey] : edges) {
    const double nx = -ey, ny = ex;
    double cMin = 1e300, cMax = -1e300, aMin = 1e300, aMax = -1e300;
    for (auto [x, y] : cell) cMin = std::min(cMin, nx * x + ny * y), cMax = std::max(cMax, nx * x + ny * y);
    for (auto& p : area) aMin = std::min(aMin, nx * p[0] + ny * p[1]), aMax = std::max(aMax, nx * p[0] + ny * p[1]);
    if (cMax <= aMin || aMax <= cMin) return false;
  }
  return true;
}

TEST_F(TilingPatternTest, EveryCellThatMeetsTheAreaIsVisited) {
  struct Case {
    const char* entries;
    runtime::Matrix base;
  } cases[] = {
      {"/BBox [0 0 10 10] /XStep 12 /YStep 12 /Matrix [0.866 0.5 -0.5 0.866 3 4]", {}},
      {"/BBox [-5 -5 25 8] /XStep 10 /YStep 6 /Matrix [1 0 2 1 0 0]", Make(1.5, 0, 0, -1.5, 0, 150)},
      {"/BBox [0 0 10 10] /XStep -12 /YStep 14", Make(0, 1, 1, 0, 0, 0)},
  };
  const double x0 = 10, y0 = 20, x1 = 110, y1 = 90;
  const runtime::Rect area{FixedFromFloat(x0), FixedFromFloat(y0), FixedFromFloat(x1), FixedFromFloat(y1)};
  for (const Case& test : cases) {
    const TilingPattern pattern = ParseOne(std::string("/PaintType 1 /TilingType 1 ") + test.entries, test.base);
    std::set<std::pair<int, int>> visited;
    bool complete = false;
    pattern.VisitCells(area, TilingPattern::kMaxCells, complete,
                       [](void* user, int32_t i, int32_t j, const runtime::Matrix&) {
                         static_cast<std::set<std::pair<int, int>>*>(user)->insert({i, j});
                       },
                       &visited);
    ASSERT_TRUE(complete);
    int meeting = 0;
    for (int i = -60; i <= 60; ++i) {
      for (int j = -60; j <= 60; ++j) {
        if (!CellMeetsArea(CellCorners(pattern, i, j), x0, y0, x1, y1)) continue;
        ++meeting;
        EXPECT_TRUE(visited.count({i, j})) << test.entries << " cell " << i << "," << j;
      }
    }
    // Few cells beyond those that meet: the rows are narrowed to the area.
    EXPECT_GT(meeting, 0);
    EXPECT_LE(static_cast<int>(visited.size()), meeting * 2 + 10) << test.entries;
    EXPECT_EQ(pattern.CountCells(area, 1u << 20), visited.size()) << test.entries;
  }
}

TEST_F(TilingPatternTest, TinyCellsOverALargeAreaStopAtTheLimit) {
  const TilingPattern pattern =
      ParseOne("/PaintType 1 /TilingType 1 /BBox [0 0 0.01 0.01] /XStep 0.01 /YStep 0.01", Make(1, 0, 0, -1, 0, 792));
  const runtime::Rect page{0, 0, FixedFromInt(612), FixedFromInt(792)};
  // About 4.8 billion cells; the count stops at its cap.
  EXPECT_EQ(pattern.CountCells(page, 1000000), 1000000u);
  bool complete = true;
  uint32_t calls = 0;
  const uint32_t visited = pattern.VisitCells(
      page, TilingPattern::kMaxCells, complete, [](void* user, int32_t, int32_t, const runtime::Matrix&) { ++*static_cast<uint32_t*>(user); },
      &calls);
  EXPECT_EQ(visited, TilingPattern::kMaxCells);
  EXPECT_EQ(calls, TilingPattern::kMaxCells);
  EXPECT_FALSE(complete);
}

TEST_F(TilingPatternTest, EmptyBoxOrSingularMatrixPaintsNothing) {
  for (const char* entries : {"/BBox [0 0 0 10] /XStep 10 /YStep 10", "/BBox [0 0 10 10] /XStep 10 /YStep 10 /Matrix [1 1 1 1 0 0]"}) {
    const TilingPattern pattern = ParseOne(std::string("/PaintType 1 /TilingType 1 ") + entries);
    EXPECT_TRUE(pattern.PaintsNothing()) << entries;
    bool complete = false;
    const runtime::Rect area{0, 0, FixedFromInt(100), FixedFromInt(100)};
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] {
                pattern.VisitCells(area, 10, complete, [](void*, int32_t, int32_t, const runtime::Matrix&) {}, nullptr);
              }),
              -1);
    EXPECT_TRUE(complete);
  }
}

TEST_F(TilingPatternTest, PaintChosenFromTheColourAndTheResources) {
  ObjectsDoc doc(&context,
                 {"<< /Pattern << /T 4 0 R /U 5 0 R /S 6 0 R /Bad 7 0 R /NoType 8 0 R /NoShading 9 0 R >> >>",
                  TilingStream("/PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10"),
                  TilingStream("/PaintType 2 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10"),
                  "<< /PatternType 2 /Matrix [2 0 0 2 5 5] /ExtGState << /CA 0.5 >> /Shading << /ShadingType 2 "
                  "/ColorSpace /DeviceRGB /Coords [0 0 1 0] /Function << /FunctionType 2 /Domain [0 1] /N 1 >> >> >>",
                  "<< /PatternType 3 >>", "<< /Shading << >> >>", "<< /PatternType 2 >>"});
  const ObjectHandle resources = doc.Object(3);
  struct Case {
    bool patternSpace, underlying, named;
    const char* name;
    long code;  // -1: chosen
    PatternPaint::Kind kind;
  } cases[] = {
      {false, false, false, "", -1, PatternPaint::Kind::kPlain},
      {true, true, false, "", -1, PatternPaint::Kind::kPlain},  // a plain colour of the underlying space
      {true, false, true, "Missing", -1, PatternPaint::Kind::kPlain},
      {true, false, true, "T", -1, PatternPaint::Kind::kTiling},
      {true, true, true, "U", -1, PatternPaint::Kind::kTiling},
      {true, false, true, "U", runtime::kMalformed, PatternPaint::Kind::kPlain},
      {true, false, true, "S", -1, PatternPaint::Kind::kShading},
      {true, false, true, "Bad", runtime::kMalformed, PatternPaint::Kind::kPlain},
      {true, false, true, "NoType", runtime::kMalformed, PatternPaint::Kind::kPlain},
      {true, false, true, "NoShading", runtime::kMalformed, PatternPaint::Kind::kPlain},
  };
  const runtime::Matrix base = Make(1, 0, 0, -1, 0, 100);
  for (const Case& test : cases) {
    PatternRequest request;
    request.patternSpace = test.patternSpace;
    request.hasUnderlying = test.underlying;
    request.hasPatternName = test.named;
    request.name = test.name;
    request.resources = &resources;
    request.base = base;
    PatternPaint paint;
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { paint = Pattern::SetupPaint(request); }), test.code)
        << test.name;
    if (test.code != -1) continue;
    EXPECT_EQ(paint.kind, test.kind) << test.name;
    if (paint.kind == PatternPaint::Kind::kShading) {
      // The pattern's matrix, then the base; the ExtGState is not applied.
      EXPECT_EQ(paint.matrix, Make(2, 0, 0, -2, 5, 95));
      EXPECT_EQ(paint.shading.Tag(), runtime::ObjectTag::kDictionary);
    }
    if (std::string(test.name) == "U") {
      EXPECT_TRUE(paint.tiling.uncoloured);
    }
  }
}

TEST_F(TilingPatternTest, HighlightLightensOrHalves) {
  struct Case {
    bool colour;
    double in, out;
  } cases[] = {{true, 0.9, 1.0}, {true, 0.5, 0.7}, {false, 0.9, 0.45}, {false, 0.5, 0.25}};
  for (const Case& test : cases) {
    runtime::Fixed value = FixedFromFloat(test.in);
    Pattern::Highlight(&value, 1, test.colour);
    EXPECT_NEAR(FixedToDouble(value), test.out, 1e-4) << test.in << " " << test.colour;
  }
}

}  // namespace
