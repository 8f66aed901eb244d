// Font dictionaries into font objects: the cache, Subtype dispatch, the
// embedded-program search, encodings and widths, hostile dictionaries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fonts/CffFont.h"
#include "fonts/FontDict.h"
#include "fonts/SimpleFont.h"
#include "fonts/SimpleFontEncoding.h"
#include "fonts/StandardFonts.h"
#include "fonts/TrueTypeFont.h"
#include "pdf/Document.h"
#include "pdf/FontCache.h"
#include "resources/StandardFontTables.h"
#include "runtime/Dictionary.h"
#include "tests/fonts/FontTestSupport.h"
#include "tests/fonts/FontDocument.h"
#include "tests/fonts/TrueTypeBuilder.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace fonts {
namespace {

using testsupport::RuntimeCodeOf;
using testsupport::StreamBody;

std::string UrwFileText(const std::string& path) {
  const std::vector<uint8_t> bytes = fonttest::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::string UrwSansOtf() { return UrwFileText(std::string(fonttest::kUrwOpenTypeDir) + "/NimbusSans-Regular.otf"); }
std::string UrwSansType1() { return UrwFileText(std::string(fonttest::kUrwType1Dir) + "/NimbusSans-Regular.t1"); }

// A program with given glyph names, keyed by names or by codes.
class NamedProgram final : public FontProgram {
 public:
  NamedProgram(runtime::LibraryContext* context, std::vector<const char*> names, GlyphKeyKind kind)
      : FontProgram(context), names_(std::move(names)), kind_(kind) {}
  void Glyph(uint32_t, const Matrix&, runtime::ArenaVector<FixedPoint>&, runtime::ArenaAllocator&,
             Matrix&) override {}
  runtime::Rect FontBBox() const override { return {}; }
  uint32_t GlyphCount() const override { return static_cast<uint32_t>(names_.size()); }
  Matrix FontMatrix() const override { return {}; }
  GlyphKeyKind KeyKind() const override { return kind_; }
  const char* const* GlyphNames() override { return names_.data(); }
  const char* const* BuiltinEncoding() override { return nullptr; }
  bool CodeToGlyphTable(int kind, bool, uint16_t (&glyphs)[256]) override {
    for (int c = 0; c < 256; ++c) glyphs[c] = static_cast<uint16_t>(kind);
    return true;
  }
  bool IsUsable() const override { return true; }
  uint32_t ByteSize() const override { return 0; }

 private:
  std::vector<const char*> names_;
  GlyphKeyKind kind_;
};

TEST(SimpleFontTest, TwoPagesSharingAFontDictionaryBuildItOnce) {
  FontDocument doc({"<< /Type /Catalog >>", "<< /Font << /F 4 0 R >> >>", "<< /Font << /G 4 0 R >> >>",
                    "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol >>"});
  DocumentFontFactory factory;
  pdf::FontCache& cache = doc.Doc().Fonts();
  auto page1 = cache.GetOrCreate(doc.Doc(), runtime::Dictionary::Get(
                                                runtime::Dictionary::Get(doc.Object(2), "Font"), "F"),
                                 factory);
  auto page2 = cache.GetOrCreate(doc.Doc(), runtime::Dictionary::Get(
                                                runtime::Dictionary::Get(doc.Object(3), "Font"), "G"),
                                 factory);
  EXPECT_EQ(cache.Count(), 1u);
  EXPECT_EQ(page1.Get(), page2.Get());
  EXPECT_TRUE(page1->isUsable);
}

TEST(SimpleFontTest, SubtypesOutsideSimpleFontsAndMissingEntriesFail) {
  struct Case {
    const char* dict;
    long code;
  } cases[] = {
      {"<< /Type /Font /Subtype /CIDFontType2 /BaseFont /X >>", runtime::kUnsupported},
      {"<< /Type /Font /Subtype (Type1) /BaseFont /X >>", runtime::kMalformed},
      {"<< /Type /Font /BaseFont /X >>", runtime::kMalformed},
      {"<< /Type /Font /Subtype /Type1 >>", runtime::kMalformed},
      {"<< /Type /Font /Subtype /Type1 /BaseFont /X /FontDescriptor << /FontName /X >> >>",
       runtime::kMalformed},
      {"<< /Type /Font /Subtype /Type1 /BaseFont 12 >>", runtime::kMalformed},
      {"[ /Type1 ]", runtime::kMalformed},
  };
  for (const Case& c : cases) {
    FontDocument doc({c.dict});
    EXPECT_EQ(doc.CodeOf(), c.code) << c.dict;
  }
}

TEST(SimpleFontTest, ProgramDataDecideTheKindAndRejectedProgramsAreNoted) {
  const std::string otf = UrwSansOtf();
  // FontFile2 holding an OpenType CFF program is read as CFF.
  {
    FontDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Sans /FontDescriptor 2 0 R"
                      " /FirstChar 97 /LastChar 97 /Widths [500] >>",
                      "<< /Flags 32 /FontFile2 3 0 R >>", StreamBody("", otf)});
    auto ref = doc.Load();
    SimpleFont& font = doc.Simple(ref);
    ASSERT_TRUE(font.isUsable);
    EXPECT_EQ(font.DrawnBy(), SimpleFont::Source::kEmbedded);
    EXPECT_NE(dynamic_cast<CffFont*>(font.ProgramOrNull()), nullptr);
    EXPECT_EQ(font.programRejected, 0);
    EXPECT_STREQ(font.ProgramOrNull()->GlyphNames()[font.Table()->glyphs['a']], "a");
    EXPECT_EQ(font.Table()->widths['a'], ThousandthsToFixed(500));
    EXPECT_EQ(font.MemorySize(), ProgramFont::kOwnSize + font.ProgramOrNull()->ByteSize() + 2052);
  }
  // A TrueType program without a usable "cmap" (here: no tables at all)
  // is passed over for a good FontFile3.
  {
    const std::string bareSfnt("\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12);
    FontDocument doc({"<< /Type /Font /Subtype /Type1 /BaseFont /Sans /FontDescriptor 2 0 R"
                      " /FirstChar 97 /LastChar 97 /Widths [500] >>",
                      "<< /Flags 32 /FontFile2 3 0 R /FontFile3 4 0 R >>", StreamBody("", bareSfnt),
                      StreamBody("/Subtype /OpenType", otf)});
    auto ref = doc.Load();
    SimpleFont& font = doc.Simple(ref);
    EXPECT_EQ(font.DrawnBy(), SimpleFont::Source::kEmbedded);
    EXPECT_EQ(font.programRejected, 1);
    EXPECT_EQ(font.programRejectedCopy, 1);
  }
  // Garbage, a broken Flate stream and a cut-short Type 1 program are all
  // rejected; the non-standard font then draws with the multiple-master
  // substitute (without "Widths" it has no usable widths: an error).
  {
    const std::string type1 = UrwSansType1();
    FontDocument doc({"<< /Type /Font /Subtype /Type1 /BaseFont /Sans /FontDescriptor 2 0 R"
                      " /FirstChar 32 /LastChar 32 /Widths [250] >>",
                      "<< /Flags 32 /FontFile 3 0 R /FontFile2 4 0 R /FontFile3 5 0 R >>",
                      StreamBody("", "not a font program at all"),
                      StreamBody("/Filter /FlateDecode", "\x78\x9c garbage"),
                      StreamBody("", type1.substr(0, 100))});
    auto ref = doc.Load();
    EXPECT_EQ(ref->programRejected, 1);
    EXPECT_EQ(ref->isUsable, 1);
    EXPECT_EQ(doc.Simple(ref).DrawnBy(), SimpleFont::Source::kMultipleMaster);
    EXPECT_EQ(doc.Simple(ref).Table()->widths[32], ThousandthsToFixed(250));
    FontDocument noWidths({"<< /Type /Font /Subtype /Type1 /BaseFont /Sans /FontDescriptor"
                           " << /Flags 32 >> >>"});
    EXPECT_EQ(noWidths.CodeOf(), runtime::kMalformed);
  }
}

TEST(SimpleFontTest, TrueTypeProgramsMapCodesThroughTheirCmap) {
  using Segments = std::vector<std::array<uint16_t, 3>>;
  const std::vector<uint8_t> unicode = fonttest::Format4Cmap(
      {{0x41, 0x43, static_cast<uint16_t>(1 - 0x41)}, {0x20AC, 0x20AC, static_cast<uint16_t>(3 - 0x20AC)}});
  const std::vector<uint8_t> symbol =
      fonttest::Format4Cmap(Segments{{0xF041, 0xF043, static_cast<uint16_t>(1 - 0xF041)}}, 3, 0);
  struct Case {
    const char* name;
    const std::vector<uint8_t>& cmap;
    int flags;
    const char* encoding;
    uint32_t glyphA, glyphB, glyph80;  // the glyphs of codes 0x41, 0x42 and 0x80
  } cases[] = {
      {"WinAnsi through (3, 1)", unicode, 32, "/Encoding /WinAnsiEncoding", 1, 2, 3},
      {"symbolic through (3, 0) at 0xF000 + code", symbol, 4, "", 1, 2, 0},
      // The descriptor says non-symbolic, the only subtable is a symbol one.
      {"non-symbolic with only (3, 0)", symbol, 32, "/Encoding /WinAnsiEncoding", 1, 2, 0},
      {"Differences through post names", unicode, 32,
       "/Encoding << /BaseEncoding /WinAnsiEncoding /Differences [65 /B /Cee 128 /A] >>", 2, 3, 1},
      // "uni0042" is no "post" name: its Unicode value finds glyph 2.
      {"Differences by uniXXXX", unicode, 32, "/Encoding << /Differences [65 /uni0042 /uni0043] >>", 2, 3, 3},
  };
  for (const Case& c : cases) {
    FontDocument doc({std::string("<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Squares ") + c.encoding +
                          " /FontDescriptor 2 0 R /FirstChar 65 /LastChar 66 /Widths [500 600] >>",
                      "<< /Flags " + std::to_string(c.flags) + " /FontFile2 3 0 R >>",
                      StreamBody("", SquaresTrueType(c.cmap))});
    runtime::CountedRef<runtime::FontBase> ref;
    ASSERT_EQ(RuntimeCodeOf(&doc.context, [&] { ref = doc.Load(); }), -1) << c.name;
    SimpleFont& font = doc.Simple(ref);
    ASSERT_EQ(font.DrawnBy(), SimpleFont::Source::kEmbedded) << c.name;
    ASSERT_NE(dynamic_cast<TrueTypeFont*>(font.ProgramOrNull()), nullptr) << c.name;
    EXPECT_EQ(font.programRejected, 0) << c.name;
    EXPECT_EQ(font.Table()->glyphs[0x41], c.glyphA) << c.name;
    EXPECT_EQ(font.Table()->glyphs[0x42], c.glyphB) << c.name;
    EXPECT_EQ(font.Table()->glyphs[0x80], c.glyph80) << c.name;
    EXPECT_EQ(font.Table()->widths[0x42], ThousandthsToFixed(600)) << c.name;
  }
}

// Two (1, 0) format 6 subtables, each mapping codes 170-180 to `first`
// and `second` glyphs: code 175 to glyph 1 in the first, 2 in the second.
std::vector<uint8_t> TwoMacintoshTables() {
  std::vector<uint8_t> cmap;
  fonttest::SfntWriter::U16(cmap, 0);
  fonttest::SfntWriter::U16(cmap, 2);
  const uint32_t length = 10 + 2 * 11;
  for (uint32_t i = 0; i < 2; ++i) {
    fonttest::SfntWriter::U16(cmap, 1);
    fonttest::SfntWriter::U16(cmap, 0);
    fonttest::SfntWriter::U32(cmap, 20 + i * length);
  }
  for (uint32_t glyph : {1u, 2u}) {
    for (uint32_t v : {6u, length, 0u, 170u, 11u}) fonttest::SfntWriter::U16(cmap, v);
    for (uint32_t code = 170; code <= 180; ++code) fonttest::SfntWriter::U16(cmap, code == 175 ? glyph : 3);
  }
  return cmap;
}

TEST(SimpleFontTest, TrueTypeMacintoshTablesTakeWinAnsiCodesByCharacter) {
  // WinAnsi 216 is Oslash, MacRoman 175; WinAnsi 175 (macron) is
  // MacRoman 248, outside the table. The first Macintosh table counts.
  FontDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /Squares /Encoding /WinAnsiEncoding"
                    " /FontDescriptor 2 0 R /FirstChar 65 /LastChar 65 /Widths [500] >>",
                    "<< /Flags 32 /FontFile2 3 0 R >>", StreamBody("", SquaresTrueType(TwoMacintoshTables()))});
  auto ref = doc.Load();
  SimpleFont& font = doc.Simple(ref);
  ASSERT_EQ(font.DrawnBy(), SimpleFont::Source::kEmbedded);
  EXPECT_EQ(font.Table()->glyphs[216], 1u);
  EXPECT_EQ(font.Table()->glyphs[175], 0u);
  // Without an encoding name the codes index the table directly.
  FontDocument plain({"<< /Type /Font /Subtype /TrueType /BaseFont /Squares"
                      " /FontDescriptor 2 0 R /FirstChar 65 /LastChar 65 /Widths [500] >>",
                      "<< /Flags 32 /FontFile2 3 0 R >>", StreamBody("", SquaresTrueType(TwoMacintoshTables()))});
  auto direct = plain.Load();
  EXPECT_EQ(plain.Simple(direct).Table()->glyphs[175], 1u);
  EXPECT_EQ(plain.Simple(direct).Table()->glyphs[216], 0u);
}

TEST(SimpleFontTest, TrueTypeProgramsWithAMalformedPostTableHaveNoGlyphNames) {
  // "post" claims 9 glyphs where the font has 4: no names, and the font
  // still loads; its "uniXXXX" Differences still find their glyphs.
  fonttest::TestFontSpec spec;
  spec.glyphs.push_back({});
  for (int16_t size : {100, 200, 300}) spec.glyphs.push_back(fonttest::SimpleGlyph({{0, 0}, {size, 0}, {size, size}}));
  spec.cmap = fonttest::Format4Cmap({{0x41, 0x43, static_cast<uint16_t>(1 - 0x41)}});
  spec.post = fonttest::Version2Post({{0, ""}, {36, ""}, {37, ""}, {0, "Cee"}});
  spec.post[33] = 9;
  const std::vector<uint8_t> bytes = fonttest::BuildTestFont(spec);
  FontDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /Squares /Encoding << /Differences [65 /Cee"
                    " /uni0043] >> /FontDescriptor 2 0 R /FirstChar 65 /LastChar 65 /Widths [500] >>",
                    "<< /Flags 32 /FontFile2 3 0 R >>", StreamBody("", std::string(bytes.begin(), bytes.end()))});
  runtime::CountedRef<runtime::FontBase> ref;
  ASSERT_EQ(RuntimeCodeOf(&doc.context, [&] { ref = doc.Load(); }), -1);
  SimpleFont& font = doc.Simple(ref);
  EXPECT_EQ(font.ProgramOrNull()->GlyphNames(), nullptr);
  EXPECT_EQ(font.Table()->glyphs[0x41], 1u);  // "Cee" unknown: the code table's glyph
  EXPECT_EQ(font.Table()->glyphs[0x42], 3u);  // uni0043
}

TEST(SimpleFontTest, TrueTypeProgramsWithoutAUsableCmapAreRejected) {
  // No "cmap" at all, beside a good FontFile3: the FontFile3 draws.
  {
    FontDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /Sans /FontDescriptor 2 0 R"
                      " /FirstChar 97 /LastChar 97 /Widths [500] >>",
                      "<< /Flags 32 /FontFile2 3 0 R /FontFile3 4 0 R >>", StreamBody("", SquaresTrueType({})),
                      StreamBody("/Subtype /OpenType", UrwSansOtf())});
    auto ref = doc.Load();
    SimpleFont& font = doc.Simple(ref);
    EXPECT_EQ(font.DrawnBy(), SimpleFont::Source::kEmbedded);
    EXPECT_NE(dynamic_cast<CffFont*>(font.ProgramOrNull()), nullptr);
    EXPECT_EQ(font.programRejected, 1);
  }
  // Only a (0, 3) subtable, which a simple font cannot use: the
  // substitute draws.
  {
    const std::vector<uint8_t> unicodePlatform =
        fonttest::Format4Cmap({{0x41, 0x43, static_cast<uint16_t>(1 - 0x41)}}, 0, 3);
    FontDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /Squares /FontDescriptor 2 0 R"
                      " /FirstChar 65 /LastChar 65 /Widths [500] >>",
                      "<< /Flags 32 /FontFile2 3 0 R >>", StreamBody("", SquaresTrueType(unicodePlatform))});
    auto ref = doc.Load();
    EXPECT_EQ(doc.Simple(ref).DrawnBy(), SimpleFont::Source::kMultipleMaster);
    EXPECT_EQ(ref->programRejected, 1);
  }
}

TEST(SimpleFontTest, StandardAndUnknownFontsWithoutDescriptor) {
  // A standard font without descriptor keeps its built-in widths whatever
  // its "Widths" say.
  FontDocument doc({"<< /Type /Font /Subtype /Type1 /BaseFont /Symbol /FirstChar 97 /LastChar 97"
                    " /Widths [1] >>",
                    "<< /Type /Font /Subtype /Type1 /BaseFont /Unknown /FirstChar 97 /LastChar 97"
                    " /Widths [1] >>"});
  auto symbol = doc.Load(1);
  SimpleFont& font = doc.Simple(symbol);
  ASSERT_TRUE(font.isUsable);
  EXPECT_EQ(font.DrawnBy(), SimpleFont::Source::kBuiltin);
  EXPECT_STREQ(font.ProgramOrNull()->GlyphNames()[font.Table()->glyphs['a']], "alpha");
  EXPECT_EQ(font.Table()->widths['a'], ThousandthsToFixed(631));
  EXPECT_EQ(font.isSymbolic, 0);
  EXPECT_EQ(font.ascent, 0xD999);
  FontDocument helvetica({"<< /Type /Font /Subtype /Type1 /BaseFont /Arial /FirstChar 97 /LastChar 97"
                          " /Widths [1] >>"});
  auto arial = helvetica.Load();
  SimpleFont& substitute = helvetica.Simple(arial);
  ASSERT_TRUE(substitute.isUsable);
  EXPECT_EQ(substitute.StandardIndex(), 4);
  EXPECT_EQ(substitute.DrawnBy(), SimpleFont::Source::kBuiltin);
  EXPECT_EQ(substitute.Table()->widths['a'], 36438);  // 556, not the 1 of "Widths"
  EXPECT_EQ(substitute.Table()->glyphs['a'], 66u);    // the standard glyph "a"
  // Neither descriptor nor program: created, but unusable.
  auto unknown = doc.Load(2);
  EXPECT_EQ(unknown->isUsable, 0);
}

TEST(SimpleFontTest, StandardFontWithProgramButNoWidthsTakesWidthsByGlyphName) {
  // The embedded program numbers its glyphs its own way: indexing the
  // standard table by them would give other glyphs' widths.
  FontDocument doc({"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 2 0 R"
                    " /Encoding /WinAnsiEncoding >>",
                    "<< /Flags 32 /MissingWidth 321 /FontFile3 3 0 R >>", StreamBody("", UrwSansOtf())});
  auto ref = doc.Load();
  SimpleFont& font = doc.Simple(ref);
  ASSERT_EQ(font.DrawnBy(), SimpleFont::Source::kEmbedded);
  EXPECT_EQ(font.Table()->widths['a'], 36438);  // 556
  EXPECT_EQ(font.Table()->widths['W'], ThousandthsToFixed(944));
  EXPECT_EQ(font.Table()->widths[128], ThousandthsToFixed(556));  // Euro
  EXPECT_EQ(font.Table()->widths[1], ThousandthsToFixed(321));     // unnamed: the missing width
}

class EncodingTablesTest : public ::testing::Test {
 protected:
  // Runs ApplyDifferences or ReadEncoding for an "Encoding" value against
  // a program with the given names; returns the runtime code (-1 = none).
  long Read(const std::string& encoding, GlyphKeyKind kind, bool symbolic = false) {
    FontDocument doc({"<< /Encoding " + encoding + " >>"});
    NamedProgram program(&doc.context, {".notdef", "A", "B", "C", "space"}, kind);
    return RuntimeCodeOf(&doc.context, [&] {
      SimpleFontEncoding::ReadEncoding(table, doc.Object(1), program, symbolic);
    });
  }
  CodeGlyphTable table;
};

TEST_F(EncodingTablesTest, DifferencesCodesAndTheirLimits) {
  struct Case {
    const char* encoding;
    GlyphKeyKind kind;
    long code;
    uint32_t expected[4];  // glyphs of codes 0, 1, 2 and 255
  } cases[] = {
      // Names before the first integer go to codes 0, 1, 2 in a name-keyed font.
      {"<< /Differences [/A /B /C] >>", GlyphKeyKind::kNames, -1, {1, 2, 3, 0}},
      // ... and are malformed for a TrueType font.
      {"<< /Differences [/A /B /C] >>", GlyphKeyKind::kCodes, runtime::kMalformed, {}},
      // Negative codes and codes beyond 255 store nothing.
      {"<< /Differences [-5 /A /B /C /A /B /C /space 254 /A /B /C] >>", GlyphKeyKind::kNames, -1,
       {3, 4, 0, 2}},
      {"<< /Differences [0 /C 255 /B /A /A] >>", GlyphKeyKind::kCodes, -1, {3, 0, 0, 2}},
      {"<< /Differences [0 (A)] >>", GlyphKeyKind::kNames, runtime::kMalformed, {}},
      {"<< /BaseEncoding /StandardEncoding >>", GlyphKeyKind::kNames, runtime::kMalformed, {}},
      {"<< /BaseEncoding /WinAnsiEncoding /Differences [1 /B] >>", GlyphKeyKind::kNames, -1,
       {0, 2, 0, 0}},
      // TrueType: the encoding name selects the program's code table.
      {"/MacExpertEncoding", GlyphKeyKind::kCodes, -1, {2, 2, 2, 2}},
      {"/PDFDocEncoding", GlyphKeyKind::kCodes, -1, {0, 0, 0, 0}},
      {"[/A]", GlyphKeyKind::kNames, runtime::kMalformed, {}},
  };
  for (const Case& c : cases) {
    table = CodeGlyphTable();
    EXPECT_EQ(Read(c.encoding, c.kind), c.code) << c.encoding;
    if (c.code != -1) continue;
    EXPECT_EQ(table.glyphs[0], c.expected[0]) << c.encoding;
    EXPECT_EQ(table.glyphs[1], c.expected[1]) << c.encoding;
    EXPECT_EQ(table.glyphs[2], c.expected[2]) << c.encoding;
    EXPECT_EQ(table.glyphs[255], c.expected[3]) << c.encoding;
  }
  // WinAnsi 0x20 is "space", 0x41 "A"; the rest fall back to .notdef.
  table = CodeGlyphTable();
  EXPECT_EQ(Read("/WinAnsiEncoding", GlyphKeyKind::kNames), -1);
  EXPECT_EQ(table.glyphs[0x20], 4u);
  EXPECT_EQ(table.glyphs[0x41], 1u);
  EXPECT_EQ(table.glyphs[0x61], 0u);
}

TEST(SimpleFontWidthsTest, FirstCharLastCharAndWidths) {
  struct Case {
    const char* entries;
    long code;
    int32_t width0, width1, width2;  // thousandths; -1: the missing width
  } cases[] = {
      {"/FirstChar 0 /LastChar 2 /Widths [556 1000 250]", -1, 556, 1000, 250},
      {"/FirstChar 1 /LastChar 5 /Widths [600]", -1, -1, 600, -1},
      {"/FirstChar 0 /LastChar 2 /Widths []", runtime::kMalformed, 0, 0, 0},
      {"/FirstChar -1 /LastChar 2 /Widths [1 2 3 4]", runtime::kMalformed, 0, 0, 0},
      {"/FirstChar 0 /LastChar 2147483647 /Widths [1 2 3]", -1, 1, 2, 3},
      {"/FirstChar 250 /LastChar 260 /Widths [1 2 3 4 5 6 7 8 9 10 11]", runtime::kMalformed, 0, 0, 0},
      {"/FirstChar 0 /LastChar 1 /Widths [556.9 (x)]", runtime::kMalformed, 0, 0, 0},
      {"/FirstChar 0 /LastChar 0 /Widths [556.9]", -1, 556, -1, -1},
      {"/FirstChar 0 /Widths [1]", runtime::kMalformed, 0, 0, 0},
      {"/FirstChar 0 /LastChar 0 /Widths 5", runtime::kMalformed, 0, 0, 0},
  };
  for (const Case& c : cases) {
    FontDocument doc({std::string("<< ") + c.entries + " >>"});
    CodeGlyphTable table;
    const runtime::Fixed missing = ThousandthsToFixed(77);
    EXPECT_EQ(RuntimeCodeOf(&doc.context,
                            [&] { SimpleFontEncoding::ReadWidths(table, doc.Object(1), missing, 65); }),
              c.code)
        << c.entries;
    if (c.code != -1) continue;
    const int32_t expected[3] = {c.width0, c.width1, c.width2};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(table.widths[i], expected[i] < 0 ? missing : ThousandthsToFixed(expected[i]))
          << c.entries << " code " << i;
    }
  }
}

TEST(SimpleFontTest, SymbolicFontsWithoutProgramNeedANamedEncodingToBeSubstituted) {
  struct Case {
    const char* encoding;
    bool symbolic;
    bool substitutable;
  } cases[] = {
      {"", true, false},
      {"/Encoding /WinAnsiEncoding", true, true},
      {"/Encoding /Custom", true, false},
      {"/Encoding << /BaseEncoding /MacRomanEncoding >>", true, true},
      {"/Encoding << /Differences [1 /A] >>", true, false},
      {"", false, true},
  };
  for (const Case& c : cases) {
    FontDocument doc({std::string("<< ") + c.encoding + " >>"});
    EXPECT_EQ(SimpleFontEncoding::CanSubstitute(doc.Object(1), c.symbolic), c.substitutable)
        << c.encoding;
  }
  // Symbolic, not embedded, not standard, no "Encoding": unusable.
  FontDocument doc({"<< /Type /Font /Subtype /TrueType /BaseFont /Wingdings /FontDescriptor"
                    " << /Flags 4 >> /FirstChar 32 /LastChar 32 /Widths [500] >>"});
  auto ref = doc.Load();
  EXPECT_EQ(ref->isUsable, 0);
  EXPECT_EQ(ref->isSymbolic, 1);
}

TEST(SimpleFontTest, HostileDictionariesFailCleanly) {
  std::string many = "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol /Encoding << /Differences [0";
  for (int i = 0; i < 1000000; ++i) many += " /A";
  many += "] >> >>";
  FontDocument doc({many});
  auto ref = doc.Load();
  SimpleFont& font = doc.Simple(ref);
  // Every code got the last name written to it ("A" is no Symbol glyph).
  EXPECT_EQ(font.Table()->glyphs[255], font.Table()->glyphs[0]);

  const char* hostile[] = {
      "<< /Type /Font /Subtype /Type1 /BaseFont /X /FontDescriptor << /Flags 32 >>"
      " /FirstChar 0 /LastChar 2147483647 /Widths [] >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol /Encoding 7 >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol /Encoding << /Differences 7 >> >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /X /FontDescriptor << /Flags (32) >> >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /X /FontDescriptor 7 >>",
  };
  for (const char* dict : hostile) {
    FontDocument bad({dict});
    const long code = bad.CodeOf();
    EXPECT_TRUE(code == runtime::kMalformed || code == -1) << dict << " " << code;
  }
}

}  // namespace
}  // namespace fonts
