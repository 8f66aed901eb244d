#include "runtime/PdfDocEncoding.h"

#include <gtest/gtest.h>

namespace runtime {
namespace {

TEST(PdfDocEncodingTest, UnicodeToBytes) {
  struct Case {
    const char* name;
    char16_t unit;
    uint8_t byte;
  } cases[] = {
      {"ASCII letter", u'a', 'a'},
      {"Latin-1 letter", u'\u00E9', 0xE9},
      {"Euro sign", u'\u20AC', 0xA0},
      {"bullet", u'\u2022', 0x80},
      {"em dash", u'\u2014', 0x84},
      {"L with stroke", u'\u0141', 0x95},
      {"z caron", u'\u017E', 0x9E},
      {"breve", u'\u02D8', 0x18},
      {"tilde accent", u'\u02DC', 0x1F},
      {"fi ligature", u'\uFB01', 0x93},
      // Without a byte of its own a character keeps its low byte.
      {"CJK ideograph", u'\u4E2D', 0x2D},
      {"Cyrillic", u'\u0416', 0x16},
  };
  for (const Case& c : cases) EXPECT_EQ(UnicodeToPdfDocByte(c.unit), c.byte) << c.name;
}

TEST(PdfDocEncodingTest, EveryDefinedByteRoundTrips) {
  for (uint32_t byte = 0; byte < 256; ++byte) {
    const char16_t unit = kPdfDocEncoding[byte];
    if (unit == 0 && byte != 0) continue;
    EXPECT_EQ(UnicodeToPdfDocByte(unit), byte) << byte;
  }
  EXPECT_EQ(kPdfDocEncoding[0x7F], 0);
  EXPECT_EQ(kPdfDocEncoding[0x9F], 0);
  EXPECT_EQ(kPdfDocEncoding[0xAD], 0);
}

}  // namespace
}  // namespace runtime
