// Type 1 programs written by the test: clear text, charstrings unencrypted
// (lenIV -1) unless a case says otherwise.
#include "fonts/Type1Font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fonts/PsTokenizer.h"
#include "tests/fonts/CffBuilder.h"
#include "tests/fonts/FontTestSupport.h"

namespace {

using fonttest::Bytes;
using fonttest::Charstring;
using fonttest::N;
using fonttest::Op;

std::string Entry(const std::string& head, const Bytes& charstring, const std::string& tail) {
  return head + " " + std::to_string(charstring.size()) + " RD " +
         std::string(charstring.begin(), charstring.end()) + " " + tail + "\n";
}

struct Type1Program {
  std::string lenIV = "-1";
  std::string encoding = "StandardEncoding";
  std::vector<Bytes> subrs;
  std::vector<std::pair<std::string, Bytes>> glyphs;
  std::string extraPrivate;

  Bytes Build() const {
    std::string s = "%!FontType1-1.0: Test\n/FontType 1 def\n/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n"
                    "/FontBBox {0 -200 1000 900} readonly def\n/Encoding " + encoding + " def\n"
                    "/Private 8 dict dup begin\n/lenIV " + lenIV + " def\n" + extraPrivate;
    s += "/Subrs " + std::to_string(subrs.size()) + " array\n";
    for (size_t i = 0; i < subrs.size(); ++i) s += Entry("dup " + std::to_string(i), subrs[i], "NP");
    s += "ND\n2 index /CharStrings " + std::to_string(glyphs.size()) + " dict dup begin\n";
    for (const auto& [name, cs] : glyphs) s += Entry("/" + name, cs, "ND");
    s += "end\nend\n";
    return Bytes(s.begin(), s.end());
  }
};

Bytes Number255(int32_t v) {
  return Bytes{255, static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
               static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

constexpr int kHsbw = 13;

// Runs glyph `index` at 1 unit per pixel: the runtime code or -1.
long RunType1(const Bytes& program, uint32_t index, std::vector<runtime::FixedPoint>* points = nullptr) {
  runtime::LibraryContext context;
  fonttest::OpenedFont font(&context, program);
  if (!font) return font.Error() ? static_cast<long>(font.Error()->code) + 100 : -2;
  runtime::ArenaAllocator arena(&context, 16384, 4096);
  runtime::ArenaVector<runtime::FixedPoint> out(arena, 16);
  font->SetHinting(false);
  const long code = testsupport::RuntimeCodeOf(&context, [&] {
    fonts::Matrix orientation;
    font->GlyphByIndex(index, fonts::Matrix{}, out, arena, orientation);
  });
  if (points != nullptr) points->assign(out.begin(), out.end());
  return code;
}

Type1Program BasicProgram() {
  Type1Program p;
  p.glyphs.push_back({".notdef", Charstring({N(0), N(500), Op(kHsbw), Op(fonttest::kEndchar)})});
  return p;
}

TEST(Type1Font, LargeNumbersAreFixedSmallOnesIntegers) {
  Type1Program p = BasicProgram();
  p.glyphs.push_back({"a", Join({Charstring({N(0), N(500), Op(kHsbw)}), Number255(40000), Charstring({N(0), Op(fonttest::kRlineto), Op(fonttest::kEndchar)})})});
  p.glyphs.push_back({"b", Join({Charstring({N(0), N(500), Op(kHsbw)}), Number255(32000), Charstring({N(0), Op(fonttest::kRlineto), Op(fonttest::kEndchar)})})});
  std::vector<runtime::FixedPoint> points;
  ASSERT_EQ(RunType1(p.Build(), 1, &points), -1);
  ASSERT_GE(points.size(), 2u);
  EXPECT_EQ(points[1].x & ~1, 40000 & ~1);  // 0.61 units
  ASSERT_EQ(RunType1(p.Build(), 2, &points), -1);
  EXPECT_EQ(points[1].x & ~1, 32000 * 65536);
}

TEST(Type1Font, RefusedCharstrings) {
  Type1Program p = BasicProgram();
  p.subrs.push_back(Charstring({Op(fonttest::kReturn)}));
  p.glyphs.push_back({"gsubr", Charstring({N(0), N(500), Op(kHsbw), N(0), Op(fonttest::kCallgsubr), Op(fonttest::kEndchar)})});
  p.glyphs.push_back({"subr1", Charstring({N(0), N(500), Op(kHsbw), N(1), Op(fonttest::kCallsubr), Op(fonttest::kEndchar)})});
  p.glyphs.push_back({"seacbad", Charstring({N(0), N(0), N(0), N(-1), N(97), Op(12, 6)})});
  p.glyphs.push_back({"seacseac", Charstring({N(0), N(0), N(0), N(65), N(65), Op(12, 6)})});
  p.glyphs.push_back({"A", Charstring({N(0), N(0), N(0), N(65), N(65), Op(12, 6)})});
  const Bytes program = p.Build();
  EXPECT_EQ(RunType1(program, 1), 2);  // callgsubr in a Type 1 font
  EXPECT_EQ(RunType1(program, 2), 2);  // Subrs index equal to the count
  EXPECT_EQ(RunType1(program, 3), 2);  // a seac code outside 0..255
  EXPECT_EQ(RunType1(program, 4), 2);  // seac whose component is a seac
}

TEST(Type1Font, SeacPlacesTheAccentAtAdxMinusAsb) {
  Type1Program p = BasicProgram();
  p.glyphs.push_back({"A", Charstring({N(20), N(600), Op(kHsbw), N(0), N(0), Op(fonttest::kRmoveto), N(100), N(0), Op(fonttest::kRlineto), Op(9), Op(fonttest::kEndchar)})});
  p.glyphs.push_back({"acute", Charstring({N(30), N(300), Op(kHsbw), N(0), N(0), Op(fonttest::kRmoveto), N(0), N(50), Op(fonttest::kRlineto), Op(9), Op(fonttest::kEndchar)})});
  // asb 20, adx 200, ady 400, bchar 'A', achar 'acute' (194).
  p.glyphs.push_back({"Aacute", Charstring({N(20), N(600), Op(kHsbw), N(20), N(200), N(400), N(65), N(194), Op(12, 6)})});
  std::vector<runtime::FixedPoint> points;
  ASSERT_EQ(RunType1(p.Build(), 3, &points), -1);
  bool accentAt = false;
  for (const auto& pt : points) {
    // The accent's own side bearing 30 adds to adx − asb = 180.
    if (fonts::GlyphOutline::KindOf(pt) == fonts::PointKind::kLine && (pt.x & ~1) == 210 * 65536 &&
        (pt.y & ~1) == 450 * 65536) {
      accentAt = true;
    }
  }
  EXPECT_TRUE(accentAt);
}

TEST(Type1Font, ProgramStructure) {
  runtime::LibraryContext context;
  {
    // A charstring ending in seac keeps the font supported; StandardEncoding
    // gives the standard names.
    Type1Program p = BasicProgram();
    p.glyphs.push_back({"A", Charstring({N(0), N(0), N(0), N(65), N(65), Op(12, 6)})});
    fonttest::OpenedFont font(&context, p.Build());
    ASSERT_TRUE(font);
    EXPECT_TRUE(font->IsSupported());
    EXPECT_EQ(font->GlyphCount(), 2u);
    EXPECT_STREQ(font->BuiltinEncoding()[65], "A");
    EXPECT_STREQ(font->GlyphNames()[1], "A");
  }
  {
    Type1Program p = BasicProgram();
    p.encoding = "256 array 0 1 255 {1 index exch /.notdef put} for dup 65 /Alpha put readonly";
    p.glyphs.push_back({"odd", Charstring({N(0), N(0), Op(kHsbw)})});  // no endchar
    fonttest::OpenedFont font(&context, p.Build());
    ASSERT_TRUE(font);
    EXPECT_FALSE(font->IsSupported());
    EXPECT_STREQ(font->BuiltinEncoding()[65], "Alpha");
  }
  {
    Type1Program p = BasicProgram();
    p.extraPrivate = "/hires true def\n";
    fonttest::OpenedFont font(&context, p.Build());
    ASSERT_TRUE(font);
    EXPECT_FALSE(font->IsSupported());
  }
  const struct {
    std::string lenIV;
    std::vector<Bytes> subrs;
    std::string extra;
  } refused[] = {
      {"8", {}, ""},                       // lenIV above the charstring's length
      {"-2", {}, ""},                      // lenIV below -1
      {"-1", {}, "/BlueValues (0 1) def\n"},  // BlueValues not an array
  };
  for (const auto& c : refused) {
    Type1Program p = BasicProgram();
    p.lenIV = c.lenIV;
    p.extraPrivate = c.extra;
    fonttest::OpenedFont font(&context, p.Build());
    EXPECT_FALSE(font) << c.lenIV << c.extra;
    ASSERT_TRUE(font.Error().has_value());
    EXPECT_TRUE(font.Error()->IsRuntime(2));
  }
  // A Subrs entry whose index equals the count.
  Type1Program p = BasicProgram();
  Bytes program = p.Build();
  std::string s(program.begin(), program.end());
  const size_t at = s.find("/Subrs 0 array");
  s.replace(at, 14, "/Subrs 1 array\ndup 1 1 RD \x0b NP");
  fonttest::OpenedFont font(&context, Bytes(s.begin(), s.end()));
  EXPECT_FALSE(font);
}

TEST(PsTokenizer, Tokens) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const std::string text = "(a\\)b) <a<b>c> [1 [2] 3] {x} /Name -| 12 -3.5 % comment\n<<";
  fonts::PsTokenizer tokens({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, arena);
  const struct {
    fonts::PsTokenKind kind;
    const char* text;
  } expected[] = {
      {fonts::PsTokenKind::kString, "(a\\)b)"},     {fonts::PsTokenKind::kHexString, "<a<b>c>"},
      {fonts::PsTokenKind::kArray, "[1 [2] 3]"},    {fonts::PsTokenKind::kProcedure, "{x}"},
      {fonts::PsTokenKind::kLiteralName, "Name"},   {fonts::PsTokenKind::kExecutableName, "-|"},
      {fonts::PsTokenKind::kInteger, "12"},         {fonts::PsTokenKind::kReal, "-3.5"},
      {fonts::PsTokenKind::kDictStart, "<<"},       {fonts::PsTokenKind::kEnd, ""},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(tokens.NextToken(), e.kind) << e.text;
    EXPECT_STREQ(tokens.Text(), e.text);
  }
}

TEST(PsTokenizer, SkipsByClassAndStopsAtTheEnd) {
  runtime::LibraryContext context;
  runtime::ArenaAllocator arena(&context, 4096, 1024);
  const std::string text = std::string(" \t\0", 3) + "%a(b\r/x% last";
  fonts::PsTokenizer tokens({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, arena);
  // NUL counts as white space; the stop byte is left for the next read.
  EXPECT_EQ(tokens.SkipWhileClass(fonts::PsTokenizer::kWhiteSpace), '%');
  EXPECT_EQ(tokens.NextByte(), '%');
  // A delimiter is not a line end.
  EXPECT_EQ(tokens.SkipUntilClass(fonts::PsTokenizer::kLineEnd), '\r');
  EXPECT_EQ(tokens.SkipWhileClass(fonts::PsTokenizer::kWhiteSpace), '/');
  EXPECT_EQ(tokens.NextToken(), fonts::PsTokenKind::kLiteralName);
  // A comment running to the end of the data ends the tokens.
  EXPECT_EQ(tokens.NextToken(), fonts::PsTokenKind::kEnd);
  EXPECT_EQ(tokens.SkipUntilClass(fonts::PsTokenizer::kLineEnd), -1);
  EXPECT_EQ(tokens.SkipWhileClass(fonts::PsTokenizer::kWhiteSpace), -1);
  EXPECT_TRUE(tokens.AtEnd());
}

}  // namespace
