// TrueType programs: the scaler arithmetic, interpreter programs with
// their limits and errors, and small hand-built fonts that show how the
// tables, character maps and glyph loader treat odd or hostile data.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>
#include <vector>

#include "fonts/SizedGlyphSource.h"
#include "fonts/SniffFontProgram.h"
#include "fonts/TrueTypeFont.h"
#include "fonts/TrueTypeGlyph.h"
#include "fonts/TtFixedMath.h"
#include "fonts/TtInterpreter.h"
#include "fonts/TtScaler.h"
#include "tests/fonts/TrueTypeBuilder.h"
#include "tests/fonts/TrueTypeTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

// ---- Scaler arithmetic ----

TEST(TtFixedMath, EdgeValues) {
  EXPECT_EQ(fonts::MulF26Dot6(46341, 46341), static_cast<int32_t>((int64_t{46341} * 46341 + 32) >> 6));
  EXPECT_EQ(fonts::MulF26Dot6(-46341, 46341), -static_cast<int32_t>((int64_t{46341} * 46341 + 32) >> 6));
  EXPECT_EQ(fonts::Div64By32Round(1, int64_t{1} << 40), 0x7FFFFFFF);
  EXPECT_EQ(fonts::Div64By32Round(1, -(int64_t{1} << 40)), INT32_MIN);
  EXPECT_EQ(fonts::Div64By32Round(-1, int64_t{1} << 40), INT32_MIN);
  EXPECT_EQ(fonts::Div64By32Round(0, 5), 0x7FFFFFFF);
  EXPECT_EQ(fonts::Div64By32Round(4, 6), 2);  // 1.5 rounds away from zero
  EXPECT_EQ(fonts::Div64By32Round(4, -6), -2);
  const fonts::UnitVector zero = fonts::TtComputeUnitVector(0, 0);
  EXPECT_EQ(zero.x, 16384);
  EXPECT_EQ(zero.y, 0);
  const fonts::UnitVector diagonal = fonts::TtComputeUnitVector(100, 100);
  EXPECT_EQ(diagonal.x, 11585);
  EXPECT_EQ(diagonal.y, 11585);
  const fonts::UnitVector huge = fonts::TtComputeUnitVector(INT32_MIN, 3);
  EXPECT_EQ(huge.x, -16384);
  EXPECT_EQ(fonts::FixedSqrtFnt(-1), INT32_MIN);
  EXPECT_EQ(fonts::FixedSqrtFnt(16), 4);
  EXPECT_EQ(fonts::FixedSqrtFnt(20), 4);
  EXPECT_EQ(fonts::FixedSqrtFnt(21), 5);
  EXPECT_EQ(fonts::Log2Exact(2048), 11);
  EXPECT_EQ(fonts::Log2Exact(0), -1);
  EXPECT_EQ(fonts::Log2Exact(1000), -1);
  EXPECT_EQ(fonts::MulF2Dot30(0, 5), 0);
  EXPECT_EQ(fonts::MulF2Dot30(INT32_MAX, INT32_MAX), 0x7FFFFFFF);
  EXPECT_EQ(fonts::MulF2Dot14(100, 8192), 50);
}

// Scale records worked out by hand from the rule: common factors of two
// removed but one, the numerator taken to 26.6, then the form.
TEST(TtScaler, ScaleFormsByHand) {
  struct Case {
    int32_t ppem16, upem;
    fonts::AxisScale::Form form;
    int32_t numerator, denominator;
    int32_t v, expected;
  };
  using F = fonts::AxisScale::Form;
  const Case cases[] = {
      // 12 px, 2048 units: 6/1024 -> 384/1024, a power of two.
      {12 << 16, 2048, F::kShift, 384, 1024, 1000, 375},
      {12 << 16, 2048, F::kShift, 384, 1024, -3, -1},
      {12 << 16, 2048, F::kShift, 384, 1024, -4, -2},  // -1.5 rounds away from zero
      // 12 px, 1000 units: 6/500 -> 384/500, the divide form.
      {12 << 16, 1000, F::kDivide, 384, 500, 100, 77},
      {12 << 16, 1000, F::kDivide, 384, 500, -100, -77},
      {12 << 16, 1000, F::kDivide, 384, 500, 5, 4},   // 3.84
      {12 << 16, 1000, F::kDivide, 384, 500, -5, -4},
      // 1000 px, 1000 units: 250/250 -> 16000/250.
      {1000 << 16, 1000, F::kDivide, 16000, 250, 7, 448},
      // An odd numerator keeps its factors: 0x18001 x 64 is above 32767.
      {0x18001, 1000, F::kMultiply, 0x18001 * 64, 1000 << 16, 1000, 96},
  };
  for (const Case& c : cases) {
    fonts::AxisScale s;
    fonts::TTScaler::ComputeScale(s, c.ppem16, c.upem << 16);
    EXPECT_EQ(s.form, c.form) << c.ppem16 << "/" << c.upem;
    EXPECT_EQ(s.numerator, c.numerator) << c.ppem16 << "/" << c.upem;
    EXPECT_EQ(s.denominator, c.denominator) << c.ppem16 << "/" << c.upem;
    EXPECT_EQ(s.Apply(c.v), c.expected) << c.ppem16 << "/" << c.upem << " of " << c.v;
  }
}

// ---- Interpreter programs ----

class TtProgram : public ::testing::Test {
 protected:
  TtProgram() : arena_(&context_, 4096, 1024) {
    state_.stack = stack_.data();
    state_.stackCapacity = static_cast<uint32_t>(stack_.size());
    state_.storage = storage_.data();
    state_.storageCount = static_cast<uint32_t>(storage_.size());
    state_.functions = functions_.data();
    state_.functionCount = static_cast<uint32_t>(functions_.size());
    state_.instructionDefs = idefs_.data();
    state_.instructionDefCapacity = static_cast<uint32_t>(idefs_.size());
    state_.cvt = cvt_.data();
    state_.cvtCount = 10;
    state_.twilight.Reserve(arena_, 4, 1);
    state_.twilight.pointCount = 4;
    state_.twilightCount = 4;
    SetPpem(12);
    zone_.Reserve(arena_, 2, 1);
    zone_.pointCount = 2;
    zone_.contourCount = 1;
    zone_.contourEnds[0] = 1;
    zone_.curY[1] = zone_.refY[1] = 64;
  }
  void SetPpem(int32_t ppem) {
    fonts::TTScaler::ComputeScale(state_.xScale, ppem << 16, 1000 << 16);
    state_.yScale = state_.xScale;
    state_.ppem = ppem;
  }
  // Runs `program` as "fpgm" (kept as the font program, so that its
  // functions can be called) or as a glyph program over the test zone.
  uint32_t Run(const std::vector<uint8_t>& program, fonts::TtProgramKind kind = fonts::TtProgramKind::kFpgm) {
    program_ = program;
    state_.fpgm = program_.data();
    state_.fpgmLength = static_cast<uint32_t>(program_.size());
    return fonts::TTInterp::Execute(state_, &zone_, program_.data(), static_cast<uint32_t>(program_.size()), kind,
                                    false);
  }
  int32_t Top() const { return stack_[0]; }

  runtime::LibraryContext context_;
  runtime::ArenaAllocator arena_;
  fonts::TtInstanceState state_;
  fonts::GlyphZone zone_;
  std::array<int32_t, 256> stack_{};
  std::array<int32_t, 16> storage_{};
  std::array<fonts::TtFunctionDef, 16> functions_{};
  std::array<fonts::TtInstructionDef, 4> idefs_{};
  std::array<int32_t, 256> cvt_{};
  std::vector<uint8_t> program_;
};

TEST_F(TtProgram, BudgetsAndFlowErrors) {
  // PUSHW -3, JMPR: back to the push, forever.
  EXPECT_EQ(Run({0xB8, 0xFF, 0xFD, 0x1C}), fonts::kTtJumpBudget);
  // FDEF 0 { PUSHB 0, CALL } ENDF, then CALL 0: recursion.
  EXPECT_EQ(Run({0xB0, 0, 0x2C, 0xB0, 0, 0x2B, 0x2D, 0xB0, 0, 0x2B}), fonts::kTtCallBudget);
  // PUSHB 0, IF, PUSHB 1 and no EIF.
  EXPECT_EQ(Run({0xB0, 0, 0x58, 0xB0, 1}), fonts::kTtUnterminatedIf);
  EXPECT_EQ(Run({0xB1, 1, 0, 0x62}), fonts::kTtDivideByZero);
  EXPECT_EQ(Run({0x21}), fonts::kTtStackUnderflow);
  EXPECT_EQ(Run({0x7B}), fonts::kTtInvalidOpcode);
  EXPECT_EQ(Run({0x2D}), fonts::kTtInvalidOpcode);
  EXPECT_EQ(Run({0xB0, 3, 0x2C, 0x20}), fonts::kTtUnterminatedDefinition);
  EXPECT_EQ(Run({0xB0, 20, 0x43}), fonts::kTtBadStorage);
  EXPECT_EQ(Run({0xB0, 10, 0x45}), fonts::kTtBadCvt);  // 10 entries, room for 256
  EXPECT_EQ(Run({0xB0, 2, 0x13}), fonts::kTtBadZone);
  EXPECT_EQ(Run({0x28}), fonts::kTtAdvanceOutsideGlyph);
  EXPECT_EQ(Run({0xB0, 0, 0x2C, 0x2D}, fonts::TtProgramKind::kGlyph), fonts::kTtFdefOutsideSetup);
  EXPECT_EQ(Run({0xB8, 0xFF, 0x00, 0x1C}), fonts::kTtJumpBeforeStart);
  EXPECT_EQ(Run({0xB0, 9, 0x2E}), 0u);  // 2 points + 8 phantoms: 9 is there
  EXPECT_EQ(Run({0xB0, 10, 0x2E}), fonts::kTtBadPoint);
  EXPECT_EQ(Run({0x30}, fonts::TtProgramKind::kFpgm), fonts::kTtZoneNotAllowed);
}

TEST_F(TtProgram, NestedLoopCallsEndOnTheInstructionBudget) {
  // 65535 = 32767 x 2 + 1 (PUSHW sign-extends).
  const std::vector<uint8_t> push65535 = {0xB8, 0x7F, 0xFF, 0x20, 0x60, 0xB0, 1, 0x60};
  std::vector<uint8_t> p = {0xB0, 0, 0x2C, 0x20, 0x21, 0x2D};  // FDEF 0 { DUP POP }... on an empty stack
  p = {0xB0, 0, 0x2C, 0xB0, 1, 0x21, 0x2D};                    // FDEF 0 { PUSHB 1, POP }
  p.insert(p.end(), {0xB0, 1, 0x2C});                          // FDEF 1 { LOOPCALL 0 x 65535 }
  p.insert(p.end(), push65535.begin(), push65535.end());
  p.insert(p.end(), {0xB0, 0, 0x2A, 0x2D});
  p.insert(p.end(), push65535.begin(), push65535.end());       // LOOPCALL 1 x 65535
  p.insert(p.end(), {0xB0, 1, 0x2A});
  EXPECT_EQ(Run(p), fonts::kTtJumpBudget);
}

TEST_F(TtProgram, ArithmeticAndRounding) {
  EXPECT_EQ(Run({0xB1, 1, 2, 0x62}), 0u);
  EXPECT_EQ(Top(), 32);
  EXPECT_EQ(Run({0xB8, 0xFF, 0xF6, 0x19, 0x68}), 0u);  // RTHG, ROUND -10
  EXPECT_EQ(Top(), -32);
  EXPECT_EQ(Run({0xB0, 0, 0x19, 0x68}), 0u);  // RTHG, ROUND 0
  EXPECT_EQ(Top(), 32);
  EXPECT_EQ(Run({0xB0, 96, 0x18, 0x68}), 0u);  // RTG: 96 -> 128
  EXPECT_EQ(Top(), 128);
  EXPECT_EQ(Run({0xB1, 7, 9, 0x4F, 0x7F, 0x24}), 0u);  // DEBUG and AA pop one each
  EXPECT_EQ(Top(), 0);
  EXPECT_EQ(Run({0xB1, 3, 2, 0x8A}), fonts::kTtStackUnderflow);
  EXPECT_EQ(Run({0xB2, 1, 2, 3, 0x8A}), 0u);  // ROLL: 1 2 3 -> 2 3 1
  EXPECT_EQ(stack_[0], 2);
  EXPECT_EQ(stack_[2], 1);
  EXPECT_EQ(Run({0xB1, 1, 5, 0x25}), fonts::kTtBadStackIndex);
}

TEST_F(TtProgram, MeasureDistanceOnEitherOutline) {
  // Point 1 moved from y 64 to 128: MD[0] (0x49) measures the grid-fitted
  // outline, MD[1] (0x4A) the original one.
  zone_.curY[1] = 128;
  EXPECT_EQ(Run({0x00, 0xB1, 1, 0, 0x49}, fonts::TtProgramKind::kGlyph), 0u);
  EXPECT_EQ(Top(), 128);
  EXPECT_EQ(Run({0x00, 0xB1, 1, 0, 0x4A}, fonts::TtProgramKind::kGlyph), 0u);
  EXPECT_EQ(Top(), 64);
}

TEST_F(TtProgram, DeltaBeyondItsRangeDoesNothing) {
  // DELTAP1 reaches delta base (9) to delta base + 15: at 25 ppem a pair
  // for 9 + 15 = 24 does nothing; at 24 it moves the point by a pixel.
  const std::vector<uint8_t> delta = {0x01, 0xB2, 0xFF, 0, 1, 0x5D};  // SVTCA x; pair (0xFF, point 0), n = 1
  SetPpem(25);
  EXPECT_EQ(Run(delta, fonts::TtProgramKind::kGlyph), 0u);
  EXPECT_EQ(zone_.curX[0], 0);
  SetPpem(24);
  EXPECT_EQ(Run(delta, fonts::TtProgramKind::kGlyph), 0u);
  EXPECT_EQ(zone_.curX[0], 64);
  // More pairs announced than the stack holds: the one pair there is
  // applied, and nothing is read below the stack.
  EXPECT_EQ(Run({0x01, 0xB3, 7, 0xFF, 0, 5, 0x5D, 0x24}, fonts::TtProgramKind::kGlyph), 0u);
  EXPECT_EQ(zone_.curX[0], 128);
  EXPECT_EQ(stack_[0], 7);  // the odd value below the pair stays
  EXPECT_EQ(stack_[1], 1);  // DEPTH
}

TEST_F(TtProgram, PerpendicularFreedomVectorDoesNotMove) {
  // SFVTL from point 1 to point 0 (a vertical line) with the projection
  // on x: moving along y cannot change an x distance. MDRP must not
  // divide by zero, and leaves the point where it is.
  zone_.curX[1] = zone_.refX[1] = 0;
  const std::vector<uint8_t> program = {0xB1, 0, 1, 0x08, 0xB0, 0, 0x10, 0xB0, 1, 0xC4};
  EXPECT_EQ(Run(program, fonts::TtProgramKind::kGlyph), 0u);
  EXPECT_EQ(zone_.curX[1], 0);
  EXPECT_EQ(zone_.curY[1], 64);
}

// ---- Hand-built fonts ----

struct OpenedFixture {
  runtime::LibraryContext context;
  std::vector<uint8_t> bytes;
  std::unique_ptr<fonttest::OpenedTrueType> font;
  // The outline lives in the work arena until the next build.
  runtime::ArenaAllocator arena{&context, 4096, 1024};
  explicit OpenedFixture(const fonttest::TestFontSpec& spec) : bytes(fonttest::BuildTestFont(spec)) {
    font = std::make_unique<fonttest::OpenedTrueType>(&context, bytes);
  }
  bool Build(uint32_t glyph, fonts::TtOutline& out) {
    arena.Reset();
    bool built = false;
    const auto error = testsupport::CaughtError(&context, [&] {
      built = font->get()->BuildOutline(glyph, fonts::Matrix{20 << 16, 0, 0, 20 << 16, 0, 0}, arena, out);
    });
    EXPECT_FALSE(error.has_value());
    return built;
  }
};

fonttest::TestFontSpec SquareFont() {
  fonttest::TestFontSpec spec;
  spec.glyphs = {{}, fonttest::SimpleGlyph({{100, 0}, {500, 0}, {500, 700}, {100, 700}})};
  return spec;
}

std::vector<uint8_t> Composite(const std::vector<std::array<uint16_t, 4>>& components) {
  // {flags, glyph, arg1, arg2}, byte arguments.
  std::vector<uint8_t> g;
  fonttest::SfntWriter::U16(g, 0xFFFF);
  for (int i = 0; i < 4; ++i) fonttest::SfntWriter::U16(g, 0);
  for (size_t i = 0; i < components.size(); ++i) {
    const auto& c = components[i];
    fonttest::SfntWriter::U16(g, c[0] | (i + 1 < components.size() ? 0x20 : 0));
    fonttest::SfntWriter::U16(g, c[1]);
    g.push_back(static_cast<uint8_t>(c[2]));
    g.push_back(static_cast<uint8_t>(c[3]));
  }
  return g;
}

TEST(TrueTypeFixture, BadHeadMagicGivesEmptyGlyphs) {
  fonttest::TestFontSpec spec = SquareFont();
  spec.magic = 0x12345678;
  OpenedFixture f(spec);
  ASSERT_TRUE(*f.font);
  EXPECT_FALSE(f.font->get()->OutlinesUsable());
  fonts::TtOutline out;
  EXPECT_FALSE(f.Build(1, out));
  EXPECT_EQ(f.font->get()->GlyphCount(), 2u);
}

TEST(TrueTypeFixture, GlyphDataEdgeCases) {
  fonttest::TestFontSpec spec = SquareFont();
  std::vector<uint8_t> headerOnly(10, 0);  // numberOfContours 0, box 0
  spec.glyphs.push_back(headerOnly);
  std::vector<uint8_t> zeroContours = headerOnly;
  zeroContours.resize(14, 0);
  spec.glyphs.push_back(zeroContours);
  spec.glyphs.push_back(Composite({{0x02, 4, 0, 0}}));                  // 4: includes itself
  spec.glyphs.push_back(Composite({{0x00, 1, 0, 9}}));                  // 5: child point 9 of 4
  spec.glyphs.push_back(Composite({{0x02, 1, 0, 0}, {0x02, 1, 10, 0}}));  // 6: two squares
  spec.limits = 65535;
  OpenedFixture f(spec);
  ASSERT_TRUE(*f.font);
  fonts::TtOutline out;
  ASSERT_TRUE(f.Build(2, out));
  EXPECT_EQ(out.pointCount, 1u);
  EXPECT_EQ(out.contourCount, 1u);
  EXPECT_FALSE(f.Build(3, out));
  EXPECT_EQ(f.font->get()->LastBuildError(), fonts::kTtBadContourCount);
  EXPECT_FALSE(f.Build(4, out));
  EXPECT_EQ(f.font->get()->LastBuildError(), fonts::kTtCompositeTooDeep);
  EXPECT_FALSE(f.Build(5, out));
  EXPECT_EQ(f.font->get()->LastBuildError(), fonts::kTtBadContourEnds);
  ASSERT_TRUE(f.Build(6, out));
  EXPECT_EQ(out.pointCount, 8u);
  EXPECT_EQ(out.contourCount, 2u);
  EXPECT_EQ(out.contourEnds[1], 7);
  EXPECT_FALSE(f.Build(0, out));  // glyph 0 is never drawn
  EXPECT_FALSE(f.Build(7, out));
}

TEST(TrueTypeFixture, FailingPrepTurnsHintingOffForItsSize) {
  fonttest::TestFontSpec spec = SquareFont();
  // prep: MPPEM, PUSHB 80, EQ, IF, PUSHB 1 0, DIV, EIF: fails at 80 ppem,
  // the instance size of 20 pixels per em.
  spec.extra["prep"] = {0x4B, 0xB0, 80, 0x54, 0x58, 0xB1, 1, 0, 0x62, 0x59};
  OpenedFixture f(spec);
  fonts::TrueTypeFont& font = *f.font->get();
  fonts::TtOutline out;
  auto buildAt = [&](int px) {
    f.arena.Reset();
    return font.BuildOutline(1, fonts::Matrix{px << 16, 0, 0, px << 16, 0, 0}, f.arena, out);
  };
  ASSERT_TRUE(buildAt(20));
  EXPECT_EQ(font.ControlProgramError(), fonts::kTtDivideByZero);
  EXPECT_TRUE(out.hinted);  // the request was taken before "prep" ran
  ASSERT_TRUE(buildAt(20));
  EXPECT_FALSE(out.hinted);
  ASSERT_TRUE(buildAt(21));
  EXPECT_EQ(font.ControlProgramError(), 0u);
  EXPECT_TRUE(out.hinted);
  // 150 pixels per em: hinted at 400, mapped back by 150 / 400.
  ASSERT_TRUE(buildAt(150));
  EXPECT_EQ(out.toDevice.a, runtime::FixedDiv(150 << 16, 400 << 16));
}

TEST(TrueTypeFixture, MirroredComponentIsReversed) {
  fonttest::TestFontSpec spec = SquareFont();
  std::vector<uint8_t> g;
  fonttest::SfntWriter::U16(g, 0xFFFF);
  for (int i = 0; i < 4; ++i) fonttest::SfntWriter::U16(g, 0);
  fonttest::SfntWriter::U16(g, 0x0082);  // x/y offsets, a 2 x 2 matrix
  fonttest::SfntWriter::U16(g, 1);
  g.insert(g.end(), {0, 0});
  for (uint16_t v : {0xC000, 0, 0, 0x4000}) fonttest::SfntWriter::U16(g, v);  // x mirrored
  spec.glyphs.push_back(g);
  OpenedFixture f(spec);
  f.font->get()->SetHinting(false);
  fonts::TtOutline out;
  ASSERT_TRUE(f.Build(2, out));
  ASSERT_EQ(out.pointCount, 4u);
  // The square's points, mirrored in x and in reverse order; 20 px for
  // 1000 units is 1.28 26.6 units per font unit.
  const int32_t xs[4] = {-128, -640, -640, -128}, ys[4] = {896, 896, 0, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(out.x[i], xs[i]) << i;
    EXPECT_EQ(out.y[i], ys[i]) << i;
  }
}

TEST(TrueTypeFixture, MoreContoursAndPointsThanMaxpClaims) {
  fonttest::TestFontSpec spec = SquareFont();
  spec.limits = 1;  // maxp understates the square's four points
  OpenedFixture f(spec);
  fonts::TtOutline out;
  ASSERT_TRUE(f.Build(1, out));
  EXPECT_EQ(out.pointCount, 4u);
}

TEST(TrueTypeFixture, LocationFormats) {
  fonttest::TestFontSpec spec = SquareFont();
  spec.indexToLocFormat = 2;  // read as long offsets
  OpenedFixture f(spec);
  uint32_t offset = 0, length = 0;
  ASSERT_TRUE(f.font->get()->LocateGlyph(1, offset, length));
  EXPECT_EQ(length, spec.glyphs[1].size());
  fonttest::TestFontSpec decreasing = SquareFont();
  decreasing.glyphs.push_back(fonttest::SimpleGlyph({{0, 0}, {10, 0}, {10, 10}}));
  const uint32_t first = static_cast<uint32_t>(decreasing.glyphs[1].size());
  const uint32_t total = first + static_cast<uint32_t>(decreasing.glyphs[2].size());
  decreasing.locaOverride = {0, 0, first, 4};  // glyph 2's end lies before its start
  OpenedFixture g(decreasing);
  ASSERT_TRUE(g.font->get()->LocateGlyph(2, offset, length));
  EXPECT_EQ(length, total - first);
}

TEST(TrueTypeFixture, PostNamesAndCodeTables) {
  fonttest::TestFontSpec spec = SquareFont();
  std::vector<uint8_t> post(32, 0);
  post[1] = 2;  // version 2.0
  fonttest::SfntWriter::U16(post, 2);
  fonttest::SfntWriter::U16(post, 40000);  // out of range: .notdef
  fonttest::SfntWriter::U16(post, 258);    // the first name of our own
  post.push_back(5);
  for (char ch : std::string("heart")) post.push_back(static_cast<uint8_t>(ch));
  spec.post = post;
  spec.glyphs.push_back(fonttest::SimpleGlyph({{0, 0}, {10, 0}, {10, 10}}));
  fonttest::SfntWriter::U16(spec.post, 0);  // keeps numberOfGlyphs honest below
  spec.post = post;
  spec.post[33] = 3;
  spec.post.insert(spec.post.begin() + 38, {0x01, 0x02});  // glyph 2: index 258
  spec.post[36] = 0x00;
  spec.post[37] = 0x03;  // glyph 1: "space"
  // Codes: U+0020 (and so 0xA0) -> glyph 1, U+20AC (code 0x80) -> glyph 2.
  spec.cmap = fonttest::Format4Cmap({{0x20, 0x20, static_cast<uint16_t>(1 - 0x20)},
                                     {0x20AC, 0x20AC, static_cast<uint16_t>(2 - 0x20AC)}});
  OpenedFixture f(spec);
  ASSERT_TRUE(*f.font) << (f.font->Error() ? f.font->Error()->code : 0u);
  const char* const* names = f.font->get()->GlyphNames();
  ASSERT_NE(names, nullptr);
  EXPECT_STREQ(names[0], ".notdef");
  EXPECT_STREQ(names[1], "space");
  uint16_t table[256];
  f.font->get()->CodeToGlyphTable(fonts::TtEncodingHint::kWinAnsi, false, table);
  EXPECT_EQ(table[0x20], 1);
  EXPECT_EQ(table[0xA0], 1);
  EXPECT_EQ(table[0x80], 2);
  EXPECT_EQ(table[0x41], 0);
  // A MacRoman font looks its codes up by MacRoman's Unicode values: the
  // euro sign is code 0xDB there, and 0x80 is A with diaeresis.
  f.font->get()->CodeToGlyphTable(fonts::TtEncodingHint::kMacRoman, false, table);
  EXPECT_EQ(table[0xDB], 2);
  EXPECT_EQ(table[0x80], 0);
  EXPECT_EQ(table[0xCA], 0);  // U+00A0: the font has none
}

TEST(TrueTypeFixture, PostIndexOutOfRangeNamesNotdef) {
  fonttest::TestFontSpec spec = SquareFont();
  std::vector<uint8_t> post(32, 0);
  post[1] = 2;
  fonttest::SfntWriter::U16(post, 2);
  fonttest::SfntWriter::U16(post, 0);
  fonttest::SfntWriter::U16(post, 40000);
  spec.post = post;
  OpenedFixture f(spec);
  const char* const* names = f.font->get()->GlyphNames();
  ASSERT_NE(names, nullptr);
  EXPECT_STREQ(names[1], ".notdef");
}

// A "cmap" of the given records, each {platform, encoding, subtable bytes}.
std::vector<uint8_t> CmapOf(const std::vector<std::tuple<uint16_t, uint16_t, std::vector<uint8_t>>>& records) {
  std::vector<uint8_t> cmap;
  fonttest::SfntWriter::U16(cmap, 0);
  fonttest::SfntWriter::U16(cmap, static_cast<uint16_t>(records.size()));
  uint32_t offset = 4 + 8 * static_cast<uint32_t>(records.size());
  for (const auto& [platform, encoding, sub] : records) {
    fonttest::SfntWriter::U16(cmap, platform);
    fonttest::SfntWriter::U16(cmap, encoding);
    fonttest::SfntWriter::U32(cmap, offset);
    offset += static_cast<uint32_t>(sub.size());
  }
  for (const auto& record : records) cmap.insert(cmap.end(), std::get<2>(record).begin(), std::get<2>(record).end());
  return cmap;
}

// The subtable of a one-record "cmap".
std::vector<uint8_t> SubtableOf(const std::vector<uint8_t>& cmap) { return {cmap.begin() + 12, cmap.end()}; }

TEST(TrueTypeFixture, CodeTableFromTheSubtablesItCanRead) {
  // Format 0: byte code 0x41 -> glyph 1.
  std::vector<uint8_t> format0;
  fonttest::SfntWriter::U16(format0, 0);
  fonttest::SfntWriter::U16(format0, 262);
  fonttest::SfntWriter::U16(format0, 0);
  format0.resize(262, 0);
  format0[6 + 0x41] = 1;
  // Format 2 (high-byte mapping) is not read.
  std::vector<uint8_t> format2;
  for (uint16_t word : {2, 6, 0}) fonttest::SfntWriter::U16(format2, word);
  // Format 4: U+0041 -> glyph 1.
  const std::vector<uint8_t> format4 =
      SubtableOf(fonttest::Format4Cmap({{0x41, 0x41, static_cast<uint16_t>(1 - 0x41)}}));
  struct Case {
    const char* what;
    std::vector<uint8_t> cmap;
    bool mapped;
  };
  const Case cases[] = {
      {"Windows Unicode, format 4", CmapOf({{3, 1, format4}}), true},
      // The Windows Unicode record in a format not read must not hide the
      // Macintosh table that maps the codes.
      {"unreadable Windows table before a Macintosh one", CmapOf({{3, 1, format2}, {1, 0, format0}}), true},
      {"unreadable Windows table before a Windows symbol one", CmapOf({{3, 1, format2}, {3, 0, format0}}), true},
      {"unreadable table only", CmapOf({{3, 1, format2}}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fonttest::TestFontSpec spec = SquareFont();
    spec.cmap = c.cmap;
    OpenedFixture f(spec);
    ASSERT_TRUE(*f.font);
    EXPECT_EQ(f.font->get()->HasCodeMapping(), c.mapped);
    if (!c.mapped) continue;
    for (bool symbolic : {false, true}) {
      uint16_t table[256];
      const auto error = testsupport::CaughtError(
          &f.context, [&] { f.font->get()->CodeToGlyphTable(fonts::TtEncodingHint::kWinAnsi, symbolic, table); });
      ASSERT_FALSE(error) << "symbolic " << symbolic;
      EXPECT_EQ(table[0x41], 1) << "symbolic " << symbolic;
      EXPECT_EQ(table[0x42], 0) << "symbolic " << symbolic;
    }
  }
}

TEST(TrueTypeFixture, LargeFormat4BuildsFromLookupsOnly) {
  // 8,000 segments each spanning many codes: only the 256 lookup codes
  // are read, so this is quick (the old way read every code of every
  // segment), and ids outside the subtable are 0.
  fonttest::TestFontSpec spec = SquareFont();
  std::vector<std::array<uint16_t, 3>> segments;
  for (uint32_t i = 0; i < 8000; ++i) {
    segments.push_back({static_cast<uint16_t>(i * 8), static_cast<uint16_t>(i * 8 + 7), static_cast<uint16_t>(1 - i * 8)});
  }
  spec.cmap = fonttest::Format4Cmap(segments);
  OpenedFixture f(spec);
  uint16_t table[256];
  f.font->get()->CodeToGlyphTable(fonts::TtEncodingHint::kWinAnsi, false, table);
  EXPECT_EQ(table[0x20], 1);  // U+0020 starts segment 4: 32 + (1 - 32)
  EXPECT_EQ(table[0x28], 1);  // U+0028 starts segment 5
  EXPECT_EQ(table[0x29], 0);  // glyph 2 is beyond the font
  EXPECT_EQ(table[0x41], 0);
}

TEST(TrueTypeFixture, SniffsProgramKinds) {
  std::vector<uint8_t> otto = fonttest::SfntWriter().Build(fonts::TrueTypeFont::Tag('O', 'T', 'T', 'O'));
  EXPECT_EQ(fonts::SniffFontProgram(otto), fonts::FontProgramKind::kTrueType);  // no "CFF " table
  fonttest::SfntWriter withCff;
  withCff.Add("CFF ", {1, 0, 4, 1});
  EXPECT_EQ(fonts::SniffFontProgram(withCff.Build(fonts::TrueTypeFont::Tag('O', 'T', 'T', 'O'))),
            fonts::FontProgramKind::kCff);
  EXPECT_EQ(fonts::SniffFontProgram(withCff.Build(fonts::TrueTypeFont::Tag('t', 'r', 'u', 'e'))),
            fonts::FontProgramKind::kTrueType);
  EXPECT_EQ(fonts::SniffFontProgram(fonttest::SfntWriter().Build(fonts::TrueTypeFont::Tag('t', 'r', 'u', 'e'))),
            fonts::FontProgramKind::kTrueType);
  auto text = [](const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s)); };
  EXPECT_EQ(fonts::SniffFontProgram(text("%!FontType1-1.0: Foo 001")), fonts::FontProgramKind::kType1);
  EXPECT_EQ(fonts::SniffFontProgram(text("%!FontType 1 Foo bar baz")), fonts::FontProgramKind::kType1);
  EXPECT_EQ(fonts::SniffFontProgram(text("%!PS-Adobe-3.0 Resource")), fonts::FontProgramKind::kUnknown);
  EXPECT_EQ(fonts::SniffFontProgram(text("%!PS")), fonts::FontProgramKind::kUnknown);
  const auto faces = fonttest::UrwFaces();
  if (faces.empty() && fonttest::UnderCi()) FAIL() << "fonts-urw-base35 missing";
  for (const std::string& face : faces) {
    const auto bytes = fonttest::ReadBytes(std::string(fonttest::kUrwType1Dir) + "/" + face + ".t1");
    EXPECT_EQ(fonts::SniffFontProgram(bytes), fonts::FontProgramKind::kType1) << face;
  }
}

}  // namespace

namespace {

// The glyph cache: one sized source per text-to-device matrix, kept by
// the font program; a small source keeps the records it made.
TEST(GlyphCache, SourcesByMatrixKeepSmallRecords) {
  const std::vector<uint8_t> bytes = fonttest::ReadBytes(fonttest::DejaVuPath("DejaVuSans.ttf"));
  if (bytes.empty()) GTEST_SKIP() << "DejaVuSans.ttf missing";
  runtime::LibraryContext context;
  fonttest::OpenedTrueType font(&context, bytes);
  ASSERT_TRUE(font);
  const fonts::Matrix twelve{12 << 16, 0, 0, -(12 << 16), 0, 0};
  const fonts::Matrix big{300 << 16, 0, 0, -(300 << 16), 0, 0};
  auto a = font->Glyphs().Get(*font.get(), twelve);
  auto b = font->Glyphs().Get(*font.get(), twelve);
  auto c = font->Glyphs().Get(*font.get(), big);
  EXPECT_EQ(a.Get(), b.Get());
  EXPECT_NE(a.Get(), c.Get());
  EXPECT_EQ(font->Glyphs().Count(), 2u);
  EXPECT_TRUE(a->IsSmallSize());
  EXPECT_FALSE(c->IsSmallSize());
  runtime::ArenaAllocator transient(&context, 16384, 4096);
  const uint32_t glyph = font->UnicodeToGlyph('g');
  const fonts::GlyphCacheKey twelveKey{twelve.a, twelve.b, twelve.c, twelve.d};
  const runtime::CacheEntry* entry = font->Glyphs().Cache().Find(&twelveKey);
  ASSERT_NE(entry, nullptr);
  const uint32_t setUpBytes = entry->byteSize;
  fonts::CoverageRecord* first = a->RenderGlyphMask(glyph, 0, nullptr, transient);
  ASSERT_NE(first, nullptr);
  // A kept record is charged to the source's entry; finding it again is not.
  const uint32_t chargedBytes = entry->byteSize;
  EXPECT_GT(chargedBytes, setUpBytes);
  EXPECT_EQ(a->RenderGlyphMask(glyph, 0, nullptr, transient), first);
  EXPECT_EQ(entry->byteSize, chargedBytes);
  EXPECT_GT(first->Width(), 3);
  EXPECT_GT(first->Height(), 5);
  EXPECT_NE(a->RenderGlyphMask(glyph, 1, nullptr, transient), first);
}

}  // namespace
