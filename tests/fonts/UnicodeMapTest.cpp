// The Unicode maps of fonts: ToUnicode streams, named encodings and
// Differences, the program's own encoding, composite fonts through their
// collection's "-UCS2" map, and the fallback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fonts/FontUnicode.h"
#include "fonts/GlyphList.h"
#include "fonts/SimpleCodeMap.h"
#include "pdf/Document.h"
#include "tests/fonts/FontDocument.h"
#include "tests/fonts/FontTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace fonts {
namespace {

using testsupport::StreamBody;

// A document whose object 1 is the font dictionary under test.
class UnicodeFontDocument {
 public:
  explicit UnicodeFontDocument(const std::vector<std::string>& objects)
      : bytes_(testsupport::SmallPdfFile(objects)), document_(&context, bytes_), maps_(&context) {}
  UnicodeMapRef Map() { return maps_.Get(*document_, document_->GetObject(1, 0)); }
  long CodeOf() {
    return testsupport::RuntimeCodeOf(&context, [&] { UnicodeMapRef map = Map(); });
  }
  UnicodeMapCache& Maps() { return maps_; }
  runtime::LibraryContext context;

 private:
  std::string bytes_;
  pdftest::OpenDocument document_;
  UnicodeMapCache maps_;
};

// The code points of `bytes` through `map`, as "U+XXXX" items ("-" for
// none, "[...]" for a run of units).
std::string Text(UnicodeMap& map, const std::string& bytes) {
  std::string out;
  const auto* cursor = reinterpret_cast<const uint8_t*>(bytes.data());
  const uint8_t* end = cursor + bytes.size();
  while (cursor < end) {
    runtime::DecodedChar decoded;
    cursor = map.NextChar(&decoded, cursor, end);
    if (!out.empty()) out += ' ';
    char item[16];
    if (decoded.HasUnits()) {
      out += '[';
      for (const char16_t* u = decoded.unitsBegin; u != decoded.unitsEnd; ++u) {
        std::snprintf(item, sizeof(item), u == decoded.unitsBegin ? "%04X" : " %04X", unsigned{*u});
        out += item;
      }
      out += ']';
    } else if (decoded.codePoint == 0) {
      out += '-';
    } else {
      std::snprintf(item, sizeof(item), "U+%04X", decoded.codePoint);
      out += item;
    }
  }
  return out;
}

std::string SansType1() {
  const std::vector<uint8_t> bytes =
      fonttest::ReadBytes(std::string(fonttest::kUrwType1Dir) + "/NimbusSans-Regular.t1");
  return std::string(bytes.begin(), bytes.end());
}

TEST(UnicodeMapTest, SimpleFontEncodings) {
  const std::string type1 = SansType1();
  ASSERT_FALSE(type1.empty());
  const std::string embedded =
      " /FontDescriptor 2 0 R /FirstChar 32 /LastChar 32 /Widths [278] >>";
  const std::string descriptor = "<< /Flags 32 /FontFile 3 0 R >>";
  const std::string program = StreamBody("/Length1 0 /Length2 0 /Length3 0", type1);
  const struct Case {
    const char* name;
    std::string font;
    std::string bytes;
    const char* expected;
    bool real;
  } cases[] = {
      {"named encoding", "<< /Subtype /Type1 /BaseFont /Helvetica /Encoding /MacRomanEncoding >>",
       "A\x8A\xDB", "U+0041 U+00E4 U+00A4", true},
      {"WinAnsi: unused codes are bullets, 0xA0 a space",
       "<< /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
       "\x81\xA0\xAD\x80", "U+2022 U+0020 U+002D U+20AC", true},
      {"MacExpert values lie in the private use area",
       "<< /Subtype /Type1 /BaseFont /X /Encoding /MacExpertEncoding >>", "\x81", "U+F6E9", true},
      {"Differences over no base are WinAnsi",
       "<< /Subtype /Type1 /BaseFont /X /Encoding << /Differences [65 /B /C] >> >>",
       "ABC'\x80", "U+0042 U+0043 U+0043 U+0027 U+20AC", true},
      {"unknown names store nothing and move on; codes past 255 and below 0 take none",
       "<< /Subtype /Type1 /BaseFont /X /Encoding << /BaseEncoding /MacRomanEncoding"
       " /Differences [65 /nosuchglyph /uni263A 300 /a -1 /b 67 /u1F600 /Adieresis] >> >>",
       "ABCDa", "- U+263A - U+00C4 U+0061", true},
      {"PDFDocEncoding takes the program's own encoding",
       "<< /Subtype /Type1 /BaseFont /ABCDEF+Sans /Encoding /PDFDocEncoding" + embedded,
       "A'`", "U+0041 U+2019 U+2018", true},
      {"no Encoding: the program's own encoding",
       "<< /Subtype /Type1 /BaseFont /ABCDEF+Sans" + embedded, "a\xE1", "U+0061 U+00C6", true},
      {"a standard font without a program: its standard encoding",
       "<< /Subtype /Type1 /BaseFont /Helvetica >>", "'", "U+2019", true},
      {"a Type3 font without Encoding: the fallback",
       "<< /Subtype /Type3 /FontMatrix [1 0 0 1 0 0] /CharProcs << >> >>", "A", "U+0041", false},
      {"a Type3 font's procedure names keep the base value; known names and .notdef still apply",
       "<< /Subtype /Type3 /FontMatrix [1 0 0 1 0 0] /CharProcs << >>"
       " /Encoding << /Differences [97 /square /a98 /C /.notdef 16 /g16] >> >>",
       "abcd\x10", "U+0061 U+0062 U+0043 - -", true},
      {"the same names in a Type1 font store nothing",
       "<< /Subtype /Type1 /BaseFont /X /Encoding << /Differences [97 /square /a98] >> >>", "abc",
       "- - U+0063", true},
  };
  for (const Case& c : cases) {
    UnicodeFontDocument doc({c.font, descriptor, program});
    UnicodeMapRef map;
    ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] { map = doc.Map(); }), -1) << c.name;
    EXPECT_EQ(Text(*map, c.bytes), c.expected) << c.name;
    EXPECT_EQ(map->IsReal(), c.real) << c.name;
    EXPECT_EQ(map->HasUnicode(nullptr, nullptr, runtime::kDefaultTestChar), c.real) << c.name;
  }
}

TEST(UnicodeMapTest, DifferencesOverNoBaseTakeCodesWinAnsiLeavesEmptyFromTheProgram) {
  // A program whose own encoding puts ligatures below 32, as TeX fonts do.
  std::string type1 = SansType1();
  const std::string standard = "/Encoding StandardEncoding def";
  const size_t at = type1.find(standard);
  ASSERT_NE(at, std::string::npos);
  type1.replace(at, standard.size(),
                "/Encoding 256 array 0 1 255 {1 index exch /.notdef put} for "
                "dup 12 /fi put dup 14 /ffi put dup 39 /quoteright put readonly def");
  UnicodeFontDocument doc({"<< /Subtype /Type1 /BaseFont /ABCDEF+Sans /Encoding << /Differences [65 /B] >>"
                           " /FontDescriptor 2 0 R /FirstChar 32 /LastChar 32 /Widths [278] >>",
                           "<< /Flags 32 /FontFile 3 0 R >>",
                           StreamBody("/Length1 0 /Length2 0 /Length3 0", type1)});
  UnicodeMapRef map;
  ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] { map = doc.Map(); }), -1);
  // The ligatures come from the program; codes WinAnsi maps keep its value
  // (the apostrophe), the Differences still apply, and a code neither
  // names stays empty.
  EXPECT_EQ(Text(*map, "\x0C\x0E'A\x01"), "U+FB01 U+FB03 U+0027 U+0042 -");
}

TEST(UnicodeMapTest, ToUnicodeStreams) {
  const std::string cmap =
      "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
      "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
      "3 beginbfchar <0001> <0041> <0002> <D83DDE00> <0003> <00660069> endbfchar\n"
      "1 beginbfrange <0010> <0012> <0061> endbfrange\n"
      "endcmap CMapName currentdict /CMap defineresource pop end end";
  {
    UnicodeFontDocument doc({"<< /Subtype /Type0 /BaseFont /X /Encoding /Identity-H"
                             " /DescendantFonts [] /ToUnicode 2 0 R >>",
                             StreamBody("", cmap)});
    UnicodeMapRef map = doc.Map();
    EXPECT_EQ(Text(*map, std::string("\x00\x01\x00\x02\x00\x03\x00\x11\x00\x05", 10)),
              "U+0041 U+1F600 [0066 0069] U+0062 -");
    EXPECT_TRUE(map->HasUnicode(nullptr, nullptr, runtime::kDefaultTestChar));
    // A string has Unicode when some of its codes map: a code the map
    // leaves out (a space glyph, say) does not take the text of the rest.
    const uint8_t mapped[] = {0, 1, 0, 0x12};
    const uint8_t partly[] = {0, 0x13, 0, 1};
    const uint8_t unmapped[] = {0, 0x13, 0, 0x14};
    EXPECT_TRUE(map->HasUnicode(mapped, mapped + 4, runtime::kDefaultTestChar));
    EXPECT_TRUE(map->HasUnicode(partly, partly + 4, runtime::kDefaultTestChar));
    EXPECT_FALSE(map->HasUnicode(unmapped, unmapped + 4, runtime::kDefaultTestChar));
  }
  // A simple font reads one byte per code, also through a map written with
  // two-byte codes.
  {
    UnicodeFontDocument doc({"<< /Subtype /Type1 /BaseFont /Helvetica /ToUnicode 2 0 R >>",
                             StreamBody("", cmap)});
    UnicodeMapRef map = doc.Map();
    EXPECT_EQ(Text(*map, std::string("\x01\x11\x05", 3)), "U+0041 U+0062 -");
  }
  // Codes the ToUnicode map leaves out take the encoding's Unicode.
  {
    UnicodeFontDocument doc({"<< /Subtype /TrueType /BaseFont /X /Encoding /WinAnsiEncoding"
                             " /ToUnicode 2 0 R >>",
                             StreamBody("", "1 begincodespacerange <00> <FF> endcodespacerange "
                                            "1 beginbfchar <41> <0062> endbfchar")});
    EXPECT_EQ(Text(*doc.Map(), "AB\x80"), "U+0062 U+0042 U+20AC");
  }
  {
    UnicodeFontDocument doc(
        {"<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [3 0 R] /ToUnicode 2 0 R >>",
         StreamBody("", "1 begincodespacerange <0000> <FFFF> endcodespacerange "
                        "1 beginbfchar <0001> <0041> endbfchar"),
         "<< /CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) >> >>"});
    EXPECT_EQ(Text(*doc.Map(), std::string("\x00\x01\x02\x79", 4)), "U+0041 U+3000");
  }
  // A broken ToUnicode stream gives way to the encoding.
  {
    UnicodeFontDocument doc({"<< /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding"
                             " /ToUnicode 2 0 R >>",
                             StreamBody("", "1 beginbfchar <01> endbfchar")});
    UnicodeMapRef map = doc.Map();
    EXPECT_EQ(Text(*map, "A"), "U+0041");
  }
}

TEST(UnicodeMapTest, CompositeFontsThroughTheirCollection) {
  const std::string japan1 =
      "[2 0 R]", cidFont = "<< /Subtype /CIDFontType0 /BaseFont /X"
                          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Japan1) /Supplement 6 >> >>";
  const struct Case {
    const char* name;
    std::string font;
    std::string descendant;
    std::string bytes;
    const char* expected;
    bool real;
  } cases[] = {
      {"Identity-H: the code is the CID", "<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [2 0 R] >>",
       cidFont, std::string("\x02\x79\x00\x22\x07", 5), "U+3000 U+0041 U+FFFD", true},
      {"a built-in encoding of the collection",
       "<< /Subtype /Type0 /Encoding /90ms-RKSJ-H /DescendantFonts [2 0 R] >>", cidFont,
       "\x81\x40" "A", "U+3000 U+0041", true},
      {"an unknown registry: codes split, no Unicode",
       "<< /Subtype /Type0 /Encoding /Identity-H /DescendantFonts [2 0 R] >>",
       "<< /CIDSystemInfo << /Registry (Other) /Ordering (Japan1) >> >>",
       std::string("\x02\x79\x00\x22", 4), "- -", false},
      {"an embedded encoding CMap",
       "<< /Subtype /Type0 /Encoding 3 0 R /DescendantFonts [2 0 R] >>", cidFont, "\x01\x02",
       "U+3000 U+0041", true},
  };
  const std::string embedded = StreamBody(
      "", "1 begincodespacerange <00> <FF> endcodespacerange "
          "2 begincidchar <01> 633 <02> 34 endcidchar");
  for (const Case& c : cases) {
    UnicodeFontDocument doc({c.font, c.descendant, embedded});
    UnicodeMapRef map;
    ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] { map = doc.Map(); }), -1) << c.name;
    EXPECT_EQ(Text(*map, c.bytes), c.expected) << c.name;
    EXPECT_EQ(map->IsReal(), c.real) << c.name;
  }
}

TEST(UnicodeMapTest, MalformedDictionariesAndTheCache) {
  const struct {
    const char* font;
    long code;
  } cases[] = {
      {"<< /BaseFont /Helvetica >>", 2},
      {"<< /Subtype /Type0 /DescendantFonts [] >>", 2},
      {"<< /Subtype /Type0 /Encoding 5 /DescendantFonts [] >>", 2},
      {"<< /Subtype /Type1 /Encoding << /Differences [32 (x)] >> >>", 2},
      {"<< /Subtype /Type0 /Encoding /NoSuchCMap /DescendantFonts [] >>", -1},
  };
  for (const auto& c : cases) {
    UnicodeFontDocument doc({c.font});
    EXPECT_EQ(doc.CodeOf(), c.code) << c.font;
  }
  UnicodeFontDocument doc({"<< /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"});
  UnicodeMapRef first = doc.Map();
  UnicodeMapRef second = doc.Map();
  EXPECT_EQ(first.Get(), second.Get());
  EXPECT_EQ(doc.Maps().Count(), 1u);
  EXPECT_EQ(first->ByteSize(), SimpleCodeMap::kByteSize);
}

TEST(UnicodeMapTest, GlyphNames) {
  const struct {
    const char* name;
    uint16_t value;
  } cases[] = {{"A", 0x41},        {"AE", 0xC6},          {"zeta", 0x3B6},
               {"zerosuperior", 0x2070}, {"Asmall", 0xF761}, {"uni20AC", 0x20AC},
               {"u1F600", 0},      {"uniD800", 0},        {"uni20A", 0},
               {"nosuch", 0},      {"", 0},               {"u00e9", 0xE9},
               {"one.os", 0x31},   {"a.sc.alt", 0x61},    {".notdef", 0}};
  for (const auto& c : cases) EXPECT_EQ(GlyphNameUnicode(c.name), c.value) << c.name;
}


// A composite font whose collection gives no Unicode (an Identity
// ordering) reads each CID's glyph back through its TrueType program's
// Unicode "cmap": the lowest code point of the glyph, private-use values
// left out.
TEST(UnicodeMapTest, IdentityCompositeFontsReadTheirProgramsCmapBackwards) {
  // A and a show glyph 1, B glyph 2; glyph 3 has only a private-use value.
  const std::vector<uint8_t> cmap = fonttest::Format4Cmap(
      {{0x41, 0x42, 0xFFC0}, {0x61, 0x61, 0xFFA0}, {0xE003, 0xE003, static_cast<uint16_t>(3 - 0xE003)}});
  const std::string cidsOneToFour("\x00\x01\x00\x02\x00\x03\x00\x04", 8);
  const std::string toUnicode =
      "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
      "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
      "1 beginbfchar <0003> <0033> endbfchar\n"
      "endcmap CMapName currentdict /CMap defineresource pop end end";
  const struct Case {
    const char* name;
    std::string fontExtra;
    std::string descendantExtra;
    std::string program;
    const char* expected;
    bool real;
  } cases[] = {
      {"CIDs are glyphs", "", "", SquaresTrueType(cmap), "U+0041 U+0042 - -", true},
      {"through the CIDToGIDMap", "", "/CIDToGIDMap 5 0 R", SquaresTrueType(cmap), "U+0042 U+0041 - -", true},
      {"codes a ToUnicode stream leaves out", "/ToUnicode 6 0 R", "", SquaresTrueType(cmap),
       "U+0041 U+0042 U+0033 -", true},
      {"a program without a Unicode map", "", "", SquaresTrueType(fonttest::Format4Cmap({{0x41, 0x42, 0xFFC0}}, 1, 0)),
       "- - - -", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnicodeFontDocument doc({"<< /Type /Font /Subtype /Type0 /BaseFont /Squares /Encoding /Identity-H"
                             " /DescendantFonts [2 0 R] " + c.fontExtra + " >>",
                             "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Squares /CIDSystemInfo"
                             " << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor 3 0 R " +
                                 c.descendantExtra + " >>",
                             "<< /Type /FontDescriptor /Flags 4 /FontFile2 4 0 R >>", StreamBody("", c.program),
                             StreamBody("", std::string("\x00\x00\x00\x02\x00\x01", 6)),
                             StreamBody("", toUnicode)});
    UnicodeMapRef map;
    ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] { map = doc.Map(); }), -1);
    EXPECT_EQ(Text(*map, cidsOneToFour), c.expected);
    EXPECT_EQ(map->IsReal(), c.real);
  }
}

}  // namespace
}  // namespace fonts
