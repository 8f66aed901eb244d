// The fixed font vocabulary: standard names and aliases, collections,
// named encodings and the generated tables behind them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fonts/CharacterCollection.h"
#include "fonts/NamedEncodings.h"
#include "fonts/StandardFonts.h"
#include "resources/StandardFontTables.h"
#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"

namespace fonts {
namespace {

TEST(FontNameTablesTest, StandardAliasesMatchExactly) {
  struct Case {
    const char* name;
    int index;
  } cases[] = {
      {"Courier", 0}, {"CourierNew,BoldItalic", 3}, {"Helvetica", 4}, {"Arial", 4},
      {"Arial,BoldItalic", 7}, {"Arial-BoldItalic", kNotStandard}, {"TimesNewRomanPSMT", 8},
      {"Times-BoldItalic", 11}, {"Symbol", 12}, {"ZapfDingbats", 13},
      {"ABCDEF+Helvetica", kNotStandard}, {"helvetica", kNotStandard}, {"", kNotStandard},
      {nullptr, kNotStandard},
  };
  for (const Case& c : cases) EXPECT_EQ(StandardFontAlias(c.name), c.index) << (c.name ? c.name : "null");
}

TEST(FontNameTablesTest, CollectionsNeedAKnownRegistryAndAWholeOrdering) {
  struct Case {
    const char* registry;
    const char* ordering;
    Collection collection;
    uint32_t space;
  } cases[] = {
      {"Vantrel", "Japan1", Collection::kJapan1, 633}, {"Adobe", "GB1", Collection::kGB1, 96},
      {"Adobe", "CNS1", Collection::kCNS1, 99},        {"Adobe", "Korea1", Collection::kKorea1, 101},
      {"Vantrel", "Japan2", Collection::kNone, 0},     {"Adobe", "Japan", Collection::kNone, 0},
      {"Other", "Japan1", Collection::kNone, 0},       {"Adobe", "Identity", Collection::kNone, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CharacterCollection::Ordering(c.registry, c.ordering), c.collection) << c.ordering;
    EXPECT_EQ(CharacterCollection::WordSpaceCid(c.registry, c.ordering), c.space) << c.ordering;
  }
  // A string holding a zero byte is compared over its whole length.
  EXPECT_EQ(CharacterCollection::Ordering("Adobe", std::string("GB1\0", 4)), Collection::kNone);
  EXPECT_EQ(SubstituteFaceIndex(Collection::kJapan1, true), 0);
  EXPECT_EQ(SubstituteFaceIndex(Collection::kKorea1, false), 7);
  EXPECT_EQ(SubstituteFaceIndex(Collection::kNone, true), -1);
}

TEST(FontNameTablesTest, NamedEncodingsAndTheirTables) {
  runtime::LibraryContext context;
  EXPECT_TRUE(EncodingKindByName("PDFDocEncoding"));
  EXPECT_FALSE(EncodingKindByName("StandardEncoding"));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [] { StandardEncodingTable("StandardEncoding"); }),
            runtime::kMalformed);
  EXPECT_EQ(StandardEncodingTable("PDFDocEncoding"), StandardEncodingTable("WinAnsiEncoding"));
  EXPECT_EQ(TrueTypeEncodingKind("PDFDocEncoding"), EncodingKind::kNone);
  EXPECT_EQ(TrueTypeEncodingKind("MacExpertEncoding"), EncodingKind::kMacExpert);
  NameTable win = StandardEncodingTable("WinAnsiEncoding");
  for (int code : {127, 129, 141, 143, 144, 157}) EXPECT_STREQ(win[code], "bullet") << code;
  EXPECT_STREQ(win[160], "space");
  EXPECT_STREQ(win[173], "hyphen");
  EXPECT_STREQ(win[128], "Euro");
  EXPECT_EQ(win[31], nullptr);
  NameTable mac = StandardEncodingTable("MacRomanEncoding");
  EXPECT_STREQ(mac[0xDB], "currency");
  EXPECT_STREQ(mac[0x27], "quotesingle");
  EXPECT_STREQ(StandardEncodingTable("MacExpertEncoding")[0x61], "Asmall");
  EXPECT_STREQ(StandardEncodingNames()[0x27], "quoteright");
  EXPECT_STREQ(resources::kStandardGlyphNames[0], ".notdef");
  EXPECT_STREQ(resources::kStandardGlyphNames[228], "zcaron");
  EXPECT_STREQ(resources::kStandardGlyphNames[229], "Euro");
}

TEST(FontNameTablesTest, StandardWidthsByGlyphIndex) {
  uint32_t glyphs[256] = {};
  glyphs['a'] = 66;    // "a"
  glyphs['b'] = 229;   // "Euro"
  glyphs['c'] = 230;   // beyond the table
  runtime::Fixed widths[256];
  FillStandardWidths(glyphs, 4, widths);
  EXPECT_EQ(widths['a'], ThousandthsToFixed(556));
  EXPECT_EQ(widths['c'], 0);
  EXPECT_EQ(ThousandthsToFixed(556), 36438);
  FillStandardWidths(glyphs, 0, widths);
  EXPECT_EQ(widths['a'], ThousandthsToFixed(600));
  EXPECT_EQ(widths['b'], ThousandthsToFixed(600));
  EXPECT_EQ(GetStandardFontWidths(13), GetStandardFontWidths(4));
  EXPECT_EQ(GetStandardFontWidths(6), GetStandardFontWidths(4));
  EXPECT_EQ(StandardDescriptor(7).flags, 0x40060u);
  EXPECT_EQ(StandardDescriptor(10).italicAngle, -15);
}

}  // namespace
}  // namespace fonts
