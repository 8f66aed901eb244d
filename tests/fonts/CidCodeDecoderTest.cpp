// CID metrics and show-string decoding of composite fonts: "W"/"W2" groups
// kept as ranges, the two-byte identity, CMap decoding and the
// CIDToGIDMap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fonts/CMapCache.h"
#include "fonts/CidCodeDecoder.h"
#include "pdf/Document.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"
#include "tests/support/SmallPdfFile.h"

namespace fonts {
namespace {

using runtime::Fixed;
using runtime::kFixedOne;

// A document whose object 1 is a CIDFont dictionary.
class CidFontDocument {
 public:
  explicit CidFontDocument(const std::vector<std::string>& objects)
      : bytes_(testsupport::SmallPdfFile(objects)), document_(&context, bytes_) {}
  runtime::ObjectHandle Object(uint32_t n) { return document_->GetObject(n, 0); }
  pdf::Document& Doc() { return *document_; }
  runtime::LibraryContext context;

 private:
  std::string bytes_;
  pdftest::OpenDocument document_;
};

Fixed Thousandths(int value) { return TextSpaceFromThousandths(value * kFixedOne); }

TEST(CidCodeDecoderTest, WidthGroupsAndDefaults) {
  CidFontDocument doc({"<< /Type /Font /Subtype /CIDFontType0 /DW 300"
                       " /W [1 [500 600] 10 20 700 15 [900]] >>"});
  CidMetrics metrics(&doc.context);
  metrics.Read(doc.Object(1));
  const struct {
    uint32_t cid;
    int width;
  } cases[] = {{0, 300}, {1, 500}, {2, 600}, {3, 300}, {10, 700}, {14, 700},
               {15, 900}, {16, 700}, {20, 700}, {21, 300}, {0xFFFFFFFF, 300}};
  for (const auto& c : cases) EXPECT_EQ(metrics.Width(c.cid), Thousandths(c.width)) << c.cid;

  CidMetrics none(&doc.context);
  EXPECT_EQ(none.Width(5), kFixedOne);
  const VerticalMetrics vertical = none.Vertical(5);
  EXPECT_EQ(vertical.advance, -kFixedOne);
  EXPECT_EQ(vertical.positionY, Thousandths(880));
  EXPECT_EQ(vertical.positionX, kFixedOne / 2);
}

TEST(CidCodeDecoderTest, HugeRangesTakeConstantMemory) {
  CidFontDocument doc({"<< /W [0 2000000000 500] /W2 [0 2000000000 -900 250 800] >>"});
  CidMetrics metrics(&doc.context);
  const uint32_t before = metrics.Size();
  metrics.Read(doc.Object(1));
  EXPECT_LT(metrics.Size() - before, 1024u);
  EXPECT_EQ(metrics.Width(1999999999), Thousandths(500));
  EXPECT_EQ(metrics.Width(2000000001), kFixedOne);
  const VerticalMetrics vertical = metrics.Vertical(123456789);
  EXPECT_EQ(vertical.advance, Thousandths(-900));
  EXPECT_EQ(vertical.positionX, Thousandths(250));
  EXPECT_EQ(vertical.positionY, Thousandths(800));
}

TEST(CidCodeDecoderTest, MalformedGroupsRaiseCodeTwo) {
  const struct {
    const char* dict;
    long code;
  } cases[] = {
      {"<< /W [1 /Name 3] >>", 2},
      {"<< /W [-5 [500]] >>", 2},
      {"<< /W [-1 10 500] >>", 2},
      {"<< /W [1 -1 500] >>", 2},
      {"<< /W2 [1 (x)] >>", 2},
      {"<< /W [1 [500 /x]] >>", 2},
      {"<< /W [5 2 500 1] >>", -1},  // a backwards range is empty; a lone CID ends the list
      {"<< /DW2 [900] >>", -1},
  };
  for (const auto& c : cases) {
    CidFontDocument doc({c.dict});
    EXPECT_EQ(testsupport::RuntimeCodeOf(&doc.context, [&] {
                CidMetrics metrics(&doc.context);
                metrics.Read(doc.Object(1));
              }),
              c.code)
        << c.dict;
  }
}

std::string DecodeAll(const CidCodeDecoder& decoder, const std::string& bytes) {
  std::string out;
  const auto* cursor = reinterpret_cast<const uint8_t*>(bytes.data());
  const uint8_t* end = cursor + bytes.size();
  while (cursor < end) {
    CidGlyph glyph;
    const uint8_t* next = decoder.NextCode(cursor, end, &glyph);
    if (!out.empty()) out += ' ';
    out += std::to_string(glyph.code) + ":" + std::to_string(glyph.cid) + ">" +
           std::to_string(glyph.glyph) + "/" + std::to_string(next - cursor);
    if (glyph.wordSpace) out += 's';
    cursor = next;
  }
  return out;
}

TEST(CidCodeDecoderTest, IdentityCMapAndGlyphMaps) {
  runtime::LibraryContext context;
  CidCodeDecoderRef identity =
      CidCodeDecoderRef::Adopt(&context, CidCodeDecoder::Identity(&context, 0));
  EXPECT_EQ(DecodeAll(*identity, std::string("\x01\x02\x00\x20\x07", 5)),
            "258:258>258/2 32:32>32/2 0:0>0/1");

  // A CIDToGIDMap of three entries: CID 3 lies past it and gets glyph 0.
  CidFontDocument doc({testsupport::StreamBody("", std::string("\x00\x05\x00\x06\x01\x00", 6))});
  streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(doc.Doc(), doc.Object(1));
  identity->SetCidToGidMap(*data);
  EXPECT_EQ(DecodeAll(*identity, std::string("\x00\x00\x00\x02\x00\x03\xFF\xFF", 8)),
            "0:0>5/2 2:2>256/2 3:3>0/2 65535:65535>0/2");

  CMapCache cache(&context);
  CidCodeDecoderRef rksj = CidCodeDecoderRef::Adopt(
      &context, CidCodeDecoder::FromCMap(&context, cache.Get(1, "90ms-RKSJ-H", CMapDestination::kCid)));
  EXPECT_EQ(DecodeAll(*rksj, "\x81\x40 A"), "33088:633>633/2 32:231>231/1s 65:264>264/1");
  EXPECT_EQ(rksj->GetWMode(), 0);
  CidCodeDecoderRef vertical = CidCodeDecoderRef::Adopt(
      &context, CidCodeDecoder::FromCMap(&context, cache.Get(1, "90ms-RKSJ-V", CMapDestination::kCid)));
  EXPECT_EQ(vertical->GetWMode(), 1);
  CidGlyph glyph;
  const uint8_t code[] = {0x81, 0x40};
  vertical->NextCode(code, code + 2, &glyph);
  EXPECT_EQ(glyph.verticalAdvance, -kFixedOne);
  EXPECT_EQ(glyph.positionX, kFixedOne / 2);

  // A CMap that maps a code to a string is no encoding.
  CMapRef strings = CMapRef::Adopt(&context, CMap::New(&context, CMapDestination::kCid));
  strings->AddCodespaceRange(0, 0xFF, 1);
  const uint8_t unit[] = {0, 0x41};
  strings->AddBfChar(0x41, unit, 2, 1);
  CidCodeDecoderRef refused =
      CidCodeDecoderRef::Adopt(&context, CidCodeDecoder::FromCMap(&context, strings));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { DecodeAll(*refused, "A"); }), 2);
  EXPECT_EQ(DecodeAll(*refused, "B"), "66:0>0/1");
}

}  // namespace
}  // namespace fonts
