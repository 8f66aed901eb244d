// Pages of linearised files found from their hint tables. The files are
// made at test time by qpdf from a generated 50-page document; the page
// tree walk is the reference for which object is each page.
#include "pdf/LinearizedPages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <unistd.h>

#include "pdf/Destination.h"
#include "pdf/Document.h"
#include "pdf/PageTree.h"
#include "runtime/Dictionary.h"
#include "streams/DataSource.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/CaughtError.h"

namespace {

constexpr int32_t kPages = 50;

// A 50-page document whose pages share one font and each have their own
// content stream; with `outlines`, an outline of three items (objects 200
// to 203) and a named destination.
std::string FiftyPages(bool outlines = false) {
  pdftest::PdfWriter writer;
  if (outlines) {
    writer.Object(1, "<< /Type /Catalog /Pages 2 0 R /Outlines 200 0 R /PageMode /UseOutlines"
                     " /Names << /Dests << /Names [(intro) [5 0 R /Fit]] >> >> >>");
    writer.Object(200, "<< /Type /Outlines /First 201 0 R /Last 203 0 R /Count 3 >>");
    for (uint32_t item = 201; item <= 203; ++item) {
      writer.Object(item, "<< /Title (Item " + std::to_string(item) + ") /Parent 200 0 R" +
                              (item > 201 ? " /Prev " + std::to_string(item - 1) + " 0 R" : "") +
                              (item < 203 ? " /Next " + std::to_string(item + 1) + " 0 R" : "") +
                              " /Dest [" + std::to_string(5 + 2 * (item - 201) * 10) +
                              " 0 R /Fit] >>");
    }
  } else {
    writer.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  }
  writer.Object(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  std::string kids;
  for (uint32_t i = 0; i < kPages; ++i) {
    const uint32_t content = 4 + 2 * i;
    const std::string text = "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(i + 1) + ") Tj ET";
    writer.Object(content, "<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text +
                               "\nendstream");
    writer.Object(content + 1, "<< /Type /Page /Parent 2 0 R /Contents " +
                                   std::to_string(content) +
                                   " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
    kids += std::to_string(content + 1) + " 0 R ";
  }
  writer.Object(2, "<< /Type /Pages /Count " + std::to_string(kPages) + " /Kids [" + kids +
                       "] /MediaBox [0 0 612 792] >>");
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

// qpdf's linearisation of the document, with the given extra options.
std::string Linearize(const std::string& options, const std::string& document = FiftyPages()) {
  return pdftest::RewriteWithQpdf(document, "--linearize " + options, "fifty_pages");
}

class LinearizedPagesTest : public ::testing::Test {
 protected:
  runtime::LibraryContext context_;
};

TEST_F(LinearizedPagesTest, HintTablesNameThePagesTheTreeHolds) {
  for (const char* options : {"", "--object-streams=generate"}) {
    const std::string bytes = Linearize(options);
    ASSERT_FALSE(bytes.empty()) << "qpdf " << options;
    pdftest::OpenDocument document(&context_, bytes);
    ASSERT_NE(document->LinearizedObject(), 0u) << options;
    const pdf::LinearizedPages pages(*document);
    ASSERT_TRUE(pages.HasHints()) << options;
    ASSERT_EQ(pages.PageCount(), kPages);
    EXPECT_EQ(document->GetPageCount(), kPages);
    for (int32_t index = 0; index < kPages; ++index) {
      const runtime::ObjectReference tree = pdf::PageTree::FindPageRef(*document, index);
      EXPECT_EQ(pages.ObjectOfPage(index), int64_t{tree.number}) << options << " page " << index;
      EXPECT_EQ(pages.PageIndexOfRef(tree), index) << options << " page " << index;
      if (index == pages.FirstPage()) continue;
      // The page's own objects (its dictionary and its content stream) lie
      // in the bytes the hints give it.
      const streams::ByteRange range = pages.PageObjectsRange(index);
      const runtime::ObjectHandle page = document->GetObject(tree.number, tree.generation);
      const runtime::ObjectValue* contents =
          runtime::Dictionary::FindByName(page.Value(), "Contents");
      for (const uint32_t number : {tree.number, contents->AsReference().number}) {
        runtime::XrefEntry entry = document->LookupEntry(number);
        if (entry.kind == 3) {
          entry = document->LookupEntry(static_cast<uint32_t>(entry.offset & 0xFFFFFFFFu));
        }
        ASSERT_EQ(entry.kind, 2u) << options << " object " << number;
        EXPECT_GE(entry.offset, range.start) << options << " page " << index;
        EXPECT_LT(entry.offset, range.end) << options << " page " << index;
      }
      // The bytes requested for the page cover its objects, the shared
      // font they use, and, in a classic table, their entries.
      const pdf::LinearizedPages::Ranges ranges = pages.PageRanges(index);
      const auto covered = [&](uint64_t start, uint64_t end) {
        for (const streams::ByteRange& r : ranges) {
          if (r.start <= start && end <= r.end) return true;
        }
        return false;
      };
      runtime::ObjectHandle resources = runtime::Dictionary::Get(page, "Resources");
      runtime::ObjectHandle fonts = runtime::Dictionary::Get(resources, "Font");
      const uint32_t font = runtime::Dictionary::FindByName(fonts.Value(), "F1")->AsReference().number;
      for (const uint32_t number : {tree.number, contents->AsReference().number, font}) {
        runtime::XrefEntry entry = document->LookupEntry(number);
        if (entry.kind == 3) {
          entry = document->LookupEntry(static_cast<uint32_t>(entry.offset & 0xFFFFFFFFu));
        }
        EXPECT_TRUE(covered(entry.offset, entry.offset + 1))
            << options << " page " << index << " object " << number;
        if (std::string(options).empty() && number != font) {
          const uint64_t table = static_cast<uint32_t>(runtime::Dictionary::GetInteger(
                                     document->LinearizedDictionary(), "T")) +
                                 uint64_t{1} + 20 * uint64_t{number};
          EXPECT_TRUE(covered(table, table + 20))
              << options << " page " << index << " entry of " << number;
        }
      }
    }
  }
}

TEST(ByteRangesTest, AddMergesOverlappingAndTouchingRanges) {
  runtime::LibraryContext context;
  pdf::LinearizedPages::Ranges ranges(&context);
  // The listener hears of every change, and of no add that changed nothing
  // (the empty range, the range already covered).
  std::string heard;
  ranges.SetChangeListener(
      [](void* user, const pdf::ByteRangeSet& set) {
        *static_cast<std::string*>(user) += std::to_string(set.size());
      },
      &heard);
  for (const auto& [start, end] : std::initializer_list<std::pair<uint64_t, uint64_t>>{
           {50, 60}, {10, 20}, {30, 40}, {20, 25}, {35, 55}, {5, 5}, {100, 200}, {150, 160},
           {10, 25}}) {
    pdf::LinearizedPages::AddRange(ranges, start, end);
  }
  EXPECT_EQ(heard, "123323");
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(ranges[0].start, 10u);
  EXPECT_EQ(ranges[0].end, 25u);
  EXPECT_EQ(ranges[1].start, 30u);
  EXPECT_EQ(ranges[1].end, 60u);
  EXPECT_EQ(ranges[2].start, 100u);
  EXPECT_EQ(ranges[2].end, 200u);
}

// A source over bytes in memory that records the ranges asked of it.
class RecordingSource final : public streams::DataSource {
 public:
  RecordingSource(runtime::LibraryContext* context, const std::string& bytes)
      : DataSource(context), bytes_(bytes) {}
  streams::BlockRef GetBlock(uint64_t offset) override {
    reads.push_back(offset);
    if (offset >= bytes_.size()) return streams::MakeEmptyBlock(Context());
    return streams::MakePlainBlock(Context(),
                                   reinterpret_cast<const uint8_t*>(bytes_.data()) + offset,
                                   static_cast<uint32_t>(bytes_.size() - offset));
  }
  uint64_t Length() override { return bytes_.size(); }
  // Whether any block was fetched from inside [start, end).
  bool ReadInside(uint64_t start, uint64_t end) const {
    for (uint64_t offset : reads) {
      if (offset >= start && offset < end) return true;
    }
    return false;
  }
  void RequestRanges(std::span<const streams::ByteRange> ranges) override {
    requests.emplace_back(ranges.begin(), ranges.end());
  }
  uint32_t MemorySize() const override { return 32; }

  std::vector<std::vector<streams::ByteRange>> requests;
  std::vector<uint64_t> reads;

 private:
  const std::string& bytes_;
};

std::string Text(std::span<const streams::ByteRange> ranges) {
  std::string text;
  for (const streams::ByteRange& r : ranges) {
    text += "[" + std::to_string(r.start) + "," + std::to_string(r.end) + ")";
  }
  return text;
}

// The first page's ranges go first, then the page's own; the first page
// asks once; a document that is not linearised asks for all of itself.
TEST_F(LinearizedPagesTest, RequestsGoToTheSourceInOrder) {
  const std::string linearized = Linearize("");
  ASSERT_FALSE(linearized.empty());
  const std::string plain = FiftyPages();
  for (const std::string* bytes : {&linearized, &plain}) {
    auto source = streams::MakeRef<RecordingSource>(&context_, *bytes);
    RecordingSource* recorder = source.Get();
    pdf::Document* document = pdf::Document::Open(&context_, std::move(source));
    recorder->requests.clear();
    if (bytes == &plain) {
      pdf::LinearizedPages::RequestPage(*document, 7);
      ASSERT_EQ(recorder->requests.size(), 1u);
      EXPECT_EQ(Text(recorder->requests[0]), "[0," + std::to_string(plain.size()) + ")");
    } else {
      const pdf::LinearizedPages pages(*document);
      pdf::LinearizedPages::RequestPage(*document, 7);
      ASSERT_EQ(recorder->requests.size(), 2u);
      EXPECT_EQ(Text(recorder->requests[0]), Text(pages.FirstPageRanges().Ranges()));
      EXPECT_EQ(Text(recorder->requests[1]), Text(pages.PageRanges(7).Ranges()));
      EXPECT_FALSE(recorder->requests[0].empty());
      recorder->requests.clear();
      pdf::LinearizedPages::RequestPage(*document, pages.FirstPage());
      EXPECT_EQ(recorder->requests.size(), 1u);
    }
    runtime::DestroyAndFree(&context_, document);
  }
}

// The first page needs the file from its start to the first page's end
// ("E"), the hint stream, the first-page cross-reference section and the
// file's tail; the first page's objects are all read from those bytes.
TEST_F(LinearizedPagesTest, FirstPageRangesHoldTheFirstPage) {
  const std::string bytes = Linearize("");
  ASSERT_FALSE(bytes.empty());
  pdftest::OpenDocument document(&context_, bytes);
  const pdf::LinearizedPages pages(*document);
  const runtime::ObjectHandle& dictionary = document->LinearizedDictionary();
  const uint64_t e = static_cast<uint64_t>(runtime::Dictionary::GetInteger(dictionary, "E"));
  runtime::ObjectHandle h = runtime::Dictionary::Get(dictionary, "H");
  const uint64_t hOffset = static_cast<uint64_t>(runtime::Array::GetInteger(h, 0));
  const uint64_t hLength = static_cast<uint64_t>(runtime::Array::GetInteger(h, 1));
  const uint64_t section = static_cast<uint64_t>(document->NewestSectionOffset());
  const uint64_t length = bytes.size();
  const pdf::ByteRangeSet ranges = pages.FirstPageRanges();
  const auto covered = [&](uint64_t start, uint64_t end) {
    for (const streams::ByteRange& r : ranges) {
      if (r.start <= start && end <= r.end) return true;
    }
    return false;
  };
  EXPECT_TRUE(covered(0, e)) << Text(ranges.Ranges());
  EXPECT_TRUE(covered(hOffset, hOffset + hLength)) << Text(ranges.Ranges());
  EXPECT_TRUE(covered(section, std::min<uint64_t>(section + 2688, length)));
  EXPECT_TRUE(covered(length - 512, length));
  // Nothing asked for lies past the end of the file.
  EXPECT_LE(ranges[ranges.size() - 1].end, length);
}

TEST_F(LinearizedPagesTest, QuestionsOutsideThePagesAreMalformed) {
  const std::string bytes = Linearize("");
  ASSERT_FALSE(bytes.empty());
  pdftest::OpenDocument document(&context_, bytes);
  const pdf::LinearizedPages pages(*document);
  const struct {
    const char* name;
    std::function<void()> body;
  } cases[] = {
      {"page -1", [&] { pages.ObjectOfPage(-1); }},
      {"page N", [&] { pages.ObjectOfPage(kPages); }},
      {"no page's object", [&] { pages.PageIndexOfObject(2); }},
      {"generation 1", [&] { pages.PageIndexOfRef({1, 1}); }},
      {"first page's range", [&] { pages.PageObjectsRange(pages.FirstPage()); }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, c.body), 2) << c.name;
  }
}

// A hint stream whose shared object table lies past its data is malformed:
// the hints are dropped, the first page is still known and the others are
// left to the page tree.
TEST_F(LinearizedPagesTest, MalformedHintsAreDropped) {
  std::string bytes = Linearize("");
  ASSERT_FALSE(bytes.empty());
  const size_t at = bytes.find("/S ", bytes.find("/Filter /FlateDecode"));
  ASSERT_NE(at, std::string::npos);
  for (size_t i = at + 3; i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[i]));
       ++i) {
    bytes[i] = '9';
  }
  pdftest::OpenDocument document(&context_, bytes);
  const pdf::LinearizedPages pages(*document);
  EXPECT_FALSE(pages.HasHints());
  EXPECT_EQ(pages.ObjectOfPage(pages.FirstPage()),
            int64_t{pdf::PageTree::FindPageRef(*document, pages.FirstPage()).number});
  EXPECT_EQ(pages.ObjectOfPage(pages.FirstPage() + 1), -1);
  EXPECT_EQ(pages.PageIndexOfObject(1), -1);
}

TEST_F(LinearizedPagesTest, DocumentThatIsNotLinearizedHasNoHints) {
  const std::string bytes = FiftyPages();
  pdftest::OpenDocument document(&context_, bytes);
  EXPECT_EQ(document->LinearizedObject(), 0u);
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { pdf::LinearizedPages pages(*document); }),
            2);
}

}  // namespace

namespace {

// The hint stream is read once, where "H" points: answering every page
// question, and asking for every page's bytes, reads none of it again.
TEST_F(LinearizedPagesTest, HintStreamIsReadOnceAtItsOffset) {
  const std::string bytes = Linearize("");
  ASSERT_FALSE(bytes.empty());
  auto source = streams::MakeRef<RecordingSource>(&context_, bytes);
  RecordingSource* recorder = source.Get();
  pdf::Document* document = pdf::Document::Open(&context_, std::move(source));
  pdf::LinearizedPages* pages = document->Linearization();
  ASSERT_NE(pages, nullptr);
  runtime::ObjectHandle h = runtime::Dictionary::Get(document->LinearizedDictionary(), "H");
  const uint64_t start = static_cast<uint64_t>(runtime::Array::GetInteger(h, 0));
  const uint64_t end = start + static_cast<uint64_t>(runtime::Array::GetInteger(h, 1));
  recorder->reads.clear();
  ASSERT_TRUE(pages->HasHints());
  EXPECT_TRUE(recorder->ReadInside(start, end));
  recorder->reads.clear();
  for (int32_t index = 0; index < kPages; ++index) {
    pdf::LinearizedPages::RequestPage(*document, index);
    EXPECT_EQ(pages->PageIndexOfObject(static_cast<uint32_t>(pages->ObjectOfPage(index))), index);
    document->GetPageDict(index);
  }
  EXPECT_FALSE(recorder->ReadInside(start, end));
  runtime::DestroyAndFree(&context_, document);
}

// The outline's ranges hold the file's head and every outline object; a
// file without a named-destination table needs only the head for them.
TEST_F(LinearizedPagesTest, OutlineRangesHoldTheOutline) {
  const std::string bytes = Linearize("", FiftyPages(true));
  ASSERT_FALSE(bytes.empty());
  pdftest::OpenDocument document(&context_, bytes);
  pdf::LinearizedPages* pages = document->Linearization();
  ASSERT_NE(pages, nullptr);
  ASSERT_TRUE(pages->HasHints());
  ASSERT_TRUE(pages->Hints().outlines.present);
  const pdf::LinearizedPages::Ranges outline = pages->OutlineRanges();
  const auto covered = [&](uint64_t offset) {
    for (const streams::ByteRange& r : outline) {
      if (offset >= r.start && offset < r.end) return true;
    }
    return false;
  };
  // qpdf renumbers: find the outline objects by walking from the catalog.
  runtime::ObjectHandle catalog = document->GetRoot();
  const runtime::ObjectValue* root = runtime::Dictionary::FindByName(catalog.Value(), "Outlines");
  ASSERT_TRUE(root->Is(runtime::ObjectTag::kReference));
  std::vector<uint32_t> numbers{root->AsReference().number};
  const runtime::ObjectValue* link = runtime::Dictionary::FindByName(
      document->GetObject(numbers[0], 0).Value(), "First");
  while (link->Is(runtime::ObjectTag::kReference)) {
    numbers.push_back(link->AsReference().number);
    link = runtime::Dictionary::FindByName(document->GetObject(numbers.back(), 0).Value(), "Next");
  }
  EXPECT_EQ(numbers.size(), 4u);
  for (uint32_t number : numbers) {
    const runtime::XrefEntry entry = document->LookupEntry(number);
    ASSERT_EQ(entry.kind, 2u);
    EXPECT_TRUE(covered(entry.offset)) << "outline object " << number;
  }
  EXPECT_TRUE(covered(0));

  // Requests: the first page's ranges, then the outline's.
  auto source = streams::MakeRef<RecordingSource>(&context_, bytes);
  RecordingSource* recorder = source.Get();
  pdf::Document* recorded = pdf::Document::Open(&context_, std::move(source));
  recorder->requests.clear();
  pdf::LinearizedPages::RequestOutlines(*recorded);
  ASSERT_EQ(recorder->requests.size(), 2u);
  EXPECT_EQ(Text(recorder->requests[1]), Text(outline.Ranges()));
  // A named destination's lookup asks for its ranges first, then finds it.
  recorder->requests.clear();
  EXPECT_FALSE(pdf::Destination::FindNamed(*recorded, "intro").IsNull());
  ASSERT_GE(recorder->requests.size(), 2u);
  EXPECT_EQ(Text(recorder->requests[1]),
            Text(recorded->Linearization()->NamedDestRanges().Ranges()));
  runtime::DestroyAndFree(&context_, recorded);
}

// A linearised file of a few hundred bytes whose trailer claims 2^31
// objects and whose dictionary claims 1000 pages: no question about its
// pages or objects walks the claimed numbers.
TEST_F(LinearizedPagesTest, HostileSizeAndPageCountEnd) {
  const std::string bytes = pdftest::HostileLinearizedFile();
  pdftest::OpenDocument document(&context_, bytes);
  ASSERT_NE(document->LinearizedObject(), 0u);
  EXPECT_EQ(document->ObjectCount(), 10u);
  const int32_t count = document->GetPageCount();
  EXPECT_EQ(count, 1000);
  EXPECT_FALSE(document->Linearization()->HasHints());
  EXPECT_EQ(runtime::Dictionary::GetName(document->GetPageDict(0), "Type")->AsName().View(),
            "Page");
  for (int32_t index = 1; index < count; ++index) {
    ASSERT_EQ(testsupport::RuntimeCodeOf(&context_, [&] { document->GetPageDict(index); }), 2);
  }
}

}  // namespace

namespace {

// The ranges of one generic hint table: the file's head up to the first
// page's object, the group (shifted by the hint stream's length when it
// lies after the hint stream), and the 2560-byte blocks of the classic
// table holding the group's entries, cut at the end of the file.
TEST_F(LinearizedPagesTest, GenericHintTableRanges) {
  const std::string bytes = Linearize("");
  ASSERT_FALSE(bytes.empty());
  pdftest::OpenDocument document(&context_, bytes);
  pdf::LinearizedPages* pages = document->Linearization();
  ASSERT_NE(pages, nullptr);
  const runtime::ObjectHandle& dictionary = document->LinearizedDictionary();
  const uint64_t t = static_cast<uint64_t>(runtime::Dictionary::GetInteger(dictionary, "T"));
  runtime::ObjectHandle h = runtime::Dictionary::Get(dictionary, "H");
  const uint32_t hOffset = static_cast<uint32_t>(runtime::Array::GetInteger(h, 0));
  const uint32_t hLength = static_cast<uint32_t>(runtime::Array::GetInteger(h, 1));
  const uint64_t head = document->LookupEntry(pages->FirstPageObject()).offset;
  const uint64_t length = bytes.size();
  const uint32_t after = static_cast<uint32_t>(std::max<uint64_t>(head, hOffset)) + 100;

  // "T" is the white space before the main table's first entry: a classic
  // table, not a stream.
  ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(bytes[t + 1])));
  const uint64_t base = t + 1;
  const struct {
    const char* name;
    pdf::HintTables::Generic table;
    std::vector<streams::ByteRange> expected;
  } cases[] = {
      {"absent table: the head only", {0, 0, 0, 0, false}, {{0, head}}},
      {"group after the hint stream, objects 0 to 127",
       {0, after, 128, 20, true},
       {{0, head}, {after + hLength, after + hLength + 20}, {base, base + 2560}}},
      {"group before the hint stream, objects 127 and 128",
       {127, hOffset - 5, 2, 900, true},
       {{0, head}, {hOffset - 5, hOffset + 895}, {base, base + 2 * 2560}}},
      {"blocks past the end of the file",
       {1u << 20, after, 1, 4, true},
       {{0, head}, {after + hLength, after + hLength + 4}}},
  };
  for (const auto& c : cases) {
    pdf::ByteRangeSet ranges(&context_);
    pages->GenericHintRanges(c.table, ranges);
    pdf::ByteRangeSet expected(&context_);
    for (const streams::ByteRange& r : c.expected) expected.AddCut(r.start, r.end, length);
    EXPECT_EQ(Text(ranges.Ranges()), Text(expected.Ranges())) << c.name;
  }
}

}  // namespace
