#include "raster/BlendStage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "raster/BlendFunction.h"
#include "raster/CompositorNode.h"
#include "raster/ConstantSources.h"
#include "raster/PlaneSource.h"
#include "runtime/ArenaAllocator.h"
#include "tests/raster/TestColorSpace.h"

namespace raster {
namespace {

using C = BlendStageClass;

// The separable blend functions of the PDF imaging model on colour values
// in [0, 1], as the format defines them.
double HardLight(double b, double s) { return s <= 0.5 ? b * 2 * s : b + (2 * s - 1) - b * (2 * s - 1); }
double SoftLight(double b, double s) {
  if (s <= 0.5) return b - (1 - 2 * s) * b * (1 - b);
  const double d = b <= 0.25 ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
  return b + (2 * s - 1) * (d - b);
}
// A full source colour dodges to 1 and a zero one burns to 0 whatever the
// backdrop: the order in which the format's first edition takes the limits.
double Dodge(double b, double s) { return s >= 1 ? 1 : std::min(1.0, b / (1 - s)); }
double Burn(double b, double s) { return s <= 0 ? 0 : 1 - std::min(1.0, (1 - b) / s); }

using BlendFormula = std::function<double(double, double)>;
BlendFormula Complemented(BlendFormula f) {
  return [f](double b, double s) { return 1 - f(1 - b, 1 - s); };
}

struct StageClassCase {
  C stageClass;
  const char* name;
  BlendFormula blend;
  int tolerance;  // bytes
};

std::vector<StageClassCase> AllClasses() {
  BlendFormula multiply = [](double b, double s) { return b * s; };
  BlendFormula screen = [](double b, double s) { return b + s - b * s; };
  BlendFormula overlay = [](double b, double s) { return HardLight(s, b); };
  BlendFormula darken = [](double b, double s) { return std::min(b, s); };
  BlendFormula lighten = [](double b, double s) { return std::max(b, s); };
  BlendFormula difference = [](double b, double s) { return std::fabs(b - s); };
  BlendFormula exclusion = [](double b, double s) { return b + s - 2 * b * s; };
  return {
      {C::kMultiply, "Multiply", multiply, 1},
      {C::kScreen, "Screen", screen, 1},
      {C::kOverlay, "Overlay", overlay, 2},
      {C::kDarken, "Darken", darken, 2},
      {C::kLighten, "Lighten", lighten, 2},
      {C::kColorDodge, "ColorDodge", Dodge, 2},
      {C::kColorBurn, "ColorBurn", Burn, 2},
      {C::kHardLight, "HardLight", HardLight, 2},
      {C::kSoftLight, "SoftLight", SoftLight, 3},
      {C::kDifference, "Difference", difference, 2},
      {C::kExclusion, "Exclusion", exclusion, 2},
      {C::kOverlayComplement, "OverlayComplement", Complemented(overlay), 2},
      {C::kHardLightComplement, "HardLightComplement", Complemented(HardLight), 2},
      {C::kSoftLightComplement, "SoftLightComplement", Complemented(SoftLight), 3},
      {C::kDifferenceComplement, "DifferenceComplement", Complemented(difference), 2},
      {C::kExclusionComplement, "ExclusionComplement", Complemented(exclusion), 2},
  };
}

// The stored colour a blend stage must produce: the source colour blended
// with the backdrop, (1 - ab)·Cs + ab·B(Cb, Cs), premultiplied by the source
// alpha.
double Expected(const BlendFormula& blend, double ab, double cb, double as, double cs) {
  const double alphaB = ab / 255.0, alphaS = as / 255.0;
  const double colourB = ab != 0 ? cb / ab : 0, colourS = as != 0 ? cs / as : 0;
  return 255 * alphaS * ((1 - alphaB) * colourS + alphaB * blend(colourB, colourS));
}

class BlendStageTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena{&context, 16384, 4096};

  PipelineNode* Constant(int alpha, int colour) {
    return PlaneSource::Create(arena, {nullptr, PixelPlane::MakeConstant(arena, uint8_t(alpha)),
                                       PixelPlane::MakeConstant(arena, uint8_t(colour))});
  }

  // One pixel of one gray channel through the stage of `stageClass`:
  // {alpha, colour} written.
  std::pair<int, int> Run(C stageClass, int ab, int cb, int as, int cs) {
    runtime::ArenaScope scope(arena);
    const PixelTriple destination =
        PixelTriple::CreateScratch(&context, arena, PixelLayout::ForPlanes(1, 0, 3, true), {0, 0, 1, 1});
    PipelineNode* node = CompositorNode::CreateBlend(arena, stageClass, destination, Constant(ab, cb), Constant(as, cs));
    EXPECT_EQ(node->RunSpan(0, 1), 1);
    const PixelTriple& out = node->Current();
    return {*CursorAt(out.alpha, 0).Channel(0), *CursorAt(out.colour, 0).Channel(0)};
  }
};

TEST_F(BlendStageTest, EveryStageClassMatchesTheBlendFormulas) {
  struct Pixel {
    const char* name;
    int ab, cb, as, cs;
  } pixels[] = {
      {"both opaque, mid tones", 255, 128, 255, 128},
      {"opaque backdrop, dark source", 255, 200, 255, 40},
      {"opaque backdrop, light source", 255, 30, 255, 220},
      {"half backdrop", 128, 64, 255, 100},
      {"half source", 255, 100, 128, 90},
      {"both partial", 180, 150, 90, 20},
      {"transparent backdrop", 0, 0, 200, 120},
      {"black backdrop, white source", 255, 0, 255, 255},
      {"white backdrop, black source", 255, 255, 255, 0},
      {"dark backdrop quarter", 255, 50, 255, 200},
      {"light backdrop", 240, 230, 255, 180},
  };
  for (const StageClassCase& stage : AllClasses()) {
    for (const Pixel& p : pixels) {
      SCOPED_TRACE(std::string(stage.name) + ": " + p.name);
      const auto [alpha, colour] = Run(stage.stageClass, p.ab, p.cb, p.as, p.cs);
      EXPECT_EQ(alpha, p.as);
      EXPECT_NEAR(colour, Expected(stage.blend, p.ab, p.cb, p.as, p.cs), stage.tolerance);
    }
  }
}

// The formula's range when the stored colours may each be a byte off, as the
// stages' byte-rounded intermediate products allow: where a blend is steep
// (a dodge by a source close to its alpha, a burn of a backdrop close to its
// alpha) the byte result can only be that exact.
std::pair<double, double> ExpectedRange(const BlendFormula& blend, int ab, int cb, int as, int cs) {
  double low = 1e9, high = -1e9;
  for (double db : {-1.0, 0.0, 1.0})
    for (double ds : {-1.0, 0.0, 1.0}) {
      const double b = std::clamp(cb + db, 0.0, double(ab)), s = std::clamp(cs + ds, 0.0, double(as));
      const double e = Expected(blend, ab, b, as, s);
      low = std::min(low, e), high = std::max(high, e);
    }
  return {low, high};
}

// Every premultiplied combination on a coarse grid, against the formulas:
// catches a term that wraps round or loses a factor somewhere off the
// hand-picked rows.
TEST_F(BlendStageTest, StageClassesStayNearTheFormulasOverAGrid) {
  const int steps[] = {0, 1, 37, 64, 127, 128, 191, 254, 255};
  for (const StageClassCase& stage : AllClasses()) {
    for (int ab : steps)
      for (int cb : steps)
        for (int as : steps)
          for (int cs : steps) {
            if (cb > ab || cs > as) continue;
            const int colour = Run(stage.stageClass, ab, cb, as, cs).second;
            const auto [low, high] = ExpectedRange(stage.blend, ab, cb, as, cs);
            ASSERT_TRUE(colour >= low - stage.tolerance && colour <= high + stage.tolerance)
                << stage.name << " ab " << ab << " cb " << cb << " as " << as << " cs " << cs << " gave " << colour
                << ", expected " << low << ".." << high;
          }
  }
}

// 4-byte pixels take a loop with fixed channel addressing; it must agree
// with the general loop byte for byte, for every class.
TEST_F(BlendStageTest, InterleavedPixelsMatchTheGeneralLoop) {
  const int values[][4] = {{255, 128, 255, 128}, {180, 150, 90, 20}, {0, 0, 200, 120}, {128, 64, 255, 100},
                           {255, 0, 255, 255}, {254, 1, 128, 0}, {37, 37, 64, 1}};
  for (const StageClassCase& stage : AllClasses()) {
    for (const auto& v : values) {
      runtime::ArenaScope scope(arena);
      auto constant = [&](int alpha, int colour) {
        const uint8_t bytes[3] = {uint8_t(colour), uint8_t(colour), uint8_t(colour)};
        return PlaneSource::Create(arena, {nullptr, PixelPlane::MakeConstant(arena, uint8_t(alpha)),
                                           SolidColorSource::MakePlane(arena, bytes)});
      };
      const PixelTriple destination =
          PixelTriple::CreateScratch(&context, arena, PixelLayout::ForPlanes(3, 0, 3, true), {0, 0, 1, 1});
      PipelineNode* node =
          CompositorNode::CreateBlend(arena, stage.stageClass, destination, constant(v[0], v[1]), constant(v[2], v[3]));
      node->RunSpan(0, 1);
      const auto [alpha, colour] = Run(stage.stageClass, v[0], v[1], v[2], v[3]);
      EXPECT_EQ(*CursorAt(node->Current().alpha, 0).Channel(0), alpha) << stage.name;
      for (int c = 0; c < 3; ++c) EXPECT_EQ(*CursorAt(node->Current().colour, 0).Channel(c), colour) << stage.name;
    }
  }
}

TEST_F(BlendStageTest, ExactCases) {
  struct Case {
    const char* name;
    C stageClass;
    int ab, cb, as, cs, expected;
  } cases[] = {
      // At full alpha Multiply is the rounded product.
      {"multiply opaque", C::kMultiply, 255, 200, 255, 100, Mul255(200, 100)},
      {"multiply opaque by white", C::kMultiply, 255, 77, 255, 255, 77},
      {"multiply transparent source", C::kMultiply, 200, 100, 0, 0, 0},
      {"screen transparent source", C::kScreen, 200, 100, 0, 0, 0},
      {"soft light transparent source", C::kSoftLight, 200, 100, 0, 0, 0},
      {"color burn transparent source", C::kColorBurn, 200, 100, 0, 0, 0},
      {"darken equal products", C::kDarken, 255, 90, 255, 90, 90},
      {"lighten equal products", C::kLighten, 255, 90, 255, 90, 90},
      // Dodging with black changes nothing, whatever the backdrop alpha.
      {"dodge opaque black, opaque backdrop", C::kColorDodge, 255, 120, 255, 0, 120},
      {"dodge opaque black, half backdrop", C::kColorDodge, 128, 100, 255, 0, 100},
      {"dodge black at half alpha", C::kColorDodge, 128, 100, 128, 0, Mul255(100, 128)},
      {"dodge as = cs keeps the source", C::kColorDodge, 255, 10, 200, 200, 200},
      // A large quotient is capped at the backdrop alpha, never wrapped.
      {"dodge saturates", C::kColorDodge, 255, 200, 255, 100, 255},
      {"dodge saturates under partial backdrop", C::kColorDodge, 100, 90, 255, 200, Div255(100 * 255 + 155 * 200)},
      {"burn with no source colour", C::kColorBurn, 255, 100, 255, 0, 0},
      {"soft light over a transparent backdrop", C::kSoftLight, 0, 0, 255, 200, 200},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(Run(test.stageClass, test.ab, test.cb, test.as, test.cs).second, test.expected);
  }
}

TEST_F(BlendStageTest, ModesPickTheirStageClassBySpaceKind) {
  struct Case {
    int32_t mode;
    C additive, subtractive;
  } cases[] = {
      {kBlendMultiply, C::kMultiply, C::kScreen},       {kBlendScreen, C::kScreen, C::kMultiply},
      {kBlendOverlay, C::kOverlay, C::kOverlayComplement}, {kBlendDarken, C::kDarken, C::kLighten},
      {kBlendLighten, C::kLighten, C::kDarken},         {kBlendColorDodge, C::kColorDodge, C::kColorBurn},
      {kBlendColorBurn, C::kColorBurn, C::kColorDodge}, {kBlendHardLight, C::kHardLight, C::kHardLightComplement},
      {kBlendSoftLight, C::kSoftLight, C::kSoftLightComplement},
      {kBlendDifference, C::kDifference, C::kDifferenceComplement},
      {kBlendExclusion, C::kExclusion, C::kExclusionComplement},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(BlendCompositor::StageClassFor(test.mode, false), test.additive) << test.mode;
    EXPECT_EQ(BlendCompositor::StageClassFor(test.mode, true), test.subtractive) << test.mode;
    EXPECT_NE(BlendFunction::Create(arena, test.mode), nullptr);
  }
  for (int32_t mode : {int32_t{kBlendNormal}, 12, -1, 1000}) EXPECT_EQ(BlendFunction::Create(arena, mode), nullptr) << mode;
}

// In a subtractive space Multiply runs the Screen arithmetic on the stored
// bytes (ink adds up), and ColorDodge the ColorBurn arithmetic.
TEST_F(BlendStageTest, SubtractiveCompositorUsesTheExchangedStages) {
  auto run = [&](int32_t mode, const ColorSpace& space) {
    runtime::ArenaScope scope(arena);
    const PixelTriple destination =
        PixelTriple::CreateScratch(&context, arena, PixelLayout::ForPlanes(1, 0, 3, true), {0, 0, 1, 1});
    PipelineNode* node =
        BlendCompositor::Create(arena, mode, space, destination, Constant(255, 100), Constant(255, 60));
    node->RunSpan(0, 1);
    return int(*CursorAt(node->Current().colour, 0).Channel(0));
  };
  rastertest::TestColorSpace cmyk(4, true), rgb(3, false);
  EXPECT_EQ(run(kBlendMultiply, cmyk), Run(C::kScreen, 255, 100, 255, 60).second);
  EXPECT_EQ(run(kBlendMultiply, rgb), Run(C::kMultiply, 255, 100, 255, 60).second);
  EXPECT_EQ(run(kBlendColorDodge, cmyk), Run(C::kColorBurn, 255, 100, 255, 60).second);
  EXPECT_NE(Run(C::kScreen, 255, 100, 255, 60).second, Run(C::kMultiply, 255, 100, 255, 60).second);
}

}  // namespace
}  // namespace raster
