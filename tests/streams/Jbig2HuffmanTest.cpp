#include "streams/jbig2/Jbig2Huffman.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/ErrorTrap.h"
#include "tests/streams/BitStrings.h"
#include "runtime/Jbig2Heap.h"
#include "runtime/LibraryContext.h"
#include "streams/jbig2/Jbig2Segment.h"

namespace streams {
namespace {

using streams_test::Bits;

struct Value {
  int32_t value;
  bool oob;
};

// Decodes `count` values of `table` from the bits.
std::vector<Value> DecodeAll(const HuffmanTable* table, const std::vector<uint8_t>& bytes,
                             int count) {
  Jbig2Cursor cursor;
  cursor.Reset(bytes.data(), bytes.size());
  cursor.AlignToByte();
  std::vector<Value> values;
  for (int i = 0; i < count; ++i) {
    Value v{};
    v.value = table->Decode(&cursor, &v.oob);
    values.push_back(v);
  }
  return values;
}

TEST(Jbig2HuffmanTest, StandardTablesDecodeTheirRanges) {
  struct Case {
    const char* name;
    int table;
    const char* bits;
    int32_t value;
    bool oob;
  };
  const Case cases[] = {
      {"B.1 first line", 1, "0 1010", 10, false},
      {"B.1 second line", 1, "10 00000001", 17, false},
      {"B.1 upper range", 1, "111 00000000000000000000000000000010", 65810, false},
      {"B.2 out-of-band", 2, "111111", 0, true},
      {"B.3 lower range", 3, "11111111 00000000000000000000000000000011", -260, false},
      {"B.10 out-of-band", 10, "10", 0, true},
      {"B.10 first long line", 10, "1111101 00000000000", 2118, false},
      {"B.10 end of the 10-bit line", 10, "111100 1111111111", 2117, false},
      {"B.10 lower range", 10, "11111110 00000000000000000000000000000001", -23, false},
      {"B.10 upper range", 10, "11111111 00000000000000000000000000000000", 4166, false},
      {"B.14 zero", 14, "0", 0, false},
      {"B.15 minus one", 15, "100", -1, false},
  };
  for (const Case& c : cases) {
    const auto values = DecodeAll(Jbig2StandardTables::Get(c.table), Bits(c.bits), 1);
    EXPECT_EQ(values[0].value, c.value) << c.name;
    EXPECT_EQ(values[0].oob, c.oob) << c.name;
  }
}

// Writes `value` with `table`, assigning the canonical codes from the
// prefix lengths as the standard does; false when no line holds it.
bool EncodeValue(const HuffmanTable* table, int64_t value, bool oob, std::string* bits) {
  uint32_t lengthCount[33] = {};
  for (uint32_t i = 0; i < table->lineCount; ++i) ++lengthCount[table->lines[i].prefixLength];
  lengthCount[0] = 0;
  uint32_t first[34] = {};
  for (int n = 1; n <= 32; ++n) first[n] = (first[n - 1] + lengthCount[n - 1]) << 1;
  for (uint32_t i = 0; i < table->lineCount; ++i) {
    const HuffmanLine& line = table->lines[i];
    if (line.prefixLength == 0) continue;
    uint32_t code = first[line.prefixLength];
    for (uint32_t j = 0; j < i; ++j) code += table->lines[j].prefixLength == line.prefixLength;
    int64_t offset = 0;
    if (line.isOob != 0) {
      if (!oob) continue;
    } else {
      if (oob) continue;
      offset = line.isLowerRange != 0 ? line.rangeLow - value : value - line.rangeLow;
      if (offset < 0 || offset >= (int64_t{1} << line.rangeLength)) continue;
    }
    for (int b = line.prefixLength - 1; b >= 0; --b) bits->push_back('0' + ((code >> b) & 1));
    for (int b = static_cast<int>(line.rangeLength) - 1; b >= 0; --b) {
      bits->push_back('0' + ((offset >> b) & 1));
    }
    return true;
  }
  return false;
}

TEST(Jbig2HuffmanTest, EveryStandardTableIsACompleteCode) {
  for (int number = 1; number <= 15; ++number) {
    SCOPED_TRACE(number);
    const HuffmanTable* table = Jbig2StandardTables::Get(number);
    // The prefixes fill the code space exactly: their Kraft sum is 1.
    uint64_t kraft = 0;
    for (uint32_t i = 0; i < table->lineCount; ++i) {
      const uint8_t length = table->lines[i].prefixLength;
      if (length != 0) kraft += uint64_t{1} << (32 - length);
    }
    EXPECT_EQ(kraft, uint64_t{1} << 32);
    // Both ends of every line, written with the table and read back.
    std::vector<Value> expected;
    std::string bits;
    for (uint32_t i = 0; i < table->lineCount; ++i) {
      const HuffmanLine& line = table->lines[i];
      if (line.prefixLength == 0) continue;
      if (line.isOob != 0) {
        ASSERT_TRUE(EncodeValue(table, 0, true, &bits));
        expected.push_back({0, true});
        continue;
      }
      const int64_t span = line.rangeLength >= 32 ? 1000 : (int64_t{1} << line.rangeLength) - 1;
      for (int64_t value : {int64_t{line.rangeLow},
                            line.isLowerRange ? line.rangeLow - span : line.rangeLow + span}) {
        ASSERT_TRUE(EncodeValue(table, value, false, &bits)) << value;
        expected.push_back({static_cast<int32_t>(value), false});
      }
    }
    const auto values = DecodeAll(table, Bits(bits), static_cast<int>(expected.size()));
    for (size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(values[i].oob, expected[i].oob) << i;
      EXPECT_EQ(values[i].value, expected[i].value) << i;
    }
  }
}

TEST(Jbig2HuffmanTest, TablesSegmentBuildsAUserTable) {
  runtime::LibraryContext context;
  runtime::ErrorTrap trap(&context);
  ASSERT_TRUE(trap.Run([&] {
    runtime::Jbig2Heap heap(&context);
    // HTOOB 1, HTPS 2 bits, HTRS 2 bits; HTLOW 0, HTHIGH 4; one line of
    // prefix 1 and range 2 bits (0 to 3); lower range, upper range and
    // out-of-band prefixes 2, 3 and 3.
    std::vector<uint8_t> data = {0x01 | (1 << 1) | (1 << 4), 0, 0, 0, 0, 0, 0, 0, 4};
    for (uint8_t b : Bits("01 10  10  11  11")) data.push_back(b);
    Jbig2Segment segment;
    Jbig2Cursor cursor;
    cursor.Reset(data.data(), data.size());
    segment.cursor = &cursor;
    ASSERT_EQ(Jbig2TablesSegment(&segment), kJbig2Ok);
    ASSERT_NE(segment.table, nullptr);
    // Codes: line 0 "0", lower "10", upper "110", out-of-band "111".
    const auto values =
        DecodeAll(segment.table, Bits("0 11  10 00000000000000000000000000000101  110 "
                                      "00000000000000000000000000000001  111"),
                  4);
    EXPECT_EQ(values[0].value, 3);
    EXPECT_EQ(values[1].value, -1 - 5);  // HTLOW - 1 - offset
    EXPECT_EQ(values[2].value, 4 + 1);   // HTHIGH + offset
    EXPECT_TRUE(values[3].oob);
    HuffmanTable::Free(segment.table);
  }));
}

TEST(Jbig2HuffmanTest, ACodeOutsideTheTableIsMalformed) {
  runtime::LibraryContext context;
  runtime::ErrorTrap trap(&context);
  bool finished = trap.Run([&] {
    // One line of prefix 2 ("00"): the code 11 belongs to nothing.
    runtime::Jbig2Heap heap(&context);
    HuffmanLine line;
    line.prefixLength = 2;
    HuffmanTable* table = HuffmanTable::Build(&line, 1);
    DecodeAll(table, Bits("11"), 1);
  });
  ASSERT_FALSE(finished);
  trap.SetHandled();
  EXPECT_TRUE(trap.Held().IsRuntime(runtime::kMalformed));
  trap.Close();
}

}  // namespace
}  // namespace streams
