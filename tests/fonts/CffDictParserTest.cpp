#include "fonts/CffDictParser.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"

namespace {

using fonts::CffDictParser;
using fonts::CharstringStack;

struct RealCase {
  std::vector<uint8_t> bytes;  // after the 30
  long code;                   // -1: parsed
  bool isFixed;
  int32_t value;
};

TEST(CffDictParser, RealOperands) {
  const RealCase cases[] = {
      {{0x2A, 0x5F}, -1, true, 163839},       // 2.5, one unit below: the table is truncated
      {{0x1B, 0x2F}, -1, true, 100 * 65536},  // 1E2
      {{0x12, 0xFF}, -1, false, 12},          // no point, no exponent: an integer
      {{0xE2, 0xA5, 0xFF}, -1, true, -163839},
      {{0x1C, 0x1F}, -1, true, 6553},         // 1E-1, truncated division
      // 0.1234567: five digits, the sixth (6) rounds up: (12346 × T[5]) >> 16
      {{0x0A, 0x12, 0x34, 0x56, 0x7F}, -1, true, 8090},
      {{0x1D, 0xFF}, 2, false, 0},            // nibble 0xd
      {{0x1A, 0xA1, 0xFF}, 2, false, 0},      // a second point
      {{0x1E, 0xFF}, 2, false, 0},            // a minus after the first nibble
      {{0x1B, 0xB1, 0xFF}, 2, false, 0},      // a second exponent
      {{0x12}, 2, false, 0},                  // the range ends before the end nibble
      {{0x99, 0x99, 0x99, 0x99, 0x99, 0xFF}, 2, false, 0},  // a part beyond 32 bits
      // A huge exponent stops at saturation (malformed) or at 0, at once.
      {{0x1B, 0x21, 0x47, 0x48, 0x36, 0x4F}, 2, false, 0},
      {{0x1C, 0x21, 0x47, 0x48, 0x36, 0x4F}, -1, true, 0},
  };
  runtime::LibraryContext context;
  for (const RealCase& c : cases) {
    CharstringStack stack;
    const uint8_t* p = c.bytes.data();
    const long code = testsupport::RuntimeCodeOf(&context, [&] {
      CffDictParser::ReadDictReal(stack, p, c.bytes.data() + c.bytes.size());
    });
    EXPECT_EQ(code, c.code) << "case " << &c - cases;
    if (code == -1) {
      ASSERT_EQ(stack.Count(), 1u);
      EXPECT_EQ(stack.EntryAt(0).isFixed != 0, c.isFixed) << "case " << &c - cases;
      EXPECT_EQ(stack.EntryAt(0).value, c.value) << "case " << &c - cases;
      EXPECT_EQ(p, c.bytes.data() + c.bytes.size());
    }
  }
}

class DictParse : public ::testing::Test {
 protected:
  long Parse(const std::vector<uint8_t>& bytes, bool isTop = false) {
    return testsupport::RuntimeCodeOf(&context_, [&] {
      CffDictParser(bytes, 0, top_, record_).Parse(0, bytes.size(), isTop);
    });
  }
  runtime::LibraryContext context_;
  fonts::CffTopDict top_;
  fonts::PrivateRecord record_;
};

TEST_F(DictParse, BlueValuesKeepFourteenMadeAbsolute) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<uint8_t>(139 + 1 + i));
  bytes.push_back(6);
  ASSERT_EQ(Parse(bytes), -1);
  ASSERT_EQ(record_.blueValues.count, 14u);
  int sum = 0;
  for (int i = 0; i < 14; ++i) {
    sum += 1 + i;
    EXPECT_EQ(record_.blueValues.values[i], sum * 65536) << i;
  }
  EXPECT_EQ(record_.flags & fonts::PrivateRecord::kHasBlueValues, 1u);
}

TEST_F(DictParse, EmptyPrivateSetsTheBlueFlagAndOthersDoNot) {
  EXPECT_EQ(Parse({}), -1);
  EXPECT_EQ(record_.flags, 1u);
  fonts::PrivateRecord other;
  const std::vector<uint8_t> stdHw{139 + 50, 10};
  CffDictParser(stdHw, 0, top_, other).Parse(0, stdHw.size(), false);
  EXPECT_EQ(other.flags, 0u);
  EXPECT_EQ(other.stdHW, 50 * 65536);  // an integer operand of a Fixed operator is shifted
}

TEST_F(DictParse, MalformedOperandsAndOperators) {
  const std::vector<std::vector<uint8_t>> refused = {
      {30, 0x1A, 0x5F, 17},    // a CharStrings offset written as a real
      {17},                    // too few operands
      {22},                    // a reserved byte
      {255},                   // a reserved byte
      {139, 12, 20},           // SyntheticBase
      {139, 12, 39},           // 12 39
      {139, 12, 26},           // undefined escape
      {139, 12, 42},           // an escape above 41
      {139 + 1, 12, 6},        // CharstringType 1
      {139, 12, 16},           // lenIV 0
      {139 + 1, 12, 33},       // CIDFontType 1
      {28, 1},                 // a number cut by the range's end
      {139, 12},               // an escape cut by the range's end
  };
  for (const auto& bytes : refused) {
    fonts::CffTopDict top;
    top_ = top;
    EXPECT_EQ(Parse(bytes), 2) << "first byte " << int(bytes[0]) << " size " << bytes.size();
  }
  std::vector<uint8_t> tooMany(49, 139);
  tooMany.push_back(10);
  EXPECT_EQ(Parse(tooMany), 2);
}

TEST_F(DictParse, FontMatrixOfANameKeyedFontGoesToTheRecord) {
  // 0.002 = 30 0A 00 2F (point, 0, 0, 2, end)
  std::vector<uint8_t> bytes;
  const std::vector<uint8_t> two{30, 0xA0, 0x02, 0xFF};
  bytes.insert(bytes.end(), two.begin(), two.end());
  bytes.insert(bytes.end(), {139, 139});
  bytes.insert(bytes.end(), two.begin(), two.end());
  bytes.insert(bytes.end(), {139, 139, 12, 7});
  ASSERT_EQ(Parse(bytes, true), -1);
  EXPECT_EQ(record_.matrix.a, 131);  // 0.002 from the truncated fraction table
  EXPECT_EQ(record_.matrix.d, 131);
  EXPECT_EQ(record_.matrix.b, 0);
  EXPECT_EQ(top_.topMatrix, runtime::Matrix{});
}

}  // namespace
