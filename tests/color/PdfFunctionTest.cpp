// PDF functions of every type built from document objects, their two
// evaluation forms, the calculator language and the limits on hostile
// input.
#include "color/PdfFunction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "color/CalculatorFunction.h"
#include "color/FunctionEvaluator.h"
#include "color/IdentityFunction.h"
#include "color/StitchingFunction.h"
#include "tests/color/ColorTestDocument.h"
#include "tests/support/RaisedCode.h"
#include "tests/support/SmallPdfFile.h"

namespace color {
namespace {

using colortest::ObjectsDocument;
using runtime::ObjectTag;
using testsupport::RaisedCode;
using testsupport::StreamBody;

constexpr Fixed kOne = 0x10000;

class PdfFunctionTest : public ::testing::Test {
 protected:
  PdfFunctionTest() { context_.memory.SetBudget(runtime::kNoLimit); }

  // The function of object 1 of a document made of `objects`.
  PdfFunctionRef Build(const std::vector<std::string>& objects) {
    documents_.push_back(std::make_unique<ObjectsDocument>(&context_, objects));
    return Function::Create(&context_, documents_.back()->Object(1), documents_.back()->Get());
  }
  std::optional<uint32_t> BuildCode(const std::vector<std::string>& objects) {
    return RaisedCode([&] { Build(objects); });
  }
  std::vector<Fixed> EvalFixed(const PdfFunctionRef& f, std::vector<Fixed> in) {
    std::vector<Fixed> out(f->Outputs());
    FunctionEvaluator(f).EvalFixed(out.data(), sizeof(Fixed), in.data(), sizeof(Fixed));
    return out;
  }
  std::vector<int> EvalBytes(const PdfFunctionRef& f, std::vector<uint8_t> in) {
    std::vector<uint8_t> out(f->Outputs());
    FunctionEvaluator(f).EvalBytes(out.data(), 1, in.data(), 1);
    return std::vector<int>(out.begin(), out.end());
  }
  // A calculator function over `program` with m inputs and n (0, 1) outputs.
  PdfFunctionRef Calculator(const std::string& program, int inputs = 0, int outputs = 1,
                            const std::string& range = "") {
    std::string domain, rangeText;
    for (int i = 0; i < inputs; ++i) domain += " 0 1";
    for (int j = 0; j < outputs; ++j) rangeText += range.empty() ? " -32767 32767" : " " + range;
    return Build({StreamBody("/FunctionType 4 /Domain [" + domain + "] /Range [" + rangeText + "]", program)});
  }

  runtime::LibraryContext context_;
  std::vector<std::unique_ptr<ObjectsDocument>> documents_;
};

TEST_F(PdfFunctionTest, ExponentialInterpolatesBetweenC0AndC1) {
  PdfFunctionRef f = Build({"<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>"});
  ASSERT_EQ(f->Outputs(), 3u);
  const std::vector<Fixed> out = EvalFixed(f, {0x8000});
  EXPECT_NEAR(out[0], 0x8000, 1);
  EXPECT_EQ(out[1], 0);
  EXPECT_NEAR(out[2], 0x8000, 1);
  // Without C0 and C1 the output is x^N.
  PdfFunctionRef square = Build({"<< /FunctionType 2 /Domain [0 1] /N 2 >>"});
  EXPECT_NEAR(EvalFixed(square, {0x8000})[0], 0x4000, 16);
}

TEST_F(PdfFunctionTest, ExponentialClipsItsInputToTheDomain) {
  PdfFunctionRef f = Build({"<< /FunctionType 2 /Domain [0 2] /C0 [0] /C1 [1] /N 1 >>"});
  EXPECT_EQ(EvalFixed(f, {3 * kOne})[0], 2 * kOne);
  EXPECT_EQ(EvalFixed(f, {-kOne})[0], 0);
}

TEST_F(PdfFunctionTest, ByteOutputsClampInsteadOfWrapping) {
  // Without a Range nothing limits these outputs to [0, 1].
  PdfFunctionRef f = Build({"<< /FunctionType 2 /Domain [0 1] /C0 [0 1] /C1 [2 -1] /N 1 >>"});
  EXPECT_EQ(EvalBytes(f, {255}), (std::vector<int>{255, 0}));
  EXPECT_EQ(EvalBytes(f, {0}), (std::vector<int>{0, 255}));
  // A Range within [0, 1] does not normalise, and a calculator's outputs
  // are not clipped to it: 2.5 and -0.5 must still end at 255 and 0.
  PdfFunctionRef calc = Calculator("{ 2.5 mul dup 3 sub }", 1, 2, "0 1");
  EXPECT_EQ(EvalBytes(calc, {255}), (std::vector<int>{255, 0}));
}

TEST_F(PdfFunctionTest, StitchingAtABoundUsesTheUpperFunction) {
  PdfFunctionRef f = Build({"<< /FunctionType 3 /Domain [0 2] /Bounds [1] /Encode [0 1 0 1] "
                            "/Functions [2 0 R 3 0 R] >>",
                            "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1 >>",
                            "<< /FunctionType 2 /Domain [0 1] /C0 [2] /C1 [3] /N 1 >>"});
  EXPECT_EQ(EvalFixed(f, {kOne})[0], 2 * kOne);
  EXPECT_LT(EvalFixed(f, {kOne - 1})[0], kOne);
  EXPECT_EQ(EvalFixed(f, {2 * kOne})[0], 3 * kOne);
  // One sub-function and an empty Bounds: Encode maps the whole Domain.
  PdfFunctionRef single = Build({"<< /FunctionType 3 /Domain [0 2] /Bounds [] /Encode [1 0] "
                                 "/Functions [<< /FunctionType 2 /Domain [0 1] /N 1 >>] >>"});
  EXPECT_EQ(EvalFixed(single, {0})[0], kOne);
  EXPECT_EQ(EvalFixed(single, {2 * kOne})[0], 0);
  EXPECT_EQ(EvalBytes(single, {255})[0], 127);
}

TEST_F(PdfFunctionTest, SampledInterpolatesBetweenCorners) {
  // 2 x 2 grid, one output: corners 0, 100, 200, 40 (first input fastest).
  PdfFunctionRef f = Build({StreamBody("/FunctionType 0 /Domain [0 1 0 1] /Range [0 1] /Size [2 2] "
                                       "/BitsPerSample 8",
                                       std::string("\x00\x64\xC8\x28", 4))});
  const std::vector<int> middle = EvalBytes(f, {128, 128});
  EXPECT_NEAR(middle[0], (0 + 100 + 200 + 40) / 4, 1);
  // A fraction of 0 returns the corner's sample unchanged.
  EXPECT_EQ(EvalBytes(f, {255, 0})[0], 100);
  EXPECT_EQ(EvalBytes(f, {0, 255})[0], 200);
  EXPECT_EQ(EvalFixed(f, {kOne, kOne})[0], 40 * 257);
  // Decode is used in the Fixed form only.
  PdfFunctionRef decoded = Build({StreamBody("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] "
                                             "/BitsPerSample 8 /Decode [1 0]",
                                             std::string("\x00\xFF", 2))});
  EXPECT_EQ(EvalFixed(decoded, {0})[0], kOne);
  EXPECT_EQ(EvalBytes(decoded, {0})[0], 0);
}

TEST_F(PdfFunctionTest, SampleWidthsScaleToSixteenBits) {
  struct Case {
    int bits;
    std::string data;
    Fixed last;
  };
  const Case cases[] = {
      {1, std::string("\x40", 1), 0x10000},     // 0 1
      {2, std::string("\x30", 1), 0xFFFF},      // 0 3
      {4, std::string("\x0F", 1), 0xFFFF},      // 0 15
      {8, std::string("\x00\xFF", 2), 0xFFFF},
      {12, std::string("\x00\x0F\xFF", 3), 0xFFFF},
      {16, std::string("\x00\x00\xFF\xFF", 4), 0xFFFF},
      {24, std::string("\x00\x00\x00\x80\x00\x11", 6), 0x8000},
      {32, std::string("\x00\x00\x00\x00\x12\x34\x56\x78", 8), 0x1234},
  };
  for (const Case& c : cases) {
    PdfFunctionRef f = Build({StreamBody("/FunctionType 0 /Domain [0 1] /Range [0 2] /Size [2] /BitsPerSample " +
                                             std::to_string(c.bits) + " /Decode [0 1]",
                                         c.data)});
    EXPECT_EQ(EvalFixed(f, {kOne})[0], c.last) << c.bits;
    EXPECT_EQ(EvalFixed(f, {0})[0], 0) << c.bits;
  }
}

TEST_F(PdfFunctionTest, MalformedFunctionsAreRefused) {
  struct Case {
    const char* name;
    std::vector<std::string> objects;
    uint32_t code;
  };
  const std::string eight = "/BitsPerSample 8";
  const Case cases[] = {
      {"real FunctionType", {"<< /FunctionType 2.0 /Domain [0 1] /N 1 >>"}, 2},
      {"unknown FunctionType", {"<< /FunctionType 1 /Domain [0 1] /N 1 >>"}, 2},
      {"no Domain", {"<< /FunctionType 2 /N 1 >>"}, 2},
      {"odd Domain", {"<< /FunctionType 2 /Domain [0 1 2] /N 1 >>"}, 2},
      {"Range pair reversed", {"<< /FunctionType 2 /Domain [0 1] /Range [1 0] /N 1 >>"}, 2},
      {"exponential without N", {"<< /FunctionType 2 /Domain [0 1] >>"}, 2},
      {"exponential of two inputs", {"<< /FunctionType 2 /Domain [0 1 0 1] /N 1 >>"}, 2},
      {"C1 longer than C0", {"<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1 1] /N 1 >>"}, 2},
      {"sampled without Range", {StreamBody("/FunctionType 0 /Domain [0 1] /Size [2] " + eight, "ab")}, 2},
      {"sampled Size 0", {StreamBody("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [0] " + eight, "ab")}, 2},
      {"sampled Size beyond 32767",
       {StreamBody("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [40000] " + eight, "ab")}, 2},
      {"sampled grid too large",
       {StreamBody("/FunctionType 0 /Domain [0 1 0 1 0 1] /Range [0 1] /Size [32767 32767 32767] " + eight, "ab")}, 2},
      {"sampled too little data",
       {StreamBody("/FunctionType 0 /Domain [0 1] /Range [0 1 0 1] /Size [2] " + eight, "abc")}, 2},
      {"sampled BitsPerSample 3",
       {StreamBody("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] /BitsPerSample 3", "ab")}, 2},
      {"sampled Size shorter than Domain",
       {StreamBody("/FunctionType 0 /Domain [0 1 0 1] /Range [0 1] /Size [2] " + eight, "abcd")}, 2},
      {"stitching without functions", {"<< /FunctionType 3 /Domain [0 1] /Bounds [] /Encode [] /Functions [] >>"}, 2},
      {"stitching Bounds too short",
       {"<< /FunctionType 3 /Domain [0 1] /Bounds [] /Encode [0 1 0 1] /Functions [2 0 R 2 0 R] >>",
        "<< /FunctionType 2 /Domain [0 1] /N 1 >>"}, 2},
      {"stitching Bounds descending",
       {"<< /FunctionType 3 /Domain [0 1] /Bounds [0.6 0.4] /Encode [0 1 0 1 0 1] /Functions [2 0 R 2 0 R 2 0 R] >>",
        "<< /FunctionType 2 /Domain [0 1] /N 1 >>"}, 2},
      {"stitching bound beyond Domain",
       {"<< /FunctionType 3 /Domain [0 1] /Bounds [2] /Encode [0 1 0 1] /Functions [2 0 R 2 0 R] >>",
        "<< /FunctionType 2 /Domain [0 1] /N 1 >>"}, 2},
      {"stitching outputs differ",
       {"<< /FunctionType 3 /Domain [0 1] /Bounds [0.5] /Encode [0 1 0 1] /Functions [2 0 R 3 0 R] >>",
        "<< /FunctionType 2 /Domain [0 1] /N 1 >>", "<< /FunctionType 2 /Domain [0 1] /C0 [0 0] /C1 [1 1] /N 1 >>"},
       2},
      {"stitching refers to itself",
       {"<< /FunctionType 3 /Domain [0 1] /Bounds [] /Encode [0 1] /Functions [1 0 R] >>"}, 2},
      {"calculator token outside braces", {StreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", "1 { }")}, 1},
      {"calculator unknown name", {StreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ dupe }")}, 2},
      {"calculator unclosed", {StreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ 1 { 2 }")}, 2},
      {"calculator stray brace", {StreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", "}")}, 2},
      {"calculator if without procedure", {StreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ true 1 if }")}, 2},
      {"calculator bad character", {StreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", "{ 1 [ }")}, 2},
      {"calculator nesting too deep",
       {StreamBody("/FunctionType 4 /Domain [0 1] /Range [0 1]", std::string(100, '{') + std::string(100, '}'))}, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildCode(c.objects), c.code) << c.name;
}

TEST_F(PdfFunctionTest, StitchingNestsNineLevelsButNotTen) {
  auto nested = [](int levels) {
    std::vector<std::string> objects;
    for (int i = 1; i <= levels; ++i) {
      objects.push_back("<< /FunctionType 3 /Domain [0 1] /Bounds [] /Encode [0 1] /Functions [" +
                        std::to_string(i + 1) + " 0 R] >>");
    }
    objects.push_back("<< /FunctionType 2 /Domain [0 1] /N 1 >>");
    return objects;
  };
  EXPECT_EQ(BuildCode(nested(9)), std::nullopt);
  EXPECT_EQ(BuildCode(nested(10)), 2u);
}

// The calculator's whole stack after running `program` on no inputs.
struct CalcCase {
  const char* program;
  std::vector<CalcValue> stack;
};

CalcValue Int(int32_t v) { return {ObjectTag::kInteger, v}; }
CalcValue Real(Fixed v) { return {ObjectTag::kReal, v}; }
CalcValue Bool(bool v) { return {ObjectTag::kBoolean, v ? 1 : 0}; }

TEST_F(PdfFunctionTest, CalculatorOperators) {
  const CalcCase cases[] = {
      {"{ 2 3 mul }", {Real(6 * kOne)}},
      {"{ 2 3 add }", {Int(5)}},
      {"{ 7 2 sub }", {Int(5)}},
      {"{ 7 2.5 sub }", {Real(0x48000)}},
      {"{ 1 1.0 eq }", {Bool(true)}},
      {"{ 40000 1.0 eq }", {Bool(false)}},
      {"{ 2.5 2 gt }", {Bool(true)}},
      {"{ 2 2.5 ge }", {Bool(false)}},
      {"{ 2 2.5 lt 2.5 2 le }", {Bool(true), Bool(false)}},
      {"{ true 1 eq }", {Bool(false)}},
      {"{ 1 2 3 3 1 roll }", {Int(3), Int(1), Int(2)}},
      {"{ 1 2 3 3 -1 roll }", {Int(2), Int(3), Int(1)}},
      {"{ 1 2 3 2 copy }", {Int(1), Int(2), Int(3), Int(2), Int(3)}},
      {"{ 1 2 3 2 index }", {Int(1), Int(2), Int(3), Int(1)}},
      {"{ 1 2 exch pop dup }", {Int(2), Int(2)}},
      {"{ -2147483648 abs -2147483648 neg }", {Int(INT32_MAX), Int(INT32_MAX)}},
      {"{ -2147483648 -1 idiv -2147483648 -1 mod }", {Int(INT32_MAX), Int(0)}},
      {"{ -7 2 idiv -7 2 mod }", {Int(-3), Int(-1)}},
      {"{ 2147483647 1 add }", {Int(INT32_MAX)}},
      {"{ 100000 cvr -100000 cvr 3 cvr }", {Real(runtime::kFixedMax), Real(runtime::kFixedMin), Real(3 * kOne)}},
      {"{ -2.5 cvi 2.5 cvi }", {Int(-2), Int(2)}},
      {"{ -2.5 truncate -2.5 floor -2.5 ceiling 2.75 round }",
       {Real(-2 * kOne), Real(-3 * kOne), Real(-2 * kOne), Real(3 * kOne)}},
      {"{ 1 4 bitshift 256 -4 bitshift 1 40 bitshift }", {Int(16), Int(16), Int(0)}},
      {"{ 12 10 and 12 10 or 12 10 xor 0 not true false or }", {Int(8), Int(14), Int(6), Int(-1), Bool(true)}},
      {"{ true { 1 } if false { 2 } if }", {Int(1)}},
      {"{ false { 1 } { 2 } ifelse }", {Int(2)}},
      {"{ 1 2 div 4 sqrt }", {Real(0x8000), Real(2 * kOne)}},
      {"{ 2 3 exp }", {Real(8 * kOne)}},
      {"{ 0 1 atan 1 0 atan -1 0 atan }", {Real(0), Real(90 * kOne), Real(270 * kOne)}},
      {"{ 90 sin 0 cos }", {Real(kOne), Real(kOne)}},
      {"{ 1 ln 10 log }", {Real(0), Real(kOne)}},
      {"{ 5 } junk after the braces", {Int(5)}},
      {"{ 1 % a comment }\n 2 }", {Int(1), Int(2)}},
  };
  for (const CalcCase& c : cases) {
    PdfFunctionRef f = Calculator(c.program);
    CalcValue result[16];
    uint32_t depth = 0;
    ASSERT_EQ(RaisedCode([&] { depth = static_cast<CalculatorFunction&>(*f).Run(nullptr, 0, result, 16); }),
              std::nullopt)
        << c.program;
    ASSERT_EQ(depth, c.stack.size()) << c.program;
    for (uint32_t i = 0; i < depth; ++i) {
      EXPECT_EQ(result[i].tag, c.stack[i].tag) << c.program << " #" << i;
      // Logarithms and roots are near, not exact.
      EXPECT_NEAR(result[i].value, c.stack[i].value, result[i].tag == ObjectTag::kReal ? 64 : 0)
          << c.program << " #" << i;
    }
  }
}

TEST_F(PdfFunctionTest, CalculatorRunTimeFaults) {
  struct Case {
    const char* program;
    uint32_t code;
  };
  const Case cases[] = {
      {"{ 1 { 2 } }", 1},      {"{ 0 1 roll }", 2},     {"{ 1 0 idiv }", 1},   {"{ 1 0 mod }", 1},
      {"{ 0 0 atan }", 1},     {"{ -1 sqrt }", 1},      {"{ -2 0.5 exp }", 1}, {"{ 0 ln }", 1},
      {"{ -1 log }", 1},       {"{ 1 0 div }", 1},      {"{ pop }", 1},        {"{ 1 -1 index }", 2},
      {"{ 1 5 index }", 1},    {"{ true 1 add }", 2},         {"{ 1.5 2 idiv }", 2},
      {"{ true 1 gt }", 2},    {"{ 1 true and }", 2},   {"{ 1 3 copy }", 1},
  };
  for (const Case& c : cases) {
    PdfFunctionRef f = Calculator(c.program);
    CalcValue result[4];
    EXPECT_EQ(RaisedCode([&] { static_cast<CalculatorFunction&>(*f).Run(nullptr, 0, result, 4); }), c.code)
        << c.program;
  }
  // The operand stack is bounded.
  std::string many = "{";
  for (int i = 0; i < 300; ++i) many += " 1";
  PdfFunctionRef f = Calculator(many + " }");
  CalcValue result[1];
  EXPECT_EQ(RaisedCode([&] { static_cast<CalculatorFunction&>(*f).Run(nullptr, 0, result, 1); }), 1u);
}

TEST_F(PdfFunctionTest, CalculatorEvaluationForms) {
  // Two inputs, two outputs; leftovers of one run do not reach the next.
  PdfFunctionRef f = Calculator("{ 2 copy add 3 1 roll mul 0 }", 2, 2, "0 1");
  // Stack after: x+y, x*y, 0 -> outputs take the top two: x*y, 0.
  std::vector<Fixed> first = EvalFixed(f, {0x8000, 0x8000});
  EXPECT_EQ(first[0], 0x4000);
  EXPECT_EQ(first[1], 0);
  std::vector<Fixed> second = EvalFixed(f, {kOne, kOne});
  EXPECT_EQ(second[0], kOne);
  // Range (0, 255): the byte form maps 127.5 to 127.
  PdfFunctionRef scaled = Calculator("{ 255 mul }", 1, 1, "0 255");
  EXPECT_EQ(EvalBytes(scaled, {128})[0], 128);
  PdfFunctionRef half = Calculator("{ pop 127.5 }", 1, 1, "0 255");
  EXPECT_EQ(EvalBytes(half, {0})[0], 127);
  // An integer result reaches the Fixed form as a number.
  PdfFunctionRef whole = Calculator("{ pop 7 2 sub }", 1, 1);
  EXPECT_EQ(EvalFixed(whole, {0})[0], 5 * kOne);
}

TEST_F(PdfFunctionTest, IdentityCopiesAndUnknownTypesHaveNoEvaluator) {
  PdfFunctionRef identity = IdentityFunction::Create(&context_, 3);
  EXPECT_EQ(EvalBytes(identity, {1, 2, 3}), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(EvalFixed(identity, {5, -6, 7}), (std::vector<Fixed>{5, -6, 7}));
  EXPECT_EQ(RaisedCode([&] { IdentityFunction::Create(&context_, 0); }), 2u);
}

}  // namespace
}  // namespace color
