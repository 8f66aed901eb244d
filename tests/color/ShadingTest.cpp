// Shading dictionaries and the sampling rasterisers (function-based, axial,
// radial): what each entry does to the pixels, and the malformed entries
// that must fail with code 2 instead of painting garbage.
#include <gtest/gtest.h>

#include <string>

#include "color/ShadingColour.h"
#include "tests/color/ShadingHarness.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace color {
namespace {

using shadingtest::NearColour;
using shadingtest::ShadingHarness;

const std::string kRedToBlue = "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>";

std::string Axial(const std::string& extra) {
  return "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [8 4 56 4] /Function 3 0 R " + extra + " >>";
}

TEST(AxialShadingTest, RedToBlueAlongTheAxis) {
  ShadingHarness harness({Axial(""), kRedToBlue});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 8}));
  for (int32_t y : {0, 4, 7}) {
    EXPECT_TRUE(NearColour(harness.Pixel(8, y), 255, 0, 0, 3));
    EXPECT_TRUE(NearColour(harness.Pixel(55, y), 0, 0, 255, 4));
    EXPECT_TRUE(NearColour(harness.Pixel(32, y), 128, 0, 128, 6));
    // Outside the band between the perpendiculars nothing is painted.
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(harness.Pixel(x, y)[3], 0) << x;
    for (int32_t x = 56; x < 64; ++x) EXPECT_EQ(harness.Pixel(x, y)[3], 0) << x;
  }
}

TEST(AxialShadingTest, ExtendCarriesTheEndColours) {
  ShadingHarness harness({Axial("/Extend [true false]"), kRedToBlue});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 8}));
  for (int32_t x = 0; x < 8; ++x) EXPECT_TRUE(NearColour(harness.Pixel(x, 3), 255, 0, 0, 0)) << x;
  for (int32_t x = 56; x < 64; ++x) EXPECT_EQ(harness.Pixel(x, 3)[3], 0) << x;

  ShadingHarness both({Axial("/Extend [true true]"), kRedToBlue});
  ASSERT_TRUE(both.Paint({0, 0, 64, 8}));
  for (int32_t x = 56; x < 64; ++x) EXPECT_TRUE(NearColour(both.Pixel(x, 3), 0, 0, 255, 0)) << x;
}

TEST(AxialShadingTest, BackgroundOnlyForPatterns) {
  ShadingHarness harness({Axial("/Background [0 1 0]"), kRedToBlue});
  // "sh" ignores the background.
  ASSERT_TRUE(harness.Paint({0, 0, 64, 8}, {}, true));
  EXPECT_EQ(harness.Pixel(2, 2)[3], 0);
  // A pattern paints it wherever the shading does not reach.
  ASSERT_TRUE(harness.Paint({0, 0, 64, 8}, {}, false));
  EXPECT_TRUE(NearColour(harness.Pixel(2, 2), 0, 255, 0, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(60, 2), 0, 255, 0, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(8, 2), 255, 0, 0, 3));
}

TEST(AxialShadingTest, BBoxClipsInEitherCornerOrder) {
  for (const char* box : {"[20 0 40 8]", "[40 8 20 0]"}) {
    SCOPED_TRACE(box);
    ShadingHarness harness({Axial(std::string("/BBox ") + box), kRedToBlue});
    ASSERT_TRUE(harness.Paint({0, 0, 64, 8}));
    EXPECT_EQ(harness.Pixel(15, 4)[3], 0);
    EXPECT_EQ(harness.Pixel(30, 4)[3], 255);
    EXPECT_EQ(harness.Pixel(45, 4)[3], 0);
  }
  // A BBox far from the region paints nothing.
  ShadingHarness away({Axial("/BBox [500 500 600 600]"), kRedToBlue});
  EXPECT_FALSE(away.Paint({0, 0, 64, 8}));
}

TEST(AxialShadingTest, DegenerateAxisAndSingularMatrixPaintNothing) {
  ShadingHarness point({"<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [8 4 8 4] /Function 3 0 R >>", kRedToBlue});
  EXPECT_FALSE(point.Paint({0, 0, 64, 8}));
  ShadingHarness flat({Axial(""), kRedToBlue});
  EXPECT_FALSE(flat.Paint({0, 0, 64, 8}, runtime::Matrix{0, 0, 0, 0, 0, 0}));
}

TEST(AxialShadingTest, WideDomainStaysInsideTheTable) {
  // t runs 0..360; the table index must stay in 0..256 for every pixel.
  ShadingHarness harness(
      {"<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [8 4 56 4] /Domain [0 360] /Extend [true true] "
       "/Function 3 0 R >>",
       testsupport::StreamBody("/FunctionType 4 /Domain [0 360] /Range [0 1 0 1 0 1]",
                               "{ 360 div dup 1 exch sub exch 0 exch }")});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 8}));
  EXPECT_TRUE(NearColour(harness.Pixel(0, 0), 255, 0, 0, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(63, 0), 0, 0, 255, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 0), 128, 0, 128, 6));
}

TEST(SampledShadingTest, CoordinatesBeyondFixedPointUnderAShrinkingMatrix) {
  // Shadings laid out in fine units (a few hundred thousand per page)
  // under a matrix of 1/8192: the same pictures as in user units, where
  // 16.16 coordinates would clamp every point to 32767 and paint nothing.
  const runtime::Matrix fine{8, 0, 0, 8, 0, 0};
  struct Case {
    const char* name;
    std::string shading;
    runtime::IntRect area;
    int32_t x, y, red, green, blue, tolerance;
  };
  const Case cases[] = {
      {"axial start", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [65536 32768 458752 32768] /Function 3 0 R >>",
       {0, 0, 64, 8}, 8, 4, 255, 0, 0, 3},
      {"axial middle", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [65536 32768 458752 32768] /Function 3 0 R >>",
       {0, 0, 64, 8}, 32, 4, 128, 0, 128, 6},
      {"axial end", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [65536 32768 458752 32768] /Function 3 0 R >>",
       {0, 0, 64, 8}, 55, 4, 0, 0, 255, 4},
      {"radial centre", "<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [262144 262144 0 262144 262144 245760] "
       "/Function 3 0 R >>", {0, 0, 64, 64}, 32, 32, 255, 0, 0, 10},
      {"radial half way", "<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [262144 262144 0 262144 262144 245760] "
       "/Function 3 0 R >>", {0, 0, 64, 64}, 47, 32, 128, 0, 128, 8},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ShadingHarness harness({test.shading, kRedToBlue});
    ASSERT_TRUE(harness.Paint(test.area, fine));
    EXPECT_TRUE(NearColour(harness.Pixel(test.x, test.y), test.red, test.green, test.blue, test.tolerance));
    EXPECT_EQ(harness.Pixel(2, 2)[3], 0);
  }
}

TEST(SampledShadingTest, AntiAliasBlendsBetweenTableEntries) {
  // A function that steps from red to blue at t = 0.5, on an axis (and a
  // radius) of 2560 units whose middle is x = 32: one table entry spans
  // ten pixels. Without AntiAlias the step is one hard edge at an entry;
  // with it the colour ramps over the entry before the step.
  const std::string steps =
      "<< /FunctionType 3 /Domain [0 1] /Bounds [0.5] /Encode [0 1 0 1] /Functions ["
      "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [1 0 0] /N 1 >> "
      "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 1] /C1 [0 0 1] /N 1 >>] >>";
  const char* const shapes[] = {
      "/ShadingType 2 /ColorSpace /DeviceRGB /Coords [-1248 4 1312 4] /Function 3 0 R",
      "/ShadingType 3 /ColorSpace /DeviceRGB /Coords [-1248 4 0 -1248 4 2560] /Function 3 0 R",
  };
  for (const char* shape : shapes) {
    SCOPED_TRACE(shape);
    ShadingHarness hard({std::string("<< ") + shape + " >>", steps});
    ASSERT_TRUE(hard.Paint({0, 0, 64, 8}));
    EXPECT_TRUE(NearColour(hard.Pixel(24, 4), 255, 0, 0, 0));
    EXPECT_TRUE(NearColour(hard.Pixel(29, 4), 0, 0, 255, 0));
    ShadingHarness smooth({std::string("<< ") + shape + " /AntiAlias true >>", steps});
    ASSERT_TRUE(smooth.Paint({0, 0, 64, 8}));
    EXPECT_TRUE(NearColour(smooth.Pixel(5, 4), 255, 0, 0, 0));
    // t = 1277.5 / 2560: three quarters of the way from entry 127 to 128.
    EXPECT_TRUE(NearColour(smooth.Pixel(29, 4), 64, 0, 191, 3));
    EXPECT_TRUE(NearColour(smooth.Pixel(60, 4), 0, 0, 255, 0));
    for (int32_t x = 1; x < 64; ++x) EXPECT_LE(smooth.Pixel(x, 4)[0], smooth.Pixel(x - 1, 4)[0]) << x;
  }
}

TEST(ShadingColourTest, TableIndexClampsAndRounds) {
  ShadingHarness harness({kRedToBlue});
  ShadingDict dict;
  ColorContext colors(&harness.context, nullptr);
  dict.space = colors.DeviceRgb();
  dict.functions.Parse(&harness.context, harness.Object(2), harness.Document());
  ShadingRenderContext render;
  render.target.context = &harness.context;
  render.target.space = colors.DeviceRgb();
  ShadingColour colour(render, dict);
  colour.Prepare();
  struct Case {
    const char* name;
    Fixed t0, t1, t;
    int32_t index;
  } cases[] = {
      {"start", 0, 0x10000, 0, 0},
      {"end", 0, 0x10000, 0x10000, 256},
      {"middle", 0, 0x10000, 0x8000, 128},
      {"below", 0, 0x10000, -0x50000, 0},
      {"above", 0, 0x10000, 0x50000, 256},
      {"wide domain end", 0, 360 << 16, 360 << 16, 256},
      {"wide domain middle", 0, 360 << 16, 180 << 16, 128},
      {"huge domain", -30000 << 16, 30000 << 16, 30000 << 16, 256},
      {"reversed", 0x10000, 0, 0, 256},
      {"empty", 0x10000, 0x10000, 0x10000, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    colour.BuildTable(harness.Arena(), test.t0, test.t1);
    EXPECT_EQ(colour.TableIndex(test.t), test.index);
  }
}

TEST(RadialShadingTest, ConcentricRingsFromRedToBlue) {
  ShadingHarness harness(
      {"<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [32 32 0 32 32 30] /Function 3 0 R >>", kRedToBlue});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 32), 255, 0, 0, 10));
  // Radius 15.5 from the centre: half way.
  EXPECT_TRUE(NearColour(harness.Pixel(47, 32), 128, 0, 128, 8));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 61), 0, 0, 255, 12));
  EXPECT_EQ(harness.Pixel(0, 0)[3], 0);
  EXPECT_EQ(harness.Pixel(63, 32)[3], 0);
}

TEST(RadialShadingTest, EqualCirclesPaintOnlyWithExtendAtTheEnd) {
  const std::string shape = "/ShadingType 3 /ColorSpace /DeviceRGB /Coords [32 32 10 32 32 10] /Function 3 0 R";
  ShadingHarness plain({"<< " + shape + " >>", kRedToBlue});
  ASSERT_TRUE(plain.Paint({0, 0, 64, 64}));
  EXPECT_EQ(plain.Pixel(32, 32)[3], 0);
  ShadingHarness start({"<< " + shape + " /Extend [true false] >>", kRedToBlue});
  ASSERT_TRUE(start.Paint({0, 0, 64, 64}));
  EXPECT_EQ(start.Pixel(32, 32)[3], 0);
  ShadingHarness end({"<< " + shape + " /Extend [false true] >>", kRedToBlue});
  ASSERT_TRUE(end.Paint({0, 0, 64, 64}));
  EXPECT_TRUE(NearColour(end.Pixel(32, 32), 0, 0, 255, 0));
  EXPECT_EQ(end.Pixel(32, 50)[3], 0);
}

TEST(RadialShadingTest, NestedCirclesWithTheSmallerFirst) {
  // Circle 0 (radius 5) inside circle 1 (radius 25): the ring between them
  // is shaded; Extend fills the inner disc with red and the outside with blue.
  ShadingHarness harness({"<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [32 32 5 32 32 25] "
                          "/Extend [true true] /Function 3 0 R >>",
                          kRedToBlue});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 32), 255, 0, 0, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(1, 1), 0, 0, 255, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(47, 32), 128, 0, 128, 10));
}

TEST(RadialShadingTest, ConeBetweenSeparateCircles) {
  // Two separate circles: only the cone they span is painted without Extend.
  ShadingHarness harness(
      {"<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [12 32 6 52 32 6] /Function 3 0 R >>", kRedToBlue});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 64}));
  // Later circles cover earlier ones: the left rim of circle 0 stays red,
  // the right rim of circle 1 is blue, and the middle shows the circle
  // whose left rim passes through it (s = 0.66).
  EXPECT_TRUE(NearColour(harness.Pixel(6, 32), 255, 0, 0, 8));
  EXPECT_TRUE(NearColour(harness.Pixel(57, 32), 0, 0, 255, 8));
  EXPECT_TRUE(NearColour(harness.Pixel(32, 32), 87, 0, 168, 6));
  EXPECT_EQ(harness.Pixel(32, 45)[3], 0);
  EXPECT_EQ(harness.Pixel(2, 32)[3], 0);
}

TEST(RadialShadingTest, NothingOutsideTheEndingCircleWithoutItsExtend) {
  // Circle 0 inside circle 1, off centre: with Extend [true false] the
  // painted area is the disc of circle 1. Every pixel past it keeps the
  // device's blank bytes, colour included: the row's colour bytes there
  // still hold what the previous row painted, and compositing adds
  // premultiplied colour.
  ShadingHarness harness({"<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [100 100 10 120 100 60] "
                          "/Extend [true false] /Function 3 0 R >>",
                          kRedToBlue});
  // Shading space with y up, as on a page.
  const runtime::Matrix flip{runtime::kFixedOne, 0, 0, -runtime::kFixedOne, 0, runtime::FixedFromInt(200)};
  ASSERT_TRUE(harness.Paint({0, 0, 200, 200}, flip));
  const shadingtest::Rgba blank = harness.Pixel(0, 0);
  EXPECT_EQ(blank[3], 0);
  int changed = 0;
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 200; ++x) {
      const double dx = x + 0.5 - 120, dy = y + 0.5 - 100;
      if (dx * dx + dy * dy > 61 * 61 && harness.Pixel(x, y) != blank) ++changed;
    }
  EXPECT_EQ(changed, 0);
  EXPECT_TRUE(NearColour(harness.Pixel(100, 100), 255, 0, 0, 0));
}

TEST(FunctionShadingTest, DomainBoundsArePainted) {
  // Domain [0 31] x [0 8], the CTM moving it half a pixel right so that
  // pixel centres fall on whole numbers: red is x / 31.
  ShadingHarness harness({"<< /ShadingType 1 /ColorSpace /DeviceRGB /Domain [0 31 0 8] /Function 3 0 R >>",
                          testsupport::StreamBody("/FunctionType 4 /Domain [0 32 0 8] /Range [0 1 0 1 0 1]",
                                                  "{ pop 31 div 0 0 }")});
  ASSERT_TRUE(harness.Paint({0, 0, 40, 8}, runtime::Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, 0x8000, 0}));
  EXPECT_TRUE(NearColour(harness.Pixel(0, 0), 0, 0, 0, 0));
  EXPECT_TRUE(NearColour(harness.Pixel(1, 0), 8, 0, 0, 1));
  // Pixel 31's centre maps to 31, exactly on the bound: painted.
  EXPECT_TRUE(NearColour(harness.Pixel(31, 0), 255, 0, 0, 1));
  EXPECT_EQ(harness.Pixel(32, 0)[3], 0);
}

TEST(FunctionShadingTest, MatrixMapsTheDomain) {
  // The unit square scaled by 10 and moved 5 to the right; grey = x.
  ShadingHarness harness({"<< /ShadingType 1 /ColorSpace /DeviceRGB /Matrix [10 0 0 10 5 0] /Function 3 0 R >>",
                          testsupport::StreamBody("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]",
                                                  "{ pop dup dup }")});
  ASSERT_TRUE(harness.Paint({0, 0, 20, 12}));
  EXPECT_EQ(harness.Pixel(4, 5)[3], 0);
  EXPECT_TRUE(NearColour(harness.Pixel(5, 5), 13, 13, 13, 1));
  EXPECT_TRUE(NearColour(harness.Pixel(14, 5), 242, 242, 242, 1));
  EXPECT_EQ(harness.Pixel(15, 5)[3], 0);
  EXPECT_EQ(harness.Pixel(8, 10)[3], 0);
}

TEST(ShadingDictTest, MalformedEntriesFailWithCodeTwo) {
  struct Case {
    const char* name;
    std::string shading;
  } cases[] = {
      {"ShadingType 0", "<< /ShadingType 0 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Function 3 0 R >>"},
      {"ShadingType 8", "<< /ShadingType 8 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Function 3 0 R >>"},
      {"no ShadingType", "<< /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Function 3 0 R >>"},
      {"no ColorSpace", "<< /ShadingType 2 /Coords [0 0 1 1] /Function 3 0 R >>"},
      {"ColorSpace a number", "<< /ShadingType 2 /ColorSpace 5 /Coords [0 0 1 1] /Function 3 0 R >>"},
      {"no Function", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 1] >>"},
      {"no Function, radial", "<< /ShadingType 3 /ColorSpace /DeviceRGB /Coords [0 0 1 1 1 2] >>"},
      {"Function a number", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Function 7 >>"},
      {"Function outputs 3 for gray", "<< /ShadingType 2 /ColorSpace /DeviceGray /Coords [0 0 1 1] /Function 3 0 R >>"},
      {"two functions for RGB", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Function [4 0 R 4 0 R] >>"},
      {"type 1 with a one-input function",
       "<< /ShadingType 1 /ColorSpace /DeviceRGB /Function 3 0 R >>"},
      {"Coords short", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1] /Function 3 0 R >>"},
      {"Coords missing", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Function 3 0 R >>"},
      {"Extend one boolean", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Extend true /Function 3 0 R >>"},
      {"Domain short", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Domain [0] /Function 3 0 R >>"},
      {"Matrix short", "<< /ShadingType 1 /ColorSpace /DeviceRGB /Matrix [1 0 0 1] /Function 5 0 R >>"},
      {"Background short", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /Background [1] /Function 3 0 R >>"},
      {"BBox of names", "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1 1] /BBox [/a /b /c /d] /Function 3 0 R >>"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ShadingHarness harness({test.shading, kRedToBlue, "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1 >>",
                            "<< /FunctionType 2 /Domain [0 1 0 1] /C0 [0 0 0] /C1 [1 1 1] /N 1 >>"});
    EXPECT_EQ(testsupport::RaisedCode([&] { harness.Stage({0, 0, 8, 8}, {}, false); }), runtime::kMalformed);
  }
}

TEST(ShadingDictTest, ThreeOneOutputFunctionsGiveOneComponentEach) {
  ShadingHarness harness({"<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 64 0] /Function [3 0 R 4 0 R 3 0 R] >>",
                          "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1 >>",
                          "<< /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] /N 1 >>"});
  ASSERT_TRUE(harness.Paint({0, 0, 64, 4}));
  EXPECT_TRUE(NearColour(harness.Pixel(0, 0), 0, 255, 0, 3));
  EXPECT_TRUE(NearColour(harness.Pixel(63, 0), 255, 0, 255, 3));
}

TEST(ShadingDictTest, PatternSpaceWithoutBasePaintsNothing) {
  ShadingHarness harness({"<< /ShadingType 2 /ColorSpace /Pattern /Coords [0 0 64 0] /Function 3 0 R >>", kRedToBlue});
  EXPECT_FALSE(harness.Paint({0, 0, 64, 4}));
}

}  // namespace
}  // namespace color
