// Text strings to UTF-16 and the readable date form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/TextString.h"
#include "runtime/ObjectValue.h"

namespace {

// A ByteString block over `bytes`.
std::vector<uint8_t> Block(const std::string& bytes) {
  std::vector<uint8_t> block(runtime::ByteString::BlockSize(static_cast<uint32_t>(bytes.size())));
  auto* text = reinterpret_cast<runtime::ByteString*>(block.data());
  text->length = static_cast<uint32_t>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), text->MutableBytes());
  return block;
}

std::u16string Convert(const std::string& bytes, uint32_t capacity) {
  const std::vector<uint8_t> block = Block(bytes);
  const auto& text = *reinterpret_cast<const runtime::ByteString*>(block.data());
  std::u16string out(capacity, u'#');
  pdf::PdfTextToUtf16(out.data(), &capacity, text);
  return out.substr(0, out.find(u'\0'));
}

TEST(TextStringTest, Conversions) {
  const struct {
    const char* name;
    std::string bytes;
    uint32_t capacity;
    std::u16string expected;
  } kCases[] = {
      {"doc encoding", "Price \xA0 \x80", 64, u"Price \u20AC \u2022"},
      {"controls and tab become spaces", "a\tb\rc\x17" "d\x18", 64, u"a b c d\u02D8"},
      {"undefined doc byte becomes a space", std::string("x\x7Fy"), 64, u"x y"},
      {"utf-16", std::string("\xFE\xFF\x00\xC9\x00t", 6), 64, u"\u00C9t"},
      {"replacement character", std::string("\xFE\xFF\xFF\xFD\x00z", 6), 64, u" z"},
      {"language escape skipped",
       std::string("\xFE\xFF\x00\x1B\x00" "e\x00n\x00\x1B\x00X", 12), 64, u"X"},
      {"unclosed escape drops four units",
       std::string("\xFE\xFF\x00\x1B\x00" "a\x00" "b\x00" "c\x00" "d\x00" "e\x00" "f", 16), 64,
       u"ef"},
      {"odd trailing byte ignored", std::string("\xFE\xFF\x00" "A\x00", 5), 64, u"A"},
      {"cut at capacity", "abcdef", 4, u"abc"},
      {"cut keeps a whole pair", std::string("\xFE\xFF\x00" "a\xD8\x34\xDD\x1E", 8), 3, u"a"},
      {"pair that fits", std::string("\xFE\xFF\x00" "a\xD8\x34\xDD\x1E", 8), 4,
       u"a\U0001D11E"},
      {"capacity one", "abc", 1, u""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Convert(c.bytes, c.capacity), c.expected) << c.name;
  }
}

TEST(TextStringTest, MeasuringGivesUnitsPlusOne) {
  const std::vector<uint8_t> block =
      Block(std::string("\xFE\xFF\x00" "a\xD8\x34\xDD\x1E\x00\x1B\x00\x1B", 12));
  const auto& text = *reinterpret_cast<const runtime::ByteString*>(block.data());
  uint32_t capacity = 0;
  std::u16string ignored(8, u'#');
  pdf::PdfTextToUtf16(ignored.data(), &capacity, text);
  EXPECT_EQ(capacity, 4u);
  capacity = 99;
  pdf::PdfTextToUtf16(nullptr, &capacity, text);
  EXPECT_EQ(capacity, 4u);
}

TEST(TextStringTest, Dates) {
  const struct {
    std::u16string in;
    uint32_t capacity;
    std::u16string expected;
  } kCases[] = {
      {u"D:20050315123045+05'30'", 256, u"2005/03/15 12:30:45 +05:30"},
      {u"D:20050315123045Z", 256, u"2005/03/15 12:30:45 Z:"},
      {u"D:2005", 256, u"2005/"},
      {u"D:200503", 256, u"2005/03/"},
      {u"D:", 256, u""},
      {u"D:20050315123045+05'30'", 29, u""},
      {u"D:20050315123045-08'00'trailing junk", 30, u"2005/03/15 12:30:45 -08:00"},
  };
  for (const auto& c : kCases) {
    std::u16string buffer = c.in;
    buffer.resize(c.capacity, u'\0');
    pdf::FormatPdfDateInPlace(buffer.data(), c.capacity);
    EXPECT_EQ(std::u16string(buffer.c_str()), c.expected);
  }
}

}  // namespace
