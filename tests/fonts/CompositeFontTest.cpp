// Type 0 font dictionaries into composite fonts: descendants, encodings,
// CIDToGIDMap, widths and vertical metrics, and the fonts left unusable.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fonts/CffFont.h"
#include "fonts/CompositeFont.h"
#include "platform/Files.h"
#include "tests/fonts/FontTestSupport.h"
#include "fonts/TrueTypeFont.h"
#include "tests/fonts/FontDocument.h"

namespace fonts {
namespace {

using testsupport::StreamBody;

// Thousandths of text space in 16.16, rounded.
runtime::Fixed Em(int32_t thousandths) { return static_cast<runtime::Fixed>(std::lround(thousandths * 65.536)); }

// A Type 0 font (object 1) over a CIDFontType2 descendant (object 2) whose
// descriptor (object 3) embeds the four-glyph program (object 4).
std::vector<std::string> Type0Objects(const std::string& encoding, const std::string& descendantExtra,
                                      const std::string& registry = "Adobe",
                                      const std::string& program = SquaresTrueType({})) {
  return {"<< /Type /Font /Subtype /Type0 /BaseFont /Squares /Encoding " + encoding +
              " /DescendantFonts [2 0 R] >>",
          "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Squares /CIDSystemInfo << /Registry (" + registry +
              ") /Ordering (Identity) /Supplement 0 >> /FontDescriptor 3 0 R " + descendantExtra + " >>",
          "<< /Type /FontDescriptor /Flags 4 /FontFile2 4 0 R >>", StreamBody("", program)};
}

struct Shown {
  uint32_t code, length, glyph;
  runtime::Fixed advance;
};

std::vector<Shown> Show(runtime::FontBase& font, const std::string& bytes) {
  std::vector<Shown> out;
  const auto* at = reinterpret_cast<const uint8_t*>(bytes.data());
  const uint8_t* end = at + bytes.size();
  while (at < end) {
    runtime::GlyphInfo info;
    const uint8_t* next = font.NextGlyph(at, end, info);
    out.push_back({info.code, static_cast<uint32_t>(next - at), info.glyph, info.advance});
    at = next;
  }
  return out;
}

TEST(CompositeFontTest, IdentityEncodingsAndCidToGidMaps) {
  const std::string mapBytes("\x00\x00\x00\x03\x00\x02", 6);  // CID 1 -> 3, CID 2 -> 2
  struct Case {
    const char* name;
    std::string descendantExtra;
    std::string shown;
    std::vector<Shown> expected;
  } cases[] = {
      // No map: CID n is glyph n; an odd last byte is code 0.
      {"identity", "/W [1 [500 600] 10 20 700]", std::string("\x00\x01\x00\x02\x00\x0F\x01", 7),
       {{1, 2, 1, Em(500)},
        {2, 2, 2, Em(600)},
        {15, 2, 15, Em(700)},
        {0, 1, 0, Em(1000)}}},
      {"name map", "/CIDToGIDMap /Identity /DW 250", std::string("\x00\x03", 2), {{3, 2, 3, Em(250)}}},
      // A stream map; CIDs past its end show glyph 0.
      {"stream map", "/CIDToGIDMap 5 0 R", std::string("\x00\x01\x00\x02\x00\x03", 6),
       {{1, 2, 3, Em(1000)}, {2, 2, 2, Em(1000)}, {3, 2, 0, Em(1000)}}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> objects = Type0Objects("/Identity-H", c.descendantExtra);
    objects.push_back(StreamBody("", mapBytes));
    FontDocument doc(objects);
    runtime::CountedRef<runtime::FontBase> ref;
    ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] { ref = doc.Load(); }), -1) << c.name;
    auto* font = dynamic_cast<CompositeFont*>(ref.Get());
    ASSERT_NE(font, nullptr) << c.name;
    EXPECT_TRUE(font->isUsable) << c.name;
    EXPECT_FALSE(font->WritesVertically()) << c.name;
    EXPECT_NE(dynamic_cast<TrueTypeFont*>(font->ProgramOrNull()), nullptr) << c.name;
    const std::vector<Shown> shown = Show(*font, c.shown);
    ASSERT_EQ(shown.size(), c.expected.size()) << c.name;
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(shown[i].code, c.expected[i].code) << c.name << " " << i;
      EXPECT_EQ(shown[i].length, c.expected[i].length) << c.name << " " << i;
      EXPECT_EQ(shown[i].glyph, c.expected[i].glyph) << c.name << " " << i;
      EXPECT_EQ(shown[i].advance, c.expected[i].advance) << c.name << " " << i;
    }
  }
}

TEST(CompositeFontTest, CidFontType0WithAnIndexedProgramTakesItsCidToGidMap) {
  // The program numbers glyphs by index (here a TrueType program under a
  // CIDFontType0 descendant): CID 1 is glyph 3 through the map.
  std::vector<std::string> objects = Type0Objects("/Identity-H", "/CIDToGIDMap 5 0 R");
  objects[1].replace(objects[1].find("CIDFontType2"), 12, "CIDFontType0");
  objects.push_back(StreamBody("", std::string("\x00\x00\x00\x03", 4)));
  FontDocument doc(objects);
  auto ref = doc.Load();
  ASSERT_TRUE(ref->isUsable);
  const std::vector<Shown> shown = Show(*ref, std::string("\x00\x01\x00\x02", 4));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].glyph, 3u);
  EXPECT_EQ(shown[1].glyph, 0u);  // past the map
}

// Without an embedded program, a CID font file of the descendant's name
// beside the program draws (shared, not counted in the font's size); a
// compressed "otf.zz" file is present but cannot be opened (runtime 5).
TEST(CompositeFontTest, ExternalCidFontFilesStandInForMissingPrograms) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("folvane-cidfonts-" + std::to_string(::getpid()));
  const std::filesystem::path folder = root / "Resources" / "CIDFont";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(std::string(fonttest::kUrwOpenTypeDir) + "/NimbusSans-Regular.otf",
                             folder / "Outside-Font.otf", std::filesystem::copy_options::overwrite_existing);
  { std::ofstream packed(folder / "Packed-Font.otf.zz"); packed << "x"; }
  ResourceFiles::SetProgramFolder(platform::DevicePathFromHost(root.string() + "/"));
  auto objects = [](const std::string& name) {
    return std::vector<std::string>{
        "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding /Identity-H /DescendantFonts [2 0 R] >>",
        "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /" + name + " /CIDSystemInfo << /Registry (Adobe)"
        " /Ordering (Identity) /Supplement 0 >> /FontDescriptor << /Flags 4 >> >>"};
  };
  {
    FontDocument doc(objects("Outside-Font"));
    ExternalCidFonts external(&doc.context);
    runtime::CountedRef<runtime::FontBase> ref;
    ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context,
                                         [&] { ref = FontDict::Create(doc.Doc(), doc.Object(1), &external); }),
              -1);
    auto* font = dynamic_cast<CompositeFont*>(ref.Get());
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(font->isUsable);
    EXPECT_TRUE(font->programIsShared);
    EXPECT_NE(dynamic_cast<CffFont*>(font->ProgramOrNull()), nullptr);
    EXPECT_EQ(font->MemorySize(), ProgramFont::kOwnSize + font->Encoding()->ByteSize());
    // Without the file cache no file is read.
    EXPECT_EQ(doc.Load()->isUsable, 0);
  }
  {
    FontDocument doc(objects("Packed-Font"));
    ExternalCidFonts external(&doc.context);
    EXPECT_EQ(testsupport::RuntimeCodeOf(&doc.context,
                                         [&] { auto ref = FontDict::Create(doc.Doc(), doc.Object(1), &external); }),
              runtime::kUnsupported);
  }
  ResourceFiles::SetProgramFolder(u"");
  std::error_code error;
  std::filesystem::remove_all(root, error);
}

TEST(CompositeFontTest, StandardExternalFontsByCollectionAndFace) {
  struct Case {
    Collection collection;
    bool sans;
    const char* first;
    const char* second;
  } cases[] = {
      {Collection::kJapan1, true, "VantrelCidJa-Medium", "VantrelCidJb-Regular"},
      {Collection::kJapan1, false, "VantrelCidJb-Regular", "VantrelCidJa-Medium"},
      {Collection::kGB1, true, "VantrelCidS-Light", "VantrelCidS-Light"},
      {Collection::kCNS1, false, "VantrelCidT-Light", "VantrelCidT-Light"},
      {Collection::kKorea1, true, "VantrelCidK-Medium", "VantrelCidK-Medium"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(CompositeFont::StandardExternalFont(c.collection, c.sans, false), c.first);
    EXPECT_STREQ(CompositeFont::StandardExternalFont(c.collection, c.sans, true), c.second);
  }
  EXPECT_EQ(CompositeFont::StandardExternalFont(Collection::kNone, true, false), nullptr);
}

TEST(CompositeFontTest, VerticalWritingTakesDw2AndW2) {
  FontDocument doc(Type0Objects("/Identity-V", "/DW 600 /DW2 [900 -1100] /W2 [5 [-800 250 700]]"));
  auto ref = doc.Load();
  auto* font = dynamic_cast<CompositeFont*>(ref.Get());
  ASSERT_NE(font, nullptr);
  EXPECT_TRUE(font->WritesVertically());
  const std::string shown("\x00\x01\x00\x05", 4);
  const auto* at = reinterpret_cast<const uint8_t*>(shown.data());
  runtime::GlyphInfo first, second;
  at = font->NextGlyph(at, at + 4, first);
  font->NextGlyph(at, at + 2, second);
  // Without a W2 entry: DW2's advance and position y, x at half the width.
  EXPECT_EQ(first.advance, Em(-1100));
  EXPECT_EQ(first.verticalOriginX, -Em(300));
  EXPECT_EQ(first.verticalOriginY, -Em(900));
  EXPECT_EQ(second.advance, Em(-800));
  EXPECT_EQ(second.verticalOriginX, -Em(250));
  EXPECT_EQ(second.verticalOriginY, -Em(700));
  // The extent line runs across the column.
  runtime::FixedPoint top, bottom;
  font->GetExtentLine(&top, &bottom, runtime::Matrix{runtime::kFixedOne, 0, 0, runtime::kFixedOne, 0, 0});
  EXPECT_EQ(top.x, runtime::kFixedOne / 2);
  EXPECT_EQ(bottom.x, -runtime::kFixedOne / 2);
}

TEST(CompositeFontTest, PredefinedAndEmbeddedCMapsDecodeCodes) {
  // 90ms-RKSJ-H: the two-byte code <8140> is CID 633, single bytes map
  // through their own ranges.
  {
    FontDocument doc(Type0Objects("/90ms-RKSJ-H", "", "Adobe"));
    auto ref = doc.Load();
    ASSERT_TRUE(ref->isUsable);
    const std::vector<Shown> shown = Show(*ref, std::string("\x81\x40\x41", 3));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].length, 2u);
    EXPECT_EQ(shown[0].glyph, 633u);
    EXPECT_EQ(shown[1].length, 1u);
  }
  // An embedded CMap stream with one-byte codes.
  {
    std::vector<std::string> objects = Type0Objects("5 0 R", "");
    objects.push_back(StreamBody("",
                                 "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                                 "1 begincodespacerange <00> <FF> endcodespacerange\n"
                                 "1 begincidrange <41> <43> 1 endcidrange\n"
                                 "endcmap CMapName currentdict /CMap defineresource pop end end\n"));
    FontDocument doc(objects);
    auto ref = doc.Load();
    ASSERT_TRUE(ref->isUsable);
    const std::vector<Shown> shown = Show(*ref, "ABC");
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].glyph, 1u);
    EXPECT_EQ(shown[2].glyph, 3u);
  }
}

TEST(CompositeFontTest, FontsWithoutUsableGlyphsAndMalformedDictionaries) {
  // An unknown CMap name, a rejected program with the identity and no map,
  // and a font with no embedded program outside the CJK collections: all
  // are created unusable.
  const std::string garbage = "not a font program";
  struct Unusable {
    const char* name;
    std::vector<std::string> objects;
  } unusable[] = {
      {"unknown CMap", Type0Objects("/No-Such-CMap", "")},
      {"rejected program", Type0Objects("/Identity-H", "", "Adobe", garbage)},
      // No collection: no device font can stand in.
      {"no program", {"<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [2 0 R] >>",
                      "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /X /CIDSystemInfo << /Registry (Adobe)"
                      " /Ordering (Identity) /Supplement 0 >> /FontDescriptor << /Flags 4 >> >>"}},
  };
  for (const Unusable& c : unusable) {
    FontDocument doc(c.objects);
    runtime::CountedRef<runtime::FontBase> ref;
    ASSERT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] { ref = doc.Load(); }), -1) << c.name;
    EXPECT_EQ(ref->isUsable, 0) << c.name;
  }
  // A registry of its own still draws with its embedded program.
  {
    FontDocument doc(Type0Objects("/Identity-H", "", "Someone"));
    auto ref = doc.Load();
    EXPECT_EQ(ref->isUsable, 1);
  }
  const char* malformed[] = {
      "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H >>",
      "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [] >>",
      "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [7] >>",
      "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [<< /Subtype "
      "/CIDFontType2 >>] >>",
      "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding 12 /DescendantFonts [<< /Subtype /CIDFontType2"
      " /FontDescriptor << /Flags 4 >> /CIDSystemInfo << /Registry (A) /Ordering (B) /Supplement 0 >> >>] >>",
      "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [<< /Subtype "
      "/CIDFontType2 /FontDescriptor << /Flags 4 >> /CIDSystemInfo << /Registry (A) /Ordering (B) >> >>] >>",
      "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /DescendantFonts [<< /Subtype "
      "/CIDFontType2 /FontDescriptor << /Flags 4 >> /CIDSystemInfo << /Registry (A) /Ordering (B) /Supplement 0"
      " >> /W [1 (x)] >>] >>",
  };
  for (const char* dict : malformed) {
    FontDocument doc({dict});
    EXPECT_EQ(doc.CodeOf(), runtime::kMalformed) << dict;
  }
}

}  // namespace
}  // namespace fonts
