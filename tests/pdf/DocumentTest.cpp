// Object resolution over generated files: classic tables with incremental
// updates, cross-reference streams, object streams, stream data, and the
// rules on what is never decrypted.
#include "pdf/Document.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "pdf/ArrayReaders.h"
#include "pdf/ObjectPrinter.h"
#include "pdf/Page.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "streams/ChainedStream.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

using pdftest::OpenDocument;
using pdftest::PdfWriter;
using runtime::ObjectHandle;

std::string Printed(const ObjectHandle& object) {
  std::string text = pdf::ObjectPrinter::ToString(object.Value());
  if (pdf::StreamObject::IsStream(object.Value())) text += " stream";
  return text;
}

class DocumentTest : public ::testing::Test {
 protected:
  // Every "number generation value" line of a fixture's expectations.
  void ExpectEveryObject(pdf::Document& document, const std::string& expectedFile) {
    std::istringstream lines(pdftest::ReadFile(pdftest::FixturePath(expectedFile)));
    std::string line;
    int checked = 0;
    while (std::getline(lines, line)) {
      std::istringstream fields(line);
      uint32_t number = 0;
      uint32_t generation = 0;
      fields >> number >> generation;
      std::string value;
      std::getline(fields, value);
      value.erase(0, 1);
      std::string actual;
      auto error = testsupport::CaughtError(&context_, [&] {
        actual = Printed(document.GetObject(number, generation));
      });
      EXPECT_FALSE(error) << "object " << number;
      EXPECT_EQ(actual, value) << "object " << number;
      ++checked;
    }
    EXPECT_GT(checked, 20);
  }

  // The runtime code opening `text` and resolving object `number` raises,
  // -1 when none; `printed` receives the object.
  long Resolve(const std::string& text, uint32_t number, std::string* printed = nullptr) {
    return testsupport::RuntimeCodeOf(&context_, [&] {
      OpenDocument document(&context_, text);
      const std::string value = Printed(document->GetObject(number, 0));
      if (printed != nullptr) *printed = value;
    });
  }

  runtime::LibraryContext context_;
};

TEST_F(DocumentTest, HandlesOutliveAPurgeOfTheObjectCache) {
  const std::string bytes = pdftest::ReadFile(pdftest::FixturePath("xref_chain.pdf"));
  auto error = testsupport::CaughtError(&context_, [&] {
    OpenDocument document(&context_, bytes);
    ObjectHandle catalog = document->GetRoot();
    const std::string before = Printed(catalog);
    // Memory pressure drops every cache entry nothing holds; the handle
    // must still read its value.
    context_.memory.PurgeCaches(uint64_t{1} << 40, true);
    EXPECT_EQ(Printed(catalog), before);
  });
  EXPECT_FALSE(error);
}

TEST_F(DocumentTest, GeneratedFileResolvesEveryObjectAsRecorded) {
  const std::string bytes = pdftest::ReadFile(pdftest::FixturePath("xref_chain.pdf"));
  auto error = testsupport::CaughtError(&context_, [&] {
    OpenDocument document(&context_, bytes);
    EXPECT_EQ(document->HeaderOffset(), 100u);
    EXPECT_STREQ(document->Version(), "1.5");
    ExpectEveryObject(*document, "xref_chain.expected");
    // Stored with generation 0: asked for as 12 1 R it is null.
    EXPECT_TRUE(document->GetObject(12, 1).IsNull());
    EXPECT_FALSE(document->GetObject(12, 0).IsNull());
    // Newest stream, the classic update, the original table.
    EXPECT_EQ(document->Xref().ChainLength(), 3u);
  });
  EXPECT_FALSE(error);
}

TEST_F(DocumentTest, PageContentsArrayReadsAsOneStreamAndMediaBoxNormalises) {
  const std::string bytes = pdftest::ReadFile(pdftest::FixturePath("xref_chain.pdf"));
  auto error = testsupport::CaughtError(&context_, [&] {
    OpenDocument document(&context_, bytes);
    ObjectHandle page = document->GetObject(4, 0);
    streams::DataStreamRef contents = pdf::Page::GetContents(*document, page);
    EXPECT_EQ(pdftest::ReadAll(*contents), "q 1 0 0 1 0 0 cm BT /F1 12 Tf (Hi) Tj ET Q");
    const runtime::Rect box = pdf::ReadRectArray(runtime::Dictionary::Get(page, "MediaBox"));
    EXPECT_EQ(box, (runtime::Rect{0, 0, 10 << 16, 20 << 16}));
    pdf::Page::Resources resources = pdf::Page::GetResources(page);
    EXPECT_EQ(runtime::Array::Count(runtime::Dictionary::Get(page, "Contents")), 3u);
    EXPECT_EQ(resources.resources.Tag(), runtime::ObjectTag::kDictionary);
  });
  EXPECT_FALSE(error);
}

// XOR with 0x5A, and a record of which objects were decrypted.
class XorSource final : public streams::BlockSource {
 public:
  XorSource(runtime::LibraryContext* context, streams::StreamRef source)
      : BlockSource(context), source_(std::move(source)) {}
  streams::BlockRef FetchBlock() override {
    streams::BlockRef block = source_->FetchBlock();
    const uint32_t count = streams::CountOf(block);
    if (count == 0) return block;
    auto out = streams::MakeRef<streams::InlineBlock>(Context());
    for (uint32_t i = 0; i < count; ++i) out->Bytes()[i] = block->Data()[i] ^ 0x5A;
    out->SetCount(count);
    return out;
  }
  void Restart(uint64_t position) override { source_->Restart(position); }
  bool AtEnd() const override { return source_->AtEnd(); }
  uint32_t MemorySize() const override { return 64; }

 private:
  streams::StreamRef source_;
};

class XorDecryptor final : public pdf::ObjectDecryptor {
 public:
  void DecryptString(uint32_t number, uint32_t, uint8_t* bytes, uint32_t count) override {
    strings.insert(number);
    for (uint32_t i = 0; i < count; ++i) bytes[i] ^= 0x5A;
  }
  streams::StreamRef DecryptStream(runtime::LibraryContext* context, streams::StreamRef raw,
                                   uint32_t number, uint32_t) override {
    streamObjects.insert(number);
    return streams::MakeRef<XorSource>(context, std::move(raw));
  }
  streams::StreamRef ApplyCryptFilter(runtime::LibraryContext*, streams::StreamRef chain,
                                      const ObjectHandle&, uint32_t, uint32_t) override {
    return chain;
  }
  std::set<uint32_t> strings;
  std::set<uint32_t> streamObjects;
};

TEST_F(DocumentTest, CrossReferenceStreamsAndEncryptDictionaryAreNeverDecrypted) {
  const std::string bytes = pdftest::ReadFile(pdftest::FixturePath("xref_chain_xor.pdf"));
  XorDecryptor decryptor;
  auto error = testsupport::CaughtError(&context_, [&] {
    OpenDocument document(&context_, bytes);
    document->SetDecryptor(&decryptor);
    EXPECT_EQ(document->EncryptObjectNumber(), 30u);
    ExpectEveryObject(*document, "xref_chain_xor.expected");
    // The cross-reference stream opened by whoever asks stays plain too.
    ObjectHandle xref = document->GetObject(21, 0);
    streams::DataStreamRef data = pdf::StreamObject::OpenDataStream(*document, xref);
    EXPECT_EQ(pdftest::ReadAll(*data).substr(0, 4), std::string("\0\0\0\xff", 4));
    ObjectHandle page = document->GetObject(4, 0);
    streams::DataStreamRef contents = pdf::Page::GetContents(*document, page);
    EXPECT_EQ(pdftest::ReadAll(*contents), "q 1 0 0 1 0 0 cm BT /F1 12 Tf (Hi) Tj ET Q");
  });
  EXPECT_FALSE(error);
  EXPECT_EQ(decryptor.strings.count(30), 0u);
  EXPECT_EQ(decryptor.streamObjects.count(21), 0u);
  // Compressed objects come decrypted with their object stream.
  EXPECT_EQ(decryptor.strings.count(13), 0u);
  EXPECT_EQ(decryptor.streamObjects.count(20), 1u);
  EXPECT_EQ(decryptor.strings.count(10), 1u);
}

TEST_F(DocumentTest, HeaderAndTrailerSearch) {
  const auto file = [](const std::string& junk, const std::string& tail) {
    PdfWriter writer(junk);
    writer.Object(1, "<< /Type /Catalog >>").ClassicTable("/Root 1 0 R");
    return writer.Text() + tail;
  };
  const struct {
    const char* name;
    std::string text;
    long code;
  } cases[] = {
      {"1000 junk bytes", file(std::string(1000, 'x'), ""), -1},
      {"2000 junk bytes", file(std::string(2000, 'x'), ""), 2},
      {"junk after the end", file("", std::string(3000, ' ') + "tail"), -1},
      {"no %%EOF", [&] {
         std::string text = file("", "");
         return text.substr(0, text.rfind("%%EOF"));
       }(), 2},
      {"startxref past the end", "%PDF-1.4\nstartxref\n99999\n%%EOF\n", 2},
      {"startxref at garbage", "%PDF-1.4\n1 0 obj\n5\nendobj\nstartxref\n9\n%%EOF\n", 2},
  };
  for (const auto& c : cases) {
    std::string printed;
    EXPECT_EQ(Resolve(c.text, 1, &printed), c.code) << c.name;
    if (c.code == -1) {
      EXPECT_EQ(printed, "<< /Type /Catalog >>") << c.name;
    }
  }
}

TEST_F(DocumentTest, SeveralEofMarkersUseTheLast) {
  PdfWriter writer;
  writer.Object(1, "(old)").ClassicTable("");
  writer.Object(1, "(new)");
  const uint64_t table = writer.Offset();
  writer.Raw("xref\n0 2\n0000000000 65535 f \n");
  char entry[32];
  std::snprintf(entry, sizeof(entry), "%010llu 00000 n \n",
                static_cast<unsigned long long>(writer.OffsetOf(1)));
  writer.Raw(entry).Raw("trailer\n<< /Size 2 >>\n").StartXref(table).Raw("%%EOF\n");
  std::string printed;
  EXPECT_EQ(Resolve(writer.Text(), 1, &printed), -1);
  EXPECT_EQ(printed, "(new)");
}

TEST_F(DocumentTest, PrevChainLoopsEndAtASectionAlreadySearched) {
  PdfWriter writer;
  writer.Object(1, "(one)");
  const uint64_t table = writer.Offset();
  char entry[32];
  std::snprintf(entry, sizeof(entry), "%010llu 00000 n \n",
                static_cast<unsigned long long>(writer.OffsetOf(1)));
  // The section names itself as its previous one.
  writer.Raw("xref\n0 2\n0000000000 65535 f \n").Raw(entry);
  writer.Raw("trailer\n<< /Size 2 /Prev " + std::to_string(table) + " >>\n").StartXref(table);
  std::string printed;
  EXPECT_EQ(Resolve(writer.Text(), 1, &printed), -1);
  EXPECT_EQ(printed, "(one)");
  EXPECT_EQ(Resolve(writer.Text(), 7, &printed), -1);
  EXPECT_EQ(printed, "null");
}

// A file whose newest section is a cross-reference stream with the given
// "W" and "Index" entries and the given binary entries.
std::string StreamFile(const std::string& widthsAndIndex, const std::string& entries,
                       PdfWriter* base = nullptr) {
  PdfWriter local;
  PdfWriter& writer = base != nullptr ? *base : local;
  const uint64_t offset = writer.Offset();
  writer.Raw("9 0 obj\n<< /Type /XRef " + widthsAndIndex + " /Length " +
             std::to_string(entries.size()) + " >>\nstream\n" + entries +
             "\nendstream\nendobj\n");
  writer.StartXref(offset);
  return writer.Text();
}

std::string Entry(uint8_t type, uint32_t field2, uint32_t field3, int width2 = 2) {
  std::string out(1, static_cast<char>(type));
  for (int i = width2 - 1; i >= 0; --i) out += static_cast<char>(field2 >> (8 * i) & 0xFF);
  out += static_cast<char>(field3);
  return out;
}

TEST_F(DocumentTest, CrossReferenceStreamLayouts) {
  PdfWriter objects;
  objects.Object(1, "(one)").Object(2, "(two)");
  const uint32_t one = static_cast<uint32_t>(objects.OffsetOf(1));
  const uint32_t two = static_cast<uint32_t>(objects.OffsetOf(2));
  const std::string threeEntries = Entry(0, 0, 255) + Entry(1, one, 0) + Entry(1, two, 0);
  std::string withoutType;
  for (uint32_t offset : {0u, one, two}) withoutType += Entry(1, offset, 0).substr(1);
  const struct {
    const char* name;
    std::string layout;
    std::string entries;
    uint32_t number;
    const char* expected;  // null: error 2
  } cases[] = {
      {"no Index covers 0 to Size-1", "/W [1 2 1] /Size 3", threeEntries, 2, "(two)"},
      {"fourth W element unused", "/W [1 2 1 7] /Size 3", threeEntries, 2, "(two)"},
      {"W[0] = 0: all in use", "/W [0 2 1] /Size 3", withoutType, 1, "(one)"},
      {"Index pairs", "/W [1 2 1] /Index [1 2] /Size 3", threeEntries.substr(4), 2, "(two)"},
      {"beyond Size", "/W [1 2 1] /Size 3", threeEntries, 5, "null"},
      {"an empty stream's later Index range", "/W [1 2 1] /Index [0 2 5 3] /Size 8", "", 6, "null"},
      {"negative Index count", "/W [1 2 1] /Index [1 -2] /Size 3", threeEntries, 1, nullptr},
      {"negative Index first", "/W [1 2 1] /Index [-1 2] /Size 3", threeEntries, 1, nullptr},
      {"Index past 0x7FFFFFFF", "/W [1 2 1] /Index [2147483600 100] /Size 3", threeEntries, 1,
       nullptr},
      {"width above 8", "/W [1 9 1] /Size 3", threeEntries, 1, nullptr},
      {"generation above 65535", "/W [1 2 3] /Size 2",
       Entry(0, 0, 0) + std::string("\0\0", 2) + Entry(1, one, 1) + std::string("\x01\x00", 2),
       1, nullptr},
  };
  for (const auto& c : cases) {
    PdfWriter writer = objects;
    const std::string text = StreamFile(c.layout, c.entries, &writer);
    std::string printed;
    const long code = Resolve(text, c.number, &printed);
    if (c.expected == nullptr) {
      EXPECT_EQ(code, 2) << c.name;
    } else {
      EXPECT_EQ(code, -1) << c.name;
      EXPECT_EQ(printed, c.expected) << c.name;
    }
  }
}

// A compressed cross-reference stream read from its last entry to its
// first gives the entries read in order, and a "Size" far beyond its data
// counts only the entries the data holds.
TEST_F(DocumentTest, CompressedCrossReferenceStreamReadInAnyOrder) {
  constexpr uint32_t kEntries = 3000;
  std::string entries;
  for (uint32_t n = 0; n < kEntries; ++n) entries += Entry(1, 16 + 7 * n, n % 3, 3);
  const std::string packed = pdftest::Deflate(entries);
  PdfWriter writer;
  const uint64_t offset = writer.Offset();
  writer.Raw("9 0 obj\n<< /Type /XRef /W [1 3 1] /Size 2147483647 /Filter /FlateDecode /Length " +
             std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream\nendobj\n");
  writer.StartXref(offset);
  const std::string text = writer.Text();
  OpenDocument forward(&context_, text);
  OpenDocument backward(&context_, text);
  for (uint32_t i = 0; i < kEntries; ++i) {
    const uint32_t n = kEntries - 1 - i;
    const runtime::XrefEntry entry = backward->LookupEntry(n);
    ASSERT_EQ(entry.kind, 2u) << n;
    EXPECT_EQ(entry.offset, 16 + 7 * uint64_t{n}) << n;
    EXPECT_EQ(entry.generation, n % 3) << n;
  }
  for (uint32_t n = 0; n < kEntries; ++n) {
    const runtime::XrefEntry a = forward->LookupEntry(n);
    const runtime::XrefEntry b = backward->LookupEntry(n);
    ASSERT_EQ(a.kind, b.kind) << n;
    ASSERT_EQ(a.offset, b.offset) << n;
  }
  EXPECT_EQ(forward->ObjectCount(), kEntries);
  EXPECT_EQ(forward->LookupEntry(kEntries + 5).kind, 0u);
}

TEST_F(DocumentTest, HybridFileFindsCompressedObjectsThroughXRefStm) {
  PdfWriter writer;
  const std::string members = "2 0\n(hidden)";
  writer.Object(1, "(plain)");
  writer.Object(5, "<< /Type /ObjStm /N 1 /First 4 /Length " + std::to_string(members.size()) +
                       " >>\nstream\n" + members + "\nendstream");
  const uint64_t stream = writer.Offset();
  const std::string entries = Entry(2, 5, 0);
  writer.Raw("9 0 obj\n<< /Type /XRef /W [1 2 1] /Index [2 1] /Size 10 /Length " +
             std::to_string(entries.size()) + " >>\nstream\n" + entries + "\nendstream\nendobj\n");
  const uint64_t table = writer.Offset();
  char one[32];
  char five[32];
  std::snprintf(one, sizeof(one), "%010llu 00000 n \n",
                static_cast<unsigned long long>(writer.OffsetOf(1)));
  std::snprintf(five, sizeof(five), "%010llu 00000 n \n",
                static_cast<unsigned long long>(writer.OffsetOf(5)));
  // Objects 2 and 3 are free in the table; only the stream knows 2.
  writer.Raw(std::string("xref\n0 6\n0000000000 65535 f \n") + one +
             "0000000000 00001 f \n0000000000 00001 f \n0000000000 00001 f \n" + five);
  writer.Raw("trailer\n<< /Size 10 /XRefStm " + std::to_string(stream) + " >>\n").StartXref(table);
  const struct {
    uint32_t number;
    const char* expected;
  } cases[] = {{1, "(plain)"}, {2, "(hidden)"}, {3, "null"}};
  for (const auto& c : cases) {
    std::string printed;
    EXPECT_EQ(Resolve(writer.Text(), c.number, &printed), -1) << c.number;
    EXPECT_EQ(printed, c.expected) << c.number;
  }
}

TEST_F(DocumentTest, LoadsThatNeedThemselvesFailInsteadOfRecursing) {
  // Object stream 5 takes its "Length" from object 6, which it holds.
  const std::string members = "6 0\n12";
  PdfWriter objects;
  objects.Object(5, "<< /Type /ObjStm /N 1 /First 4 /Length 6 0 R >>\nstream\n" + members +
                        "\nendstream");
  const std::string objectStream =
      StreamFile("/W [1 2 1] /Index [5 2] /Size 10",
                 Entry(1, static_cast<uint32_t>(objects.OffsetOf(5)), 0) + Entry(2, 5, 0), &objects);
  EXPECT_EQ(Resolve(objectStream, 6), 2);
  // A cross-reference stream whose "Length" is listed only by itself.
  PdfWriter writer;
  writer.Object(1, "(one)");
  const uint64_t offset = writer.Offset();
  const std::string entries = Entry(1, static_cast<uint32_t>(writer.OffsetOf(1)), 0) +
                              Entry(1, static_cast<uint32_t>(offset), 0);
  writer.Raw("9 0 obj\n<< /Type /XRef /W [1 2 1] /Index [1 1 9 1] /Size 10 /Length 9 0 R >>\nstream\n" +
             entries + "\nendstream\nendobj\n");
  writer.StartXref(offset);
  EXPECT_EQ(Resolve(writer.Text(), 1), 2);
}

TEST_F(DocumentTest, ClassicTableFaults) {
  const auto table = [](const std::string& subsections) {
    PdfWriter writer;
    writer.Object(1, "(one)");
    const uint64_t offset = writer.Offset();
    writer.Raw("xref\n" + subsections + "trailer\n<< /Size 2 >>\n").StartXref(offset);
    return writer.Text();
  };
  const std::string good = "0000000009 00000 n \n";
  const struct {
    const char* name;
    std::string text;
    long code;
  } cases[] = {
      {"overlapping subsection: first wins",
       table("0 2\n0000000000 65535 f \n" + good + "1 1\n0000000500 00000 n \n"), -1},
      {"19-byte entries", table("0 2\n0000000000 65535 f\n0000000009 00000 n\n"), -1},
      {"count past the file", table("0 99999\n0000000000 65535 f \n" + good), 2},
      {"subsection past 0x7FFFFFFF", table("2147483647 2\n" + good + good), 2},
      {"bad entry type", table("0 2\n0000000000 65535 f \n0000000009 00000 x \n"), 2},
      {"wrong object number at offset", table("0 2\n0000000000 65535 f \n0000000000 00000 n \n"),
       2},
      {"header without digits", table("a 2\n"), 2},
      {"no trailer", table("0 1\n0000000000 65535 f \n") + "xx", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Resolve(c.text, 1), c.code) << c.name;
  }
}

TEST_F(DocumentTest, StreamFilterFaults) {
  const auto file = [](const std::string& dictionary, const std::string& data) {
    PdfWriter writer;
    writer.Object(1, dictionary + "\nstream\n" + data + "\nendstream").ClassicTable("");
    return writer.Text();
  };
  const struct {
    const char* name;
    std::string text;
    const char* decoded;  // null: the code below
    long code;
  } cases[] = {
      {"plain", file("<< /Length 3 >>", "abc"), "abc", -1},
      {"Length past the end of the file", file("<< /Length 99999 >>", "abc"), nullptr, -1},
      {"two filters, one parameter set",
       file("<< /Length 3 /Filter [/ASCIIHexDecode /ASCIIHexDecode] /DecodeParms [null] >>", "414"),
       nullptr, 2},
      {"unknown filter", file("<< /Length 3 /Filter /NoSuchDecode >>", "abc"), nullptr, 5},
      {"Crypt without a security handler", file("<< /Length 3 /Filter /Crypt >>", "abc"), nullptr,
       5},
      {"Filter of the wrong type", file("<< /Length 3 /Filter 7 >>", "abc"), nullptr, 2},
      {"negative Length", file("<< /Length -1 >>", "abc"), nullptr, 2},
      {"no Length: the data ends at endstream", file("<< >>", "abc"), "abc", -1},
      {"Length naming a missing object", file("<< /Length 9 0 R >>", "abc"), "abc", -1},
      {"no Length, CR LF before endstream", file("<< >>", "ab\r"), "ab", -1},
      {"no Length, a near miss inside the data", file("<< >>", "endstreaendstrea"),
       "endstreaendstrea", -1},
  };
  for (const auto& c : cases) {
    std::string decoded;
    const long code = testsupport::RuntimeCodeOf(&context_, [&] {
      OpenDocument document(&context_, c.text);
      ObjectHandle object = document->GetObject(1, 0);
      decoded = pdftest::ReadAll(*pdf::StreamObject::OpenDataStream(*document, object));
    });
    if (c.decoded != nullptr) {
      EXPECT_EQ(code, -1) << c.name;
      EXPECT_EQ(decoded, c.decoded) << c.name;
    } else if (c.code != -1) {
      EXPECT_EQ(code, c.code) << c.name;
    } else {
      EXPECT_EQ(code, -1) << c.name;
      EXPECT_EQ(decoded.substr(0, 3), "abc") << c.name;
    }
  }
}

TEST_F(DocumentTest, ArrayReaders) {
  runtime::StoreRef store = runtime::StoreRef::Adopt(&context_, runtime::ValueStore::New(&context_));
  const auto array = [&](std::initializer_list<int32_t> values) {
    std::vector<runtime::ObjectValue> items;
    for (int32_t v : values) items.push_back(runtime::ObjectValue::Integer(v));
    return ObjectHandle(&context_, new (store->Allocate(sizeof(runtime::ObjectValue)))
                                       runtime::ObjectValue(store->Array(items.data(),
                                                                         static_cast<uint32_t>(items.size()))),
                        store.Get());
  };
  runtime::Rect rect;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { rect = pdf::ReadRectArray(array({10, 20, 0, 0})); }), -1);
  EXPECT_EQ(rect, (runtime::Rect{0, 0, 10 << 16, 20 << 16}));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { pdf::ReadRectArray(array({1, 2, 3})); }), 2);
  runtime::Matrix matrix;
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] {
              matrix = pdf::ReadMatrixArray(array({1, 2, 3, 4, 5, 6, 7}));
            }),
            -1);
  EXPECT_EQ(matrix, (runtime::Matrix{1 << 16, 2 << 16, 3 << 16, 4 << 16, 5 << 16, 6 << 16}));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { pdf::ReadMatrixArray(array({1, 2, 3, 4, 5})); }), 2);
}

}  // namespace
